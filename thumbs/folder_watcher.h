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

signals:
    // Something in the folder changed. `rewritten` names the files (bytes)
    // that were written and closed or moved in under their name, so that a
    // file whose contents changed is told from one that stayed; `overflowed`
    // when the kernel dropped events (the names are then incomplete). Files
    // created and deleted are found by listing the folder again.
    void Changed(const std::set<std::string>& rewritten, bool overflowed);

private:
    void ReadEvents();
    void Report();
    void Close();

    std::string m_path;
    int m_fd = -1;
    int m_watch = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_batch;
    std::set<std::string> m_rewritten;
    bool m_overflowed = false;
};
