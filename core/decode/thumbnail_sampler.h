#pragma once
// Nearest-pixel reduction of a decoded image (usually already scaled by the
// library) to a thumbnail that fits a size x size square, fed one source row
// at a time so that no full copy of the decoded image is needed.
//
// Thread rules: one object per thumbnail, used by one thread.

#include <cstdint>
#include <vector>

class CThumbnailSampler {
public:
    // Plans the thumbnail of a width x height image for `size`. Valid() is
    // false when the thumbnail would be too large to hold.
    CThumbnailSampler(int width, int height, int size);

    // The thumbnail size of a width x height image for `size`: the longer
    // side takes the size, the shorter keeps the proportion (at least 1).
    // False when a side or the size is not positive.
    static bool FitSize(int width, int height, int size, int* fitWidth, int* fitHeight);
    // The library scale (8, 4, 2 or 1) that keeps the decoded image at least
    // `size` on its longer side.
    static int ReducedScale(int longer, int size);

    bool Valid() const { return m_valid; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // The next source row the thumbnail needs, or -1 when it needs no more.
    int NextSourceRow() const;
    // Takes source row y (RGB, three bytes a pixel); rows come in order.
    void AddRow(int y, const uint8_t* rgb);

    // Thumbnail pixels, rows top-down, blue, green, red, 0xFF; black where no
    // source pixel was taken.
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }

private:
    bool m_valid = false;
    int m_width = 0;
    int m_height = 0;
    std::vector<int> m_columns;  // source column of each thumbnail column, -1 outside
    std::vector<int> m_rows;     // source row of each thumbnail row, -1 outside
    int m_nextRow = 0;           // first thumbnail row not yet filled
    std::vector<uint32_t> m_pixels;
};
