#pragma once
// What a new look at the shown folder found against the loader's list:
// files that are gone, files that are new, and files rewritten in place,
// whose items are replaced by new ones (their decoded pictures and file
// information are out of date).
//
// Ownership: the new items belong to this record until the loader takes
// them in ApplyFolderChanges. The removed items still belong to the
// loader's list until then. User-interface thread only.

#include <memory>
#include <utility>
#include <vector>

struct ImageItem;

struct FolderChanges {
    std::vector<ImageItem*> removed;                          // gone, or rewritten
    std::vector<std::unique_ptr<ImageItem>> added;            // new, or the new version of a rewritten one
    std::vector<std::pair<ImageItem*, ImageItem*>> replaced;  // rewritten: the old item and its new one

    bool Empty() const { return removed.empty() && added.empty(); }
    // Records a change: `old` (may be null) leaves, `item` (may be null)
    // comes; both given, the new item replaces the old.
    void Take(ImageItem* old, std::unique_ptr<ImageItem> item);
    // The item that takes the place of `item` after the changes: itself, its
    // new version, or null when it is gone.
    ImageItem* Successor(ImageItem* item) const;
    // The list places of the leaving items (asked before the loader applies
    // the changes) and the arriving items: what the thumbnail pane takes.
    std::vector<int> RemovedPlaces() const;
    std::vector<ImageItem*> AddedItems() const;
};
