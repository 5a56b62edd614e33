// The loader's operations on the files it lists: rename, trash, drag out, and
// renaming the folder itself. Each stops the workers while the list or the
// files change and starts them again after.

#include <sys/stat.h>

#include <cerrno>
#include <unordered_set>

#include "files/file_trash.h"
#include "browse/shell_folder.h"
#include "loader/thumb_loader.h"
#include "loader/thumbs_log.h"

namespace {
// True only when the path certainly names nothing any more; a file we cannot
// look at is assumed to be there still.
bool IsGone(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}
}  // namespace

class CThumbLoader::WorkersStopped {
public:
    explicit WorkersStopped(CThumbLoader& loader) : m_loader(loader) { Again(); }
    ~WorkersStopped() { m_loader.RestartWorkers(); }
    WorkersStopped(const WorkersStopped&) = delete;
    WorkersStopped& operator=(const WorkersStopped&) = delete;

    // The host's dialogs run the window's timers, which may have started a
    // worker again meanwhile: stopped once more before the list changes.
    void Again()
    {
        m_loader.StopDisplayWorker();
        m_loader.StopThumbnailWorker();
    }

private:
    CThumbLoader& m_loader;
};

void CThumbLoader::CollectPaths(const std::vector<ImageItem*>& items, std::vector<std::string>* paths,
                                std::vector<ImageItem*>* named) const
{
    // Each listed item once, in the order given; a pointer that is repeated
    // or not in the list is left out rather than acted on twice.
    std::unordered_set<const ImageItem*> listed;
    for (const ImageItem* item = m_first; item; item = item->next)
        listed.insert(item);
    for (ImageItem* item : items) {
        if (!listed.erase(item))
            continue;
        std::string path = ItemPath(item);
        if (path.empty())
            continue;
        paths->push_back(std::move(path));
        named->push_back(item);
    }
}

bool CThumbLoader::RenameItem(ImageItem* item, const std::string& newName)
{
    if (!item || !m_folder || newName.empty())
        return false;
    if (!HasJpegExtension(newName) && !(m_host && m_host->AskRenameWithoutJpegExtension(newName)))
        return false;
    WorkersStopped stopped(*this);
    CShellPidl absolute;
    absolute.Concat(m_folderId, item->itemId);
    CShellPidl newRelative;
    std::string why;
    const bool renamed = absolute.Rename(newName, &newRelative, &why);
    if (renamed) {
        item->itemId = std::move(newRelative);
        item->name = DisplayUtf8(newName);
        SortList();
    } else {
        qCDebug(lcThumbs) << "rename failed:" << newName.c_str() << why.c_str();
        if (m_host)
            m_host->ReportRenameFailure(newName, why);
    }
    return renamed;
}

bool CThumbLoader::DeleteItems(const std::vector<ImageItem*>& items)
{
    if (items.empty() || !m_host)
        return false;
    WorkersStopped stopped(*this);
    std::vector<std::string> paths;
    std::vector<ImageItem*> named;
    CollectPaths(items, &paths, &named);
    std::vector<ImageItem*> trashed;
    if (!paths.empty() && m_host->ConfirmTrash(paths)) {
        for (size_t i = 0; i < paths.size(); ++i) {
            std::string why;
            if (MoveToTrash(paths[i], &why))
                trashed.push_back(named[i]);
            else {
                qCDebug(lcThumbs) << "not trashed:" << paths[i].c_str() << why.c_str();
                m_host->ReportTrashFailure(paths[i], why);
            }
        }
    }
    // Items leave the list only after every report, so that the host's
    // dialogs never see a freed item.
    if (!trashed.empty()) {
        stopped.Again();
        ClearSlots();
        RemoveItems(trashed);
    }
    return !trashed.empty();
}

bool CThumbLoader::DragItemsOut(const std::vector<ImageItem*>& items)
{
    if (items.empty() || !m_host)
        return false;
    std::vector<std::string> paths;
    std::vector<ImageItem*> named;
    CollectPaths(items, &paths, &named);
    if (paths.empty())
        return false;
    // The workers keep running during the drag. Whatever the drop target
    // then reports, an item leaves the list only when its file is really
    // gone from here: a target may have moved a part and reported failure.
    // The loader itself never deletes a file.
    m_host->RunDrag(paths);
    std::vector<ImageItem*> gone;
    for (size_t i = 0; i < paths.size(); ++i)
        if (IsGone(paths[i]))
            gone.push_back(named[i]);
    if (gone.empty())
        return false;
    WorkersStopped stopped(*this);
    ClearSlots();
    RemoveItems(gone);
    return true;
}

bool CThumbLoader::RenameCurrentFolder(const CShellPidl& folder, const std::string& newName,
                                       CShellPidl* newRelative)
{
    if (newName.empty())
        return false;
    WorkersStopped stopped(*this);
    CShellPidl renamed = folder;
    CShellPidl relative;
    std::string why;
    const bool ok = renamed.Rename(newName, &relative, &why);
    if (ok) {
        if (newRelative)
            *newRelative = relative;
        if (folder == m_folderId) {
            // The items keep their identifiers and images; their paths follow
            // the new folder.
            m_folderId = renamed;
            m_folder = renamed.BindFolder();
        }
    } else if (m_host) {
        m_host->ReportRenameFailure(newName, why);
    }
    return ok;
}
