#pragma once
// Watches the shown folder for files that another program creates, deletes,
// renames or rewrites (inotify), and reports them in coalesced batches: the
// first change of a batch starts a short wait, everything that happens
// during it joins the batch, so a burst of thousands of changes (a camera
// import) becomes a few reports a second, each a little after its changes.
//
// Ownership: a QObject owned by its parent (the main window); it owns its
// inotify descriptor. Thread rules: user-interface thread only; reports are
// signals emitted from its event loop.

#include <set>
#include <string>

#include <QObject>
#include <QTimer>

class QSocketNotifier;

class CFolderWatcher : public QObject {
    Q_OBJECT

public:
    // How long a batch gathers changes before it is reported.
    static constexpr int kBatchMs = 250;

    explicit CFolderWatcher(QObject* parent = nullptr);
    ~CFolderWatcher() override;
    CFolderWatcher(const CFolderWatcher&) = delete;
    CFolderWatcher& operator=(const CFolderWatcher&) = delete;

    // Watches the folder at `path` (bytes) instead of the one watched so
    // far; an empty path watches nothing. A batch under way is dropped.
    // False when the folder cannot be watched (then nothing is).
    bool Watch(const std::string& path);
    const std::string& Path() const { return m_path; }

    // The most names a batch holds; a burst naming more is reported as an
    // overflow, and the folder is then listed whole.
    static constexpr size_t kMaxNames = 10000;

signals:
    // Something in the folder changed. `named` holds every file (bytes)
    // created, deleted, renamed, moved or written in the batch, so that the
    // list is brought up to date by looking at those alone; `rewritten` the
    // ones written and closed or moved in under their name, whose contents
    // changed. `overflowed` when the kernel dropped events: the names are
    // then incomplete and anything in the folder may have changed.
    void Changed(const std::set<std::string>& named, const std::set<std::string>& rewritten, bool overflowed);

private:
    void ReadEvents();
    void Report();
    void Close();

    std::string m_path;
    int m_fd = -1;
    int m_watch = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_batch;
    std::set<std::string> m_named;
    std::set<std::string> m_rewritten;
    bool m_overflowed = false;
};
