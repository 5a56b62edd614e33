#include "loader/folder_changes.h"

#include <algorithm>

#include "loader/image_item.h"

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
