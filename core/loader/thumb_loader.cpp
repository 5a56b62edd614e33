#include "loader/thumb_loader.h"

#include <sys/stat.h>

#include <algorithm>

#include "browse/folder_listing.h"
#include "browse/shell_folder.h"
#include "decode/image_bitmap.h"
#include "loader/thumbs_log.h"

Q_LOGGING_CATEGORY(lcThumbs, "lumvane.thumbs", QtWarningMsg)

CThumbLoader::CThumbLoader() = default;

CThumbLoader::~CThumbLoader()
{
    ClearList();
}

// --- The list ---

void CThumbLoader::ClearList()
{
    StopThumbnailWorker();
    StopDisplayWorker();
    {
        std::lock_guard lock(m_displayLock);
        m_current = m_next = m_previous = ViewRequest {};
        m_decoding = nullptr;
    }
    {
        std::lock_guard lock(m_thumbLock);
        m_thumbStart = nullptr;
        m_made.clear();
        m_thumbBytes = 0;
    }
    for (ImageItem* item = m_first; item;) {
        ImageItem* next = item->next;
        delete item;
        item = next;
    }
    m_first = m_last = nullptr;
    m_count = 0;
    m_thumbsStarted = false;
}

void CThumbLoader::AppendItem(std::unique_ptr<ImageItem> owned)
{
    ImageItem* item = owned.release();
    item->index = m_count;
    item->previous = m_last;
    item->next = nullptr;
    if (m_last)
        m_last->next = item;
    else
        m_first = item;
    m_last = item;
    ++m_count;
}

void CThumbLoader::Unlink(ImageItem* item)
{
    if (item->previous)
        item->previous->next = item->next;
    else
        m_first = item->next;
    if (item->next)
        item->next->previous = item->previous;
    else
        m_last = item->previous;
    item->previous = item->next = nullptr;
    --m_count;
}

bool CThumbLoader::SetFolder(const CShellPidl& folder)
{
    ClearList();
    m_folder.reset();
    m_folderId = CShellPidl();
    std::unique_ptr<CShellFolder> bound = folder.BindFolder();
    if (!bound) {
        qCDebug(lcThumbs) << "cannot bind" << GetDisplayName(folder, NameKind::ForParsing).c_str();
        return false;
    }
    m_folder = std::move(bound);
    m_folderId = folder;
    m_displayWork.Set();
    StartDisplayWorker();
    return true;
}

bool CThumbLoader::ListFiles(std::vector<FileEntry>* files)
{
    ++m_listings;
    // The Computer holds volumes alone, no files.
    if (m_folder->GetKind() == CShellFolder::Kind::Computer)
        return true;
    return ::ListFiles(
        m_folder->Path(), [](std::string_view name) { return HasJpegExtension(std::string(name)); }, files);
}

std::unique_ptr<ImageItem> CThumbLoader::NewItem(const FileEntry& file) const
{
    auto item = std::make_unique<ImageItem>();
    item->name = DisplayUtf8(file.name);
    item->itemId = CShellPidl::MakeItem(kItemEntry, file.name);
    item->stamp = file.stamp;
    return item;
}

bool CThumbLoader::ListFolder()
{
    std::vector<FileEntry> files;
    if (!ListFiles(&files)) {
        qCDebug(lcThumbs) << "cannot list" << m_folder->Path().c_str();
        return false;
    }
    for (const FileEntry& file : files)
        AppendItem(NewItem(file));
    return true;
}

bool CThumbLoader::OpenFolder(const CShellPidl& folder)
{
    if (!SetFolder(folder) || !ListFolder())
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
    std::string name = m_folder->GetDisplayNameOf(child, NameKind::InFolderForParsing);
    if (name.empty())
        return false;
    auto item = std::make_unique<ImageItem>();
    // Shown like every listed name: bytes that are not UTF-8 read as U+FFFD.
    item->name = DisplayUtf8(name);
    item->itemId = std::move(child);
    AppendItem(std::move(item));
    return true;
}

ImageItem* CThumbLoader::CompleteFolder()
{
    // The display worker may be decoding the first item meanwhile: only links
    // and new items change here, and the worker reads neither.
    ImageItem* original = m_first;
    if (!original)
        return nullptr;
    // No thumbnail worker is expected yet; should one run, it must not walk
    // the links while they change.
    const bool restart = ThumbnailWorkerRunning() && m_thumbsStarted;
    StopThumbnailWorker();
    if (!ListFolder()) {
        if (restart)
            StartThumbnailWorker(m_paused);
        return m_first;
    }
    for (ImageItem* item = original->next; item; item = item->next) {
        if (item->itemId == original->itemId) {
            // The listing's display name sorts like every other name.
            original->name = item->name;
            original->stamp = item->stamp;
            Unlink(item);
            delete item;
            break;
        }
    }
    SortList();
    if (restart)
        StartThumbnailWorker(m_paused);
    return original;
}

void CThumbLoader::Sort()
{
    // The thumbnail worker walks the links: it must not run while they change.
    const bool restart = ThumbnailWorkerRunning() && m_thumbsStarted;
    StopThumbnailWorker();
    SortList();
    if (restart)
        StartThumbnailWorker(m_paused);
}

void CThumbLoader::SetSortOrder(const SortOrder& order)
{
    m_sortOrder = order;
    Sort();
}

void CThumbLoader::SortList()
{
    if (m_count < 2)
        return;
    std::vector<ImageItem*> items;
    items.reserve(static_cast<size_t>(m_count));
    for (ImageItem* item = m_first; item; item = item->next)
        items.push_back(item);
    SortItems(items, m_sortOrder, [this](const ImageItem* item) { return ItemPath(item); });
    Relink(items);
}

void CThumbLoader::Relink(const std::vector<ImageItem*>& items)
{
    ImageItem* previous = nullptr;
    int index = 0;
    for (ImageItem* item : items) {
        item->index = index++;
        item->previous = previous;
        item->next = nullptr;
        if (previous)
            previous->next = item;
        previous = item;
    }
    m_first = items.empty() ? nullptr : items.front();
    m_last = items.empty() ? nullptr : items.back();
    m_count = int(items.size());
}

std::string CThumbLoader::ItemPath(const ImageItem* item) const
{
    std::string path;
    if (!m_folder || !item || !m_folder->ItemPath(item->itemId, &path))
        return {};
    return path;
}

void CThumbLoader::SetOptions(bool highQuality, bool interpolate, bool exifThumbnails)
{
    StopThumbnailWorker();
    StopDisplayWorker();
    m_highQuality = highQuality;
    m_interpolate = interpolate;
    m_exifThumbnails = exifThumbnails;
}

void CThumbLoader::SetPictureOptions(const PictureOptions& picture)
{
    StopThumbnailWorker();
    StopDisplayWorker();
    m_picture = picture;
}

// --- Shared by the file operations ---

void CThumbLoader::ClearDisplay(ImageItem* item)
{
    item->displayReady.Reset();
    item->displayDone.Reset();
    item->decoder.DisplayImage().Clear();
}

bool CThumbLoader::IsPlainFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void CThumbLoader::ClearSlots()
{
    // Only while the display worker is stopped. An image that no slot holds
    // is dropped, so that no stale decode is found ready later.
    std::lock_guard lock(m_displayLock);
    for (ViewRequest* slot : {&m_current, &m_next, &m_previous}) {
        if (slot->item)
            ClearDisplay(slot->item);
        slot->item = nullptr;
    }
    m_decoding = nullptr;
}

void CThumbLoader::RemoveListed(std::vector<ImageItem*> items)
{
    // Only while both workers are stopped, for items in the list. The
    // places before the first of them stay, so only the rest is numbered
    // again: a change near the end of a huge list touches few items.
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    if (items.empty())
        return;
    const ImageItem* first
        = *std::min_element(items.begin(), items.end(),
                            [](const ImageItem* a, const ImageItem* b) { return a->index < b->index; });
    ImageItem* before = first->previous;
    {
        std::lock_guard lock(m_thumbLock);
        if (std::binary_search(items.begin(), items.end(), m_thumbStart))
            m_thumbStart = nullptr;
    }
    for (ImageItem* item : items) {
        Forget(item);
        Unlink(item);
        delete item;
    }
    int index = before ? before->index + 1 : 0;
    for (ImageItem* item = before ? before->next : m_first; item; item = item->next)
        item->index = index++;
}

void CThumbLoader::RemoveItems(const std::vector<ImageItem*>& items)
{
    // Only while both workers are stopped. Items that are not (or no longer)
    // in the list are ignored, so a repeated pointer is never freed twice.
    // One walk finds them and numbers the rest, comparing each item with
    // the few asked for rather than hashing a huge list.
    std::vector<ImageItem*> asked(items);
    std::sort(asked.begin(), asked.end());
    ImageItem* start;
    {
        std::lock_guard lock(m_thumbLock);
        start = m_thumbStart;
    }
    bool startStays = false;
    int index = 0;
    for (ImageItem* item = m_first; item;) {
        ImageItem* next = item->next;
        if (std::binary_search(asked.begin(), asked.end(), item)) {
            Forget(item);
            Unlink(item);
            delete item;
        } else {
            startStays = startStays || item == start;
            item->index = index++;
        }
        item = next;
    }
    std::lock_guard lock(m_thumbLock);
    if (!startStays)
        m_thumbStart = nullptr;
}

void CThumbLoader::RestartWorkers()
{
    if (!m_folder)
        return;
    m_displayWork.Set();
    StartDisplayWorker();
    if (m_thumbsStarted && m_first)
        StartThumbnailWorker(m_paused);
}
