// The loader's side of a folder that other programs change: listing the
// folder again, comparing it with the list, and taking the differences in
// with the workers stopped.

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "browse/folder_listing.h"
#include "browse/shell_folder.h"
#include "loader/thumb_loader.h"
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

ImageItem* FolderChanges::Successor(ImageItem* item) const
{
    for (const auto& [old, fresh] : replaced)
        if (old == item)
            return fresh;
    return std::find(removed.begin(), removed.end(), item) == removed.end() ? item : nullptr;
}

std::vector<int> FolderChanges::RemovedPlaces() const
{
    std::vector<int> places;
    places.reserve(removed.size());
    for (const ImageItem* item : removed)
        places.push_back(item->index);
    return places;
}

std::vector<ImageItem*> FolderChanges::AddedItems() const
{
    std::vector<ImageItem*> items;
    items.reserve(added.size());
    for (const auto& item : added)
        items.push_back(item.get());
    return items;
}

void FolderChanges::Take(ImageItem* old, std::unique_ptr<ImageItem> item)
{
    if (old && item)
        replaced.emplace_back(old, item.get());
    if (old)
        removed.push_back(old);
    if (item)
        added.push_back(std::move(item));
}

void CThumbLoader::CheckNames(const std::set<std::string>& named, const std::set<std::string>& rewritten,
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

bool CThumbLoader::CheckFolder(const std::set<std::string>& rewritten, FolderChanges* changes)
{
    *changes = FolderChanges {};
    std::vector<FileEntry> files;
    if (!m_folder || !ListFiles(&files))
        return false;
    CompareListing(files, rewritten, changes);
    return true;
}

void CThumbLoader::CompareListing(const std::vector<FileEntry>& files, const std::set<std::string>& rewritten,
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

void CThumbLoader::InsertItems(std::vector<std::unique_ptr<ImageItem>>& added)
{
    // Only while the thumbnail worker is stopped. What stays keeps its
    // order: the new items go in their sorted places.
    if (added.empty())
        return;
    std::vector<ImageItem*> items, fresh;
    items.reserve(size_t(m_count) + added.size());
    for (ImageItem* item = m_first; item; item = item->next)
        items.push_back(item);
    for (std::unique_ptr<ImageItem>& item : added)
        fresh.push_back(item.release());
    added.clear();
    InsertSorted(items, std::move(fresh), m_sortOrder,
                 [this](const ImageItem* item) { return ItemPath(item); });
    Relink(items);
}

void CThumbLoader::ApplyFolderChanges(FolderChanges& changes)
{
    if (changes.Empty())
        return;
    const std::unordered_set<const ImageItem*> gone(changes.removed.begin(), changes.removed.end());
    // The thumbnail worker walks the links; the display worker touches only
    // the items of its slots, so it goes on (the image shown keeps decoding)
    // unless one of them is going. Nothing below waits for the user, so no
    // worker can start meanwhile.
    StopThumbnailWorker();
    bool displayTouched;
    {
        std::lock_guard lock(m_displayLock);
        displayTouched = gone.count(m_decoding) > 0;
        for (const ViewRequest* slot : {&m_current, &m_next, &m_previous})
            displayTouched = displayTouched || gone.count(slot->item) > 0;
    }
    if (displayTouched) {
        StopDisplayWorker();
        std::lock_guard lock(m_displayLock);
        for (ViewRequest* slot : {&m_current, &m_next, &m_previous})
            if (gone.count(slot->item))
                slot->item = nullptr;
    }
    RemoveListed(changes.removed);
    InsertItems(changes.added);
    qCDebug(lcThumbs) << "folder changed:" << changes.removed.size() << "gone or rewritten," << m_count
                      << "listed";
    if (displayTouched && m_folder) {
        m_displayWork.Set();
        StartDisplayWorker();
    }
    // The thumbnails made stay; the worker makes those of the new items.
    if (m_thumbsStarted && m_first)
        StartThumbnailWorker(m_paused);
}
