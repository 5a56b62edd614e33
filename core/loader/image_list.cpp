// The list of the folder's JPEG files: its links, its listing, and its
// comparison with a new look at the folder.

#include "loader/image_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "browse/folder_listing.h"
#include "browse/shell_folder.h"
#include "loader/name_order.h"
#include "loader/thumbs_log.h"

namespace {

// The item's name inside the folder (bytes), viewed in its identifier.
std::string_view EntryName(const ImageItem* item)
{
    uint8_t kind = 0;
    std::string_view name;
    return item->itemId.FirstItem(&kind, &name) ? name : std::string_view();
}

}  // namespace

CImageList::CImageList() = default;

CImageList::~CImageList()
{
    Clear();
}

// --- The folder ---

void CImageList::Bind(std::unique_ptr<CShellFolder> folder, const CShellPidl& id)
{
    m_folder = std::move(folder);
    m_folderId = id;
}

std::string CImageList::ItemPath(const ImageItem* item) const
{
    std::string path;
    if (!m_folder || !item || !m_folder->ItemPath(item->itemId, &path))
        return {};
    return path;
}

bool CImageList::IsPlainFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// --- Listing ---

bool CImageList::ListFiles(std::vector<FileEntry>* files)
{
    ++m_listings;
    // The Computer holds volumes alone, no files.
    if (m_folder->GetKind() == CShellFolder::Kind::Computer)
        return true;
    return ::ListFiles(
        m_folder->Path(), [](std::string_view name) { return HasJpegExtension(std::string(name)); }, files);
}

std::unique_ptr<ImageItem> CImageList::NewItem(const FileEntry& file)
{
    auto item = std::make_unique<ImageItem>();
    item->name = DisplayUtf8(file.name);
    item->itemId = CShellPidl::MakeItem(kItemEntry, file.name);
    item->stamp = file.stamp;
    return item;
}

bool CImageList::ListFolder()
{
    std::vector<FileEntry> files;
    if (!ListFiles(&files)) {
        qCDebug(lcThumbs) << "cannot list" << m_folder->Path().c_str();
        return false;
    }
    for (const FileEntry& file : files)
        Append(NewItem(file));
    return true;
}

// --- Changing the list ---

void CImageList::Append(std::unique_ptr<ImageItem> owned)
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

void CImageList::Unlink(ImageItem* item)
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

void CImageList::Clear()
{
    for (ImageItem* item = m_first; item;) {
        ImageItem* next = item->next;
        delete item;
        item = next;
    }
    m_first = m_last = nullptr;
    m_count = 0;
}

std::vector<ImageItem*> CImageList::Items() const
{
    std::vector<ImageItem*> items;
    items.reserve(static_cast<size_t>(m_count));
    for (ImageItem* item = m_first; item; item = item->next)
        items.push_back(item);
    return items;
}

void CImageList::Relink(const std::vector<ImageItem*>& items)
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

void CImageList::Sort(const SortOrder& order)
{
    if (m_count < 2)
        return;
    std::vector<ImageItem*> items = Items();
    SortItems(items, order, [this](const ImageItem* item) { return ItemPath(item); });
    Relink(items);
}

void CImageList::Insert(std::vector<std::unique_ptr<ImageItem>>& added, const SortOrder& order)
{
    if (added.empty())
        return;
    std::vector<ImageItem*> items = Items(), fresh;
    items.reserve(size_t(m_count) + added.size());
    for (std::unique_ptr<ImageItem>& item : added)
        fresh.push_back(item.release());
    added.clear();
    InsertSorted(items, std::move(fresh), order, [this](const ImageItem* item) { return ItemPath(item); });
    Relink(items);
}

void CImageList::RemoveListed(std::vector<ImageItem*> items, const Leaving& leaving)
{
    // The places before the first of them stay, so only the rest is numbered
    // again: a change near the end of a huge list touches few items.
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    if (items.empty())
        return;
    const ImageItem* first
        = *std::min_element(items.begin(), items.end(),
                            [](const ImageItem* a, const ImageItem* b) { return a->index < b->index; });
    ImageItem* before = first->previous;
    for (ImageItem* item : items) {
        leaving(item);
        Unlink(item);
        delete item;
    }
    int index = before ? before->index + 1 : 0;
    for (ImageItem* item = before ? before->next : m_first; item; item = item->next)
        item->index = index++;
}

void CImageList::RemoveItems(const std::vector<ImageItem*>& items, const Leaving& leaving)
{
    // One walk finds them and numbers the rest, comparing each item with
    // the few asked for rather than hashing a huge list.
    std::vector<ImageItem*> asked(items);
    std::sort(asked.begin(), asked.end());
    int index = 0;
    for (ImageItem* item = m_first; item;) {
        ImageItem* next = item->next;
        if (std::binary_search(asked.begin(), asked.end(), item)) {
            leaving(item);
            Unlink(item);
            delete item;
        } else {
            item->index = index++;
        }
        item = next;
    }
}

void CImageList::CollectPaths(const std::vector<ImageItem*>& items, std::vector<std::string>* paths,
                              std::vector<ImageItem*>* named) const
{
    // A pointer that is repeated or not in the list is left out rather than
    // acted on twice.
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

// --- Comparing with the folder ---

void CImageList::CheckNames(const std::set<std::string>& named, const std::set<std::string>& rewritten,
                            FolderChanges* changes) const
{
    *changes = FolderChanges {};
    if (!m_folder || named.empty())
        return;
    // One walk finds the listed items of the names; an item whose identifier
    // is of no named size is passed over without reading its name.
    std::unordered_map<std::string_view, ImageItem*> items;
    std::unordered_set<size_t> sizes;
    for (const std::string& name : named) {
        items.emplace(name, nullptr);
        sizes.insert(CShellPidl::MakeItem(kItemEntry, name).Size());
    }
    for (ImageItem* item = m_first; item; item = item->next) {
        if (!sizes.count(item->itemId.Size()))
            continue;
        if (const auto found = items.find(EntryName(item)); found != items.end())
            found->second = item;
    }
    for (const auto& [name, old] : items) {
        FileEntry file {std::string(name), {}};
        std::string path;
        const bool there = HasJpegExtension(file.name)
            && m_folder->ItemPath(CShellPidl::MakeItem(kItemEntry, name), &path)
            && StampFile(path, &file.stamp);
        if (!there && old)
            changes->Take(old, nullptr);
        else if (there && (!old || old->stamp != file.stamp || rewritten.count(file.name)))
            changes->Take(old, NewItem(file));
    }
}

void CImageList::CompareListing(const std::vector<FileEntry>& files, const std::set<std::string>& rewritten,
                                FolderChanges* changes) const
{
    *changes = FolderChanges {};
    std::unordered_map<std::string_view, ImageItem*> listed;
    listed.reserve(size_t(m_count));
    for (ImageItem* item = m_first; item; item = item->next)
        listed.emplace(EntryName(item), item);
    for (const FileEntry& file : files) {
        const auto found = listed.find(file.name);
        ImageItem* old = nullptr;
        if (found != listed.end()) {
            old = found->second;
            listed.erase(found);
            if (old->stamp == file.stamp && !rewritten.count(file.name))
                continue;  // the same file as before
        }
        changes->Take(old, NewItem(file));
    }
    for (const auto& [name, item] : listed)
        changes->removed.push_back(item);
}
