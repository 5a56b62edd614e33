#pragma once
// Watches folders for entries that other programs create, delete, rename or
// rewrite (inotify), and reports them in coalesced batches: the first change
// of a batch starts a short wait, everything that happens during it, in any
// watched folder, joins the batch, so a burst of thousands of changes (a
// camera import) becomes a few reports a second, each a little after its
// changes. The image list watches the shown folder alone; the folder tree
// every expanded folder of the file system.
//
// Ownership: a QObject owned by its parent (the main window, the folder
// tree); it owns its inotify descriptor. Thread rules: the thread it lives
// in (the user-interface thread) only; reports are signals emitted from its
// event loop.

#include <map>
#include <set>
#include <string>

#include <QObject>
#include <QTimer>

#include "browse/unique_fd.h"

class QSocketNotifier;

// What changed in one folder during a batch. `named` holds every entry
// (bytes) created, deleted, renamed, moved or written, so that a list is
// brought up to date by looking at those alone; `rewritten` the ones written
// and closed or moved in under their name, whose contents changed.
// `overflowed` when events were dropped: the names are then incomplete and
// anything in the folder may have changed.
struct FolderChange {
    std::set<std::string> named;
    std::set<std::string> rewritten;
    bool overflowed = false;
};

// A batch: the changed folders by their path (bytes).
using FolderBatch = std::map<std::string, FolderChange>;

class CFolderWatcher : public QObject {
    Q_OBJECT

public:
    // How long a batch gathers changes before it is reported, unless the
    // user gives its own wait.
    static constexpr int kBatchMs = 250;
    // The most names a folder's change holds; a burst naming more is
    // reported as an overflow, and the folder is then listed whole.
    static constexpr size_t kMaxNames = 10000;

    explicit CFolderWatcher(int batchMs = kBatchMs, QObject* parent = nullptr);
    ~CFolderWatcher() override;
    CFolderWatcher(const CFolderWatcher&) = delete;
    CFolderWatcher& operator=(const CFolderWatcher&) = delete;

    // Watches the folder at `path` (bytes) alone, instead of every one
    // watched so far; an empty path watches nothing. A batch under way is
    // dropped. False when the folder cannot be watched (then nothing is).
    bool Watch(const std::string& path);
    // The folder given to Watch; empty when none.
    const std::string& Path() const { return m_path; }

    // Watches the folder at `path` too (nothing when it is watched already);
    // false when it cannot be watched.
    bool Add(const std::string& path);
    // Stops watching the folder; its changes not reported yet are dropped.
    void Remove(const std::string& path);

    // Hands back a batch its receiver cannot take in now: it joins the
    // batch being gathered, reported after the wait.
    void Postpone(const FolderBatch& batch);

signals:
    // Something changed in the folders of `batch`. A watched folder that is
    // deleted or moved away is reported once more and then no longer
    // watched.
    void Changed(const FolderBatch& batch);

private:
    void ReadEvents();
    void TakeEvent(int watch, uint32_t mask, const char* name);
    void Report();
    void Close();

    std::string m_path;
    CUniqueFd m_fd;
    QSocketNotifier* m_notifier = nullptr;
    std::map<std::string, int> m_watches;          // path: its watch
    std::map<int, std::set<std::string>> m_paths;  // watch: the paths that reach its folder
    QTimer m_batch;
    FolderBatch m_changes;
};
