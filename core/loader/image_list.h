#pragma once
// The JPEG files of the current folder as a linked list of items in sorted
// order, the folder they are in, and the comparison of the list with a new
// look at the folder.
//
// Ownership: a member of CThumbLoader; it owns its items and its bound
// folder, and frees the items when cleared or destroyed. Thread rules: no
// lock of its own. Every change is made on the user-interface thread while
// the workers that read it are stopped (see CThumbLoader); the display worker
// and the thumbnail pool read the links, the count and the folder without a
// lock while they run.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "browse/shell_pidl.h"
#include "loader/folder_changes.h"
#include "loader/image_item.h"
#include "loader/sort_order.h"

class CShellFolder;

class CImageList {
public:
    CImageList();
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    ImageItem* First() const { return m_first; }
    ImageItem* Last() const { return m_last; }
    int Count() const { return m_count; }

    // --- The folder ---
    // Follows the folder (which may be null) named by `id`; the items stay.
    void Bind(std::unique_ptr<CShellFolder> folder, const CShellPidl& id);
    // The absolute list of the folder (holds nothing before a folder).
    const CShellPidl& Folder() const { return m_folderId; }
    // The bound folder, or null; lives until the folder changes.
    const CShellFolder* BoundFolder() const { return m_folder.get(); }
    // The absolute path of an item's file (bytes); empty when unknown.
    std::string ItemPath(const ImageItem* item) const;
    // True when the path names a regular file (links followed). A pipe or a
    // device with a JPEG name would block the decoder's open for good, and
    // with it every stop of a worker.
    static bool IsPlainFile(const std::string& path);

    // --- Listing ---
    // Lists the folder's JPEG files (on the calling thread); false when it
    // cannot be listed. Counts the listing.
    bool ListFiles(std::vector<FileEntry>* files);
    // Appends an item for every JPEG file of the folder, unsorted.
    bool ListFolder();
    // How many times the folder was listed whole.
    int Listings() const { return m_listings; }
    static std::unique_ptr<ImageItem> NewItem(const FileEntry& file);

    // --- Changing the list ---
    void Append(std::unique_ptr<ImageItem> item);
    // Takes the item out of the links; the caller frees it.
    void Unlink(ImageItem* item);
    // Frees every item.
    void Clear();
    // Orders the list by `order` (see SortItems).
    void Sort(const SortOrder& order);
    // Puts the new items in their sorted places; what stays keeps its order.
    void Insert(std::vector<std::unique_ptr<ImageItem>>& added, const SortOrder& order);
    // Frees the items, which are all in the list; `leaving` sees each first.
    using Leaving = std::function<void(ImageItem*)>;
    void RemoveListed(std::vector<ImageItem*> items, const Leaving& leaving);
    // The same for items that may not (or no longer) be in the list: those
    // are ignored, so a repeated pointer is never freed twice.
    void RemoveItems(const std::vector<ImageItem*>& items, const Leaving& leaving);
    // The paths of the listed items among `items`, each once, in the order
    // given, with the items they belong to.
    void CollectPaths(const std::vector<ImageItem*>& items, std::vector<std::string>* paths,
                      std::vector<ImageItem*>* named) const;

    // --- Comparing with the folder ---
    // Looks at the named files (bytes) alone: a file there and not listed is
    // new, one listed and not there is gone, and one listed whose size or
    // modification time changed, or that `rewritten` names, gets a new item.
    void CheckNames(const std::set<std::string>& named, const std::set<std::string>& rewritten,
                    FolderChanges* changes) const;
    // The same against a whole listing of the folder: every file is compared
    // by its size and modification time as well.
    void CompareListing(const std::vector<FileEntry>& files, const std::set<std::string>& rewritten,
                        FolderChanges* changes) const;

private:
    void Relink(const std::vector<ImageItem*>& items);  // the list becomes `items`, in that order
    std::vector<ImageItem*> Items() const;

    ImageItem* m_first = nullptr;
    ImageItem* m_last = nullptr;
    int m_count = 0;
    std::unique_ptr<CShellFolder> m_folder;
    CShellPidl m_folderId;
    int m_listings = 0;
};
