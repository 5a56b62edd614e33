#pragma once
// The constant tables of the screen-format conversion: the three ordered
// dither matrices, the fraction table of the 8-bit colour cube and the
// 233-colour palette of 8-bit screens. All are computed at compile time and
// read-only, so any thread may read them.

#include <array>
#include <cstdint>

namespace dither {

// 8 x 8 ordered-dither matrix, entries 0 to 63.
constexpr uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

// 4 x 4 ordered-dither matrix, entries 0 to 15.
constexpr uint8_t kBayer4[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

// 2 x 4 matrix, entries 0 to 7: the first two rows of the 4 x 4 one halved.
constexpr uint8_t kBayer2x4[2][4] = {
    {0, 4, 1, 5},
    {6, 2, 7, 3},
};

// Entry v: how far v lies above its cube level (v mod 51), scaled to 0..63
// and rounded half up, to compare with the 8 x 8 matrix.
constexpr std::array<uint8_t, 256> MakeFractionTable()
{
    std::array<uint8_t, 256> table {};
    for (int v = 0; v < 256; ++v)
        table[v] = static_cast<uint8_t>(((v % 51) * 128 + 51) / 102);
    return table;
}
constexpr std::array<uint8_t, 256> kFraction = MakeFractionTable();

struct PaletteEntry {
    uint8_t red, green, blue;
    bool operator==(const PaletteEntry&) const = default;
};

constexpr int kCubeLevels = 6;
constexpr int kCubeSize = kCubeLevels * kCubeLevels * kCubeLevels;  // 216
constexpr int kFirstGray = kCubeSize;                               // 216: gray 0
constexpr int kWhiteIndex = 232;                                    // gray 255
constexpr int kPaletteSize = 233;

// Entries 0-215: the cube, r * 36 + g * 6 + b at levels of 51; entries
// 216-231: grays 0, 16, ..., 240; entry 232: white.
constexpr std::array<PaletteEntry, kPaletteSize> MakePalette()
{
    std::array<PaletteEntry, kPaletteSize> p {};
    for (int r = 0; r < kCubeLevels; ++r)
        for (int g = 0; g < kCubeLevels; ++g)
            for (int b = 0; b < kCubeLevels; ++b)
                p[r * 36 + g * 6 + b] = {uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)};
    for (int i = 0; i < 16; ++i)
        p[kFirstGray + i] = {uint8_t(i * 16), uint8_t(i * 16), uint8_t(i * 16)};
    p[kWhiteIndex] = {255, 255, 255};
    return p;
}
constexpr std::array<PaletteEntry, kPaletteSize> kPalette = MakePalette();

}  // namespace dither
