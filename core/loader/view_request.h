#pragma once
// What the view asks the display worker to decode: an item of the list at a
// fitted size, rotation and flips. A plain record compared field by field.

#include <cstdint>

struct ImageItem;

struct ViewRequest {
    ImageItem* item = nullptr;  // null in an empty slot
    int32_t targetWidth = 0;    // 0: the width is not constrained
    int32_t targetHeight = 0;   // 0: the height is not constrained
    int32_t rotation = 0;       // 0 none, 1 clockwise, 2 upside-down, 3 counter-clockwise
    bool flipHorizontally = false;
    bool flipVertically = false;

    bool operator==(const ViewRequest&) const = default;
};
