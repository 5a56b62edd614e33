#pragma once
// CShownFolderWatch: keeps the folder the main window shows current. It
// watches the folder the loader lists and takes in what other programs
// create, delete, rename or rewrite there, keeping the image shown (or
// showing the next one when it is gone), the pane's selection and its
// scroll position. After an overflow the folder is listed whole.
//
// Ownership: owned by the main window, which outlives it; it owns the
// watcher, the retry timer and the whole-folder listing. Thread rules: the
// listing runs on the thread CFolderRelisting starts, and is only started,
// polled and taken from here; everything else runs on the user-interface
// thread.

#include <QObject>

#include <memory>
#include <set>
#include <string>
#include <vector>

class CFolderRelisting;
class CFolderWatcher;
class CMainFrame;
class QTimer;
struct FolderChanges;

class CShownFolderWatch : public QObject {
    Q_OBJECT

public:
    explicit CShownFolderWatch(CMainFrame* frame);
    ~CShownFolderWatch() override;

    // Watches the folder the loader lists now (nothing while a file opened
    // alone waits for its folder); what was gathered before is dropped.
    void WatchShownFolder();
    // Files of the shown folder (names, bytes) this program replaced: they
    // are taken in as rewritten with the next look, reported by the watch
    // or not (it may have no watch to spare).
    void TakeRewritten(const std::vector<std::string>& names);

private:
    void OnFolderChanged(const std::set<std::string>& named, const std::set<std::string>& rewritten,
                         bool overflowed);
    void TakeFolderChanges(FolderChanges& changes);

    CMainFrame* m_frame;
    CFolderWatcher* m_watcher = nullptr;
    std::set<std::string> m_deferredNamed;
    std::set<std::string> m_deferredRewritten;
    // After an overflow the folder is listed whole, off this thread.
    bool m_relistWanted = false;
    std::unique_ptr<CFolderRelisting> m_relisting;
    QTimer* m_folderRetry = nullptr;
};
