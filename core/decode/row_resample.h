#pragma once
// The three steps of the display decode that work on one line: reducing or
// expanding a source row (RGB, three bytes a pixel) to the length of a
// display line (32-bit pixels blue, green, red, 0xFF), and placing a line in
// the display image at its rotated and flipped position.
//
// Thread rules: plain functions; PlaceLine takes the bitmap's pixel lock for
// the one line it writes, the others touch only their arguments.

#include <cstdint>

class CImageBitmap;

// The 32-bit pixel of an RGB sample triple.
inline uint32_t PackPixel(const uint8_t* rgb)
{
    return 0xFF000000u | uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | uint32_t(rgb[2]);
}

// Converts `width` RGB pixels to 32-bit pixels.
void ConvertRow(const uint8_t* rgb, int width, uint32_t* out);

// Reduces a row of `width` pixels to `length` < `width` pixels: the nearest
// source pixel, or with `average` the mean of the source pixels the display
// pixel covers. Pixels that no source pixel reaches are black.
void ReduceRow(const uint8_t* rgb, int width, uint32_t* out, int length, bool average);

// Expands a row of `width` pixels to `length` >= `width` pixels: each source
// pixel repeated, or with `interpolate` a linear ramp towards the next one.
void ExpandRow(const uint8_t* rgb, int width, uint32_t* out, int length, bool interpolate);

// Where a display line goes: a row (rotation 0 and 2) or a column (1 and 3)
// of the display image, and in which direction it is written.
struct LinePlacement {
    bool column = false;   // false: a row
    int index = 0;         // row or column index
    bool reverse = false;  // right to left, or bottom to top
};

// The placement of destination line `line` for the rotation and flips, in a
// display image of displayWidth x displayHeight.
LinePlacement PlaceOf(int line, int rotation, bool flipH, bool flipV, int displayWidth, int displayHeight);

// Writes `length` pixels of `pixels` at the placement under the pixel lock and
// marks the row or column dirty. Out-of-range placements are ignored.
void PlaceLine(CImageBitmap& bitmap, const LinePlacement& where, const uint32_t* pixels, int length);
