// The loader's side of a folder that other programs change: listing the
// folder again, comparing it with the list, and taking the differences in
// with the workers stopped.

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "browse/folder_listing.h"
#include "browse/shell_folder.h"
#include "thumbs/thumb_loader.h"
#include "thumbs/thumbs_log.h"

namespace {

std::string KeyOf(const CShellPidl& relative)
{
    return std::string(reinterpret_cast<const char*>(relative.Data()), relative.Size());
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ImageItem* FolderChanges::Successor(ImageItem* item) const
{
    for (const auto& [old, fresh] : replaced)
        if (old == item)
            return fresh;
    return std::find(removed.begin(), removed.end(), item) == removed.end() ? item : nullptr;
}

bool CThumbLoader::CheckFolder(const std::set<std::string>& rewritten, FolderChanges* changes) const
{
    *changes = FolderChanges {};
    CFolderListing listing;
    if (!m_folder || !listing.Enumerate(m_folderId))
        return false;
    std::unordered_map<std::string, ImageItem*> listed;
    for (ImageItem* item = m_first; item; item = item->next)
        listed.emplace(KeyOf(item->itemId), item);
    for (const FolderEntry& entry : listing.Entries()) {
        if (entry.isFolder || !entry.isFileSystem || !HasJpegExtension(entry.name))
            continue;
        const auto found = listed.find(KeyOf(entry.relative));
        ImageItem* old = nullptr;
        if (found != listed.end()) {
            old = found->second;
            listed.erase(found);
            if (rewritten.empty() || !rewritten.count(BaseName(ItemPath(old))))
                continue;  // the same file as before
        }
        auto item = std::make_unique<ImageItem>();
        item->name = entry.name;
        item->itemId = entry.relative;
        if (old) {
            changes->removed.push_back(old);
            changes->replaced.emplace_back(old, item.get());
        }
        changes->added.push_back(std::move(item));
    }
    for (const auto& [key, item] : listed)
        changes->removed.push_back(item);
    return true;
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
    RemoveItems(changes.removed);
    for (std::unique_ptr<ImageItem>& item : changes.added)
        AppendItem(std::move(item));
    changes.added.clear();
    SortList();
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
