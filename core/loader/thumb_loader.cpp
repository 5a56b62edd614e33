#include "loader/thumb_loader.h"

#include <sys/stat.h>

#include <cerrno>
#include <unordered_set>

#include "browse/shell_folder.h"
#include "decode/image_bitmap.h"
#include "files/file_trash.h"
#include "loader/thumbs_log.h"

Q_LOGGING_CATEGORY(lcThumbs, "lumvane.thumbs", QtWarningMsg)

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
        m_loader.m_display.Stop();
        m_loader.m_thumbnails.Stop();
    }

private:
    CThumbLoader& m_loader;
};

CThumbLoader::CThumbLoader()
{
    // The only way from the thumbnail pool to the display worker: a flag and
    // an event, no lock of either.
    m_thumbnails.SetIdle([this] { m_display.ReleaseNeighbours(); });
}

CThumbLoader::~CThumbLoader()
{
    ClearList();
}

// --- The list ---

void CThumbLoader::ClearList()
{
    m_thumbnails.Clear();
    m_display.Clear();
    m_list.Clear();
}

bool CThumbLoader::SetFolder(const CShellPidl& folder)
{
    ClearList();
    m_list.Bind(nullptr, CShellPidl());
    std::unique_ptr<CShellFolder> bound = folder.BindFolder();
    if (!bound) {
        qCDebug(lcThumbs) << "cannot bind" << GetDisplayName(folder, NameKind::ForParsing).c_str();
        return false;
    }
    m_list.Bind(std::move(bound), folder);
    m_display.Start();
    return true;
}

bool CThumbLoader::OpenFolder(const CShellPidl& folder)
{
    if (!SetFolder(folder) || !m_list.ListFolder())
        return false;
    SortList();
    return true;
}

bool CThumbLoader::OpenSingleFile(const CShellPidl& file)
{
    CShellPidl parent = file;
    CShellPidl child;
    if (!parent.Split(nullptr, &child) || !SetFolder(parent))
        return false;
    std::string name = m_list.BoundFolder()->GetDisplayNameOf(child, NameKind::InFolderForParsing);
    if (name.empty())
        return false;
    auto item = std::make_unique<ImageItem>();
    // Shown like every listed name: bytes that are not UTF-8 read as U+FFFD.
    item->name = DisplayUtf8(name);
    item->itemId = std::move(child);
    m_list.Append(std::move(item));
    return true;
}

ImageItem* CThumbLoader::CompleteFolder()
{
    // The display worker may be decoding the first item meanwhile: only links
    // and new items change here, and the worker reads neither.
    ImageItem* original = m_list.First();
    if (!original)
        return nullptr;
    // No thumbnail pool is expected to run yet; should it, it must not walk
    // the links while they change.
    const bool restart = m_thumbnails.Running() && m_thumbnails.Started();
    m_thumbnails.Stop();
    if (!m_list.ListFolder()) {
        if (restart)
            m_thumbnails.Restart();
        return m_list.First();
    }
    for (ImageItem* item = original->next; item; item = item->next) {
        if (item->itemId == original->itemId) {
            // The listing's display name sorts like every other name.
            original->name = item->name;
            original->stamp = item->stamp;
            m_list.Unlink(item);
            delete item;
            break;
        }
    }
    SortList();
    if (restart)
        m_thumbnails.Restart();
    return original;
}

void CThumbLoader::Sort()
{
    // The thumbnail pool walks the links: it must not run while they change.
    const bool restart = m_thumbnails.Running() && m_thumbnails.Started();
    m_thumbnails.Stop();
    SortList();
    if (restart)
        m_thumbnails.Restart();
}

void CThumbLoader::SetSortOrder(const SortOrder& order)
{
    m_sortOrder = order;
    Sort();
}

// --- Options ---

void CThumbLoader::SetOptions(bool highQuality, bool interpolate, bool exifThumbnails)
{
    StopWorkers();
    m_highQuality = highQuality;
    m_interpolate = interpolate;
    m_exifThumbnails = exifThumbnails;
    PassOptions();
}

void CThumbLoader::SetPictureOptions(const PictureOptions& picture)
{
    StopWorkers();
    m_picture = picture;
    PassOptions();
}

void CThumbLoader::PassOptions()
{
    m_display.SetOptions(m_highQuality, m_interpolate, m_picture);
    m_thumbnails.SetOptions(m_exifThumbnails, m_picture);
}

void CThumbLoader::StopWorkers()
{
    m_thumbnails.Stop();
    m_display.Stop();
}

void CThumbLoader::RestartWorkers()
{
    if (!m_list.BoundFolder())
        return;
    m_display.Start();
    m_thumbnails.Restart();
}

// --- Display and thumbnails ---

ViewRequest CThumbLoader::Neighbour(const ViewRequest& request, bool forward) const
{
    // The walk wraps from the last item to the first and back, but a single
    // item is never its own neighbour.
    ViewRequest n = request;
    ImageItem* item = request.item;
    if (!item)
        return n;
    if (forward)
        n.item = item->next ? item->next : (item != m_list.First() ? m_list.First() : nullptr);
    else
        n.item = item->previous ? item->previous : (item != m_list.Last() ? m_list.Last() : nullptr);
    return n;
}

void CThumbLoader::StartThumbnails(int size)
{
    // Stopped first, since a stop lets the neighbours go.
    m_thumbnails.Stop();
    m_neighboursWaitForRun = size > 0 && m_list.First();
    if (m_neighboursWaitForRun)
        m_display.HoldNeighbours();
    qCDebug(lcThumbs) << "thumbnails started:" << m_list.Count() << "items";
    m_thumbnails.StartRun(size);
}

void CThumbLoader::ResumeThumbnails()
{
    if (m_neighboursWaitForRun && m_thumbnails.Running() && m_thumbnails.Paused())
        m_display.HoldNeighbours();
    m_thumbnails.Resume();
}

void CThumbLoader::RequestView(const ViewRequest& request, bool exact)
{
    // A step to another image wants its neighbours at once.
    const ImageItem* shown = m_display.CurrentSlot().item;
    if (shown && request.item != shown) {
        m_neighboursWaitForRun = false;
        m_display.ReleaseNeighbours();
    }
    m_display.Request(request, Neighbour(request, true), Neighbour(request, false), exact);
}

CImageBitmap* CThumbLoader::DisplayImageOf(ImageItem* item)
{
    return item && item->displayReady.IsSet() ? &item->decoder.DisplayImage() : nullptr;
}

CImageBitmap* CThumbLoader::ThumbnailOf(ImageItem* item)
{
    return item && item->thumbnailReady.IsSet() ? &item->decoder.Thumbnail() : nullptr;
}

// --- A folder that other programs change ---

bool CThumbLoader::CheckFolder(const std::set<std::string>& rewritten, FolderChanges* changes)
{
    *changes = FolderChanges {};
    std::vector<FileEntry> files;
    if (!m_list.BoundFolder() || !m_list.ListFiles(&files))
        return false;
    m_list.CompareListing(files, rewritten, changes);
    return true;
}

void CThumbLoader::ApplyFolderChanges(FolderChanges& changes)
{
    if (changes.Empty())
        return;
    const std::unordered_set<const ImageItem*> gone(changes.removed.begin(), changes.removed.end());
    // The thumbnail pool walks the links; the display worker goes on unless
    // one of its items is going. Nothing below waits for the user, so no
    // worker can start meanwhile.
    m_thumbnails.Stop();
    const bool displayTouched = m_display.Release(gone);
    m_list.RemoveListed(changes.removed, [this](ImageItem* item) { m_thumbnails.Forget(item); });
    m_list.Insert(changes.added, m_sortOrder);
    qCDebug(lcThumbs) << "folder changed:" << changes.removed.size() << "gone or rewritten," << m_list.Count()
                      << "listed";
    if (displayTouched && m_list.BoundFolder())
        m_display.Start();
    // The thumbnails made stay; the pool makes those of the new items.
    m_thumbnails.Restart();
}

// --- File operations ---

void CThumbLoader::RemoveItems(const std::vector<ImageItem*>& items)
{
    // Only while both workers are stopped.
    m_list.RemoveItems(items, [this](ImageItem* item) { m_thumbnails.Forget(item); });
}

bool CThumbLoader::RenameItem(ImageItem* item, const std::string& newName)
{
    if (!item || !m_list.BoundFolder() || newName.empty())
        return false;
    if (!HasJpegExtension(newName) && !(m_host && m_host->AskRenameWithoutJpegExtension(newName)))
        return false;
    WorkersStopped stopped(*this);
    CShellPidl absolute;
    absolute.Concat(m_list.Folder(), item->itemId);
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
    m_list.CollectPaths(items, &paths, &named);
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
        m_display.ClearSlots();
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
    m_list.CollectPaths(items, &paths, &named);
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
    m_display.ClearSlots();
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
        if (folder == m_list.Folder()) {
            // The items keep their identifiers and images; their paths follow
            // the new folder.
            m_list.Bind(renamed.BindFolder(), renamed);
        }
    } else if (m_host) {
        m_host->ReportRenameFailure(newName, why);
    }
    return ok;
}
