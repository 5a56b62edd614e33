#pragma once
// Conversion of 32-bit image pixels (bytes blue, green, red, unused) into the
// screen's pixel formats, with integer zoom, a gamma table and ordered
// dithering. Plain functions over caller-owned buffers: no locks, no state,
// callable from any thread.

#include <array>
#include <cstdint>

namespace pixelconv {

// The pixel formats of the display strip.
enum PixelFormat : int {
    kFormat24 = 0,   // 3 bytes: blue, green, red
    kFormat8 = 1,    // 1 byte: index into the 233-colour palette
    kFormat555 = 2,  // 16 bits 0RRRRRGG GGGBBBBB, low byte first
    kFormat565 = 3,  // 16 bits RRRRRGGG GGGBBBBB, low byte first
    kFormat32 = 4,   // 4 bytes: blue, green, red, 0xFF
};
constexpr int kFormatCount = 5;

constexpr int BytesPerPixel(int format)
{
    switch (format) {
    case kFormat24: return 3;
    case kFormat8: return 1;
    case kFormat555:
    case kFormat565: return 2;
    default: return 4;
    }
}

// The extent of `extent` source pixels on screen: replicated `factor` times,
// or every factor-th one kept when reducing (integer division).
constexpr int ZoomedExtent(int extent, int factor, bool reduce)
{
    return reduce ? extent / factor : extent * factor;
}

// Entry i is truncate(255 * (i / 255)^gamma), clamped to 0..255.
std::array<uint8_t, 256> MakeGammaTable(double gamma);

// The palette index of one pixel on an 8-bit screen. (ditherX, ditherY) is
// the pixel's screen position plus the scroll offset.
uint8_t PaletteIndex(uint8_t blue, uint8_t green, uint8_t red, bool dither, int ditherX, int ditherY);

// The 16-bit value of one pixel in format kFormat555 or kFormat565.
uint16_t Pack16(int format, uint8_t blue, uint8_t green, uint8_t red, bool dither, int ditherX, int ditherY);

// The image pixels: `width` x `height`, row y at pixels + y * width.
struct SourcePixels {
    const uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// Where the converted pixels go: top-down rows `bytesPerLine` apart.
struct StripPixels {
    uint8_t* bits = nullptr;
    int bytesPerLine = 0;
    int width = 0;
    int height = 0;
};

// One tile: a rectangle of source pixels inside the image, and how it is
// drawn. The tile's zoomed size must fit the strip.
struct TileJob {
    int x = 0, y = 0, width = 0, height = 0;
    int factor = 1;
    bool reduce = false;
    bool dither = false;
    int ditherX = 0;                 // dither column of the strip's column 0
    int ditherY = 0;                 // dither row of the strip's row 0
    const uint8_t* gamma = nullptr;  // 256 entries, or none
};

// Writes the tile's zoomed pixels into the strip's top-left corner in the
// given format. False (and nothing written) when the tile lies outside the
// image or its zoomed size does not fit the strip.
bool ConvertTile(int format, const SourcePixels& source, const TileJob& tile, const StripPixels& strip);

}  // namespace pixelconv
