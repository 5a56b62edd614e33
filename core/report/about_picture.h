#pragma once
// The About window's picture format: a packed device-independent bitmap of
// 8 bits per pixel, bottom-up, with a 256-entry colour table (a 40-byte
// header, 1024 bytes of colours as blue, green, red, reserved, then the rows,
// each rounded up to a multiple of 4 bytes). The project writes its picture
// in this format (tools/make_about_picture) and the window reads it back.
//
// Thread rules: pure functions; any thread. Loading takes the bitmap's
// pixel lock while it fills it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class CImageBitmap;

inline constexpr int kAboutPictureWidth = 136;
inline constexpr int kAboutPictureHeight = 240;
inline constexpr size_t kPackedDib8PixelOffset = 40 + 256 * 4;

// Fills `image` (which must be empty) top-down, each pixel the colour its
// index selects. False, leaving the image empty, when the data is not such a
// bitmap or is cut short.
bool LoadPackedDib8(const uint8_t* data, size_t size, CImageBitmap& image);

// The packed bitmap of `indices` (width x height, top-down) with the
// colours (0xRRGGBB). Empty when the sizes do not match.
std::vector<uint8_t> MakePackedDib8(int width, int height, const std::array<uint32_t, 256>& colours,
                                    const std::vector<uint8_t>& indices);
