#pragma once
// The orders the folder's photos can be shown in: by name (the order a
// folder opens in, or natural, numbers by value), by the date the photo was
// taken, by the date the file was last modified, or by size; each forwards
// or reversed.
//
// Thread rules: plain functions. SortItems reads the files (their status
// and the Exif data at their start, never the image) on the calling thread,
// which owns the items while it runs.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ImageItem;

enum class SortKey : int32_t { Name = 0, DateTaken = 1, DateModified = 2, Size = 3 };

struct SortOrder {
    SortKey key = SortKey::Name;
    bool reverse = false;
    // Names compare with their digit runs by value ("IMG_9.jpg" before
    // "IMG_10.jpg"); without it, character by character, ignoring case.
    bool natural = false;
    bool operator==(const SortOrder&) const = default;
};

// The order a folder opens in.
inline constexpr SortOrder kFolderOrder {};

// Orders `items` by `order`. The name decides between equal keys; names
// that compare equal keep their order. `pathOf` gives an item's file; an
// item's date taken is read from it once and kept in the item.
void SortItems(std::vector<ImageItem*>& items, const SortOrder& order,
               const std::function<std::string(const ImageItem*)>& pathOf);

// Puts each of `added` into `items`, which are in `order` already, where
// SortItems of them all would: a few new files of a huge folder cost a few
// comparisons each rather than a sort of the whole list.
void InsertSorted(std::vector<ImageItem*>& items, std::vector<ImageItem*> added, const SortOrder& order,
                  const std::function<std::string(const ImageItem*)>& pathOf);

// Compares two names (UTF-8; an invalid byte reads as U+FFFD) ignoring case,
// with runs of digits compared by value: negative, zero or positive.
int CompareNaturally(const std::string& a, const std::string& b);

// When the photo was taken: its Exif DateTimeOriginal (camera time, taken as
// local time) in seconds since the epoch. Only the marker segments before
// the image data are read. Nothing when the file has no usable date.
std::optional<int64_t> ReadDateTaken(const std::string& path);
