#pragma once
// Shared helpers of the decoder tests: test pictures, files in a temporary
// folder, and pixel access to bitmaps and reference images.

#include <cstdint>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "decode/image_bitmap.h"
#include "tools/jpeg_writer.h"

namespace decodetest {

// A folder that lives as long as the object; paths as byte strings.
class TempDir {
public:
    std::string Path(const std::string& name) const { return m_dir.path().toStdString() + "/" + name; }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        const std::string path = Path(name);
        jpegwriter::WriteFile(path, bytes);
        return path;
    }

private:
    QTemporaryDir m_dir;
};

// A picture where neighbouring pixels differ, so misplaced pixels show.
inline jpegwriter::RawImage Pattern(int width, int height, int components = 3)
{
    jpegwriter::RawImage image;
    image.width = width;
    image.height = height;
    image.components = components;
    image.pixels.resize(size_t(width) * height * components);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                image.Row(y)[x * components + c] = uint8_t((x * 7 + y * 13 + c * 61 + (x * y) % 17) & 255);
    return image;
}

inline jpegwriter::RawImage Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    jpegwriter::RawImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height * 3);
    for (size_t i = 0; i < image.pixels.size(); i += 3) {
        image.pixels[i] = r;
        image.pixels[i + 1] = g;
        image.pixels[i + 2] = b;
    }
    return image;
}

// The 32-bit pixel of reference pixel (x, y), fourth byte 0xFF.
inline uint32_t RefPixel(const jpegwriter::RawImage& ref, int x, int y)
{
    const uint8_t* p = ref.Row(y) + size_t(x) * 3;
    return 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

// Colour channels only: the fourth byte carries no meaning.
inline uint32_t Rgb(uint32_t pixel)
{
    return pixel & 0xFFFFFFu;
}

// Where source pixel (x, y) of a w x h image lands for rotation and flips.
inline void MapPixel(int w, int h, int rotation, bool flipH, bool flipV, int x, int y, int& dx, int& dy)
{
    int dw = (rotation & 1) ? h : w, dh = (rotation & 1) ? w : h;
    switch (rotation) {
    case 0:
        dx = x;
        dy = y;
        break;
    case 1:
        dx = h - 1 - y;
        dy = x;
        break;
    case 2:
        dx = w - 1 - x;
        dy = h - 1 - y;
        break;
    default:
        dx = y;
        dy = w - 1 - x;
        break;
    }
    if (flipH)
        dx = dw - 1 - dx;
    if (flipV)
        dy = dh - 1 - dy;
}

}  // namespace decodetest
