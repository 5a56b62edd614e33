#include "display/pixel_convert.h"

#include <climits>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "display/dither_tables.h"

using namespace pixelconv;

namespace {

TEST(DitherTables, PaletteHoldsCubeThenGrays)
{
    struct Row {
        int index;
        dither::PaletteEntry rgb;
    };
    const Row rows[] = {
        {0, {0, 0, 0}},         {5, {0, 0, 255}},       {30, {0, 255, 0}}, {180, {255, 0, 0}},
        {43, {51, 51, 51}},     {215, {255, 255, 255}}, {216, {0, 0, 0}},  {224, {128, 128, 128}},
        {231, {240, 240, 240}}, {232, {255, 255, 255}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(dither::kPalette[r.index], r.rgb) << "entry " << r.index;
}

TEST(DitherTables, FractionTableRoundsHalfUp)
{
    const int rows[][2]
        = {{0, 0}, {1, 1}, {25, 31}, {26, 33}, {50, 63}, {51, 0}, {102, 0}, {127, 31}, {255, 0}};
    for (const auto& r : rows)
        EXPECT_EQ(dither::kFraction[r[0]], r[1]) << "v = " << r[0];
}

TEST(DitherTables, MatricesArePermutationsAndTheSmallOneIsHalved)
{
    std::vector<int> seen8(64), seen4(16);
    for (const auto& row : dither::kBayer8)
        for (uint8_t v : row)
            ++seen8.at(v);
    for (const auto& row : dither::kBayer4)
        for (uint8_t v : row)
            ++seen4.at(v);
    EXPECT_EQ(seen8, std::vector<int>(64, 1));
    EXPECT_EQ(seen4, std::vector<int>(16, 1));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dither::kBayer2x4[y][x], dither::kBayer4[y][x] / 2);
}

TEST(PaletteIndex, WithoutDithering)
{
    struct Row {
        uint8_t r, g, b;
        int index;
    };
    const Row rows[] = {
        {255, 0, 0, 180},     {255, 255, 255, 232}, {0, 0, 0, 216},     {128, 128, 128, 224},
        {254, 254, 254, 231}, {0, 0, 255, 5},       {100, 200, 50, 54}, {255, 255, 254, 214},
    };
    for (const Row& r : rows)
        EXPECT_EQ(PaletteIndex(r.b, r.g, r.r, false, 0, 0), r.index)
            << int(r.r) << "," << int(r.g) << "," << int(r.b);
}

TEST(PaletteIndex, DitheredGrayEightIsHalfGrayZeroHalfGraySixteen)
{
    int counts[2] = {};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const int index = PaletteIndex(8, 8, 8, true, x, y);
            EXPECT_EQ(index, dither::kBayer4[y][x] < 8 ? 217 : 216) << x << "," << y;
            if (index == 216 || index == 217)
                ++counts[index - 216];
            // The pattern repeats every four pixels, also at negative positions.
            EXPECT_EQ(PaletteIndex(8, 8, 8, true, x - 4, y + 4), index);
        }
    EXPECT_EQ(counts[0], 8);
    EXPECT_EQ(counts[1], 8);
}

TEST(PaletteIndex, DitheredWhiteAndBlackStayFlat)
{
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(PaletteIndex(255, 255, 255, true, x, y), 232);
            EXPECT_EQ(PaletteIndex(0, 0, 0, true, x, y), 216);
            EXPECT_EQ(PaletteIndex(0, 0, 255, true, x, y), 180);
        }
}

TEST(PaletteIndex, DitheredCubeAveragesToTheColour)
{
    // Red 100 lies between levels 1 (51) and 2 (102): the 8 x 8 cell mixes them.
    int sum = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            sum += PaletteIndex(0, 0, 100, true, x, y) / 36;
    EXPECT_NEAR(sum * 51.0 / 64, 100.0, 1.0);
}

TEST(Pack16, WithoutDithering)
{
    struct Row {
        int format;
        uint8_t r, g, b;
        uint16_t value;
    };
    const Row rows[] = {
        {kFormat565, 255, 255, 255, 0xFFDF},
        {kFormat555, 255, 255, 255, 0x7FFF},
        {kFormat565, 0, 0, 0, 0},
        {kFormat555, 255, 0, 0, 0x7C00},
        {kFormat565, 0, 255, 0, 0x07C0},
        {kFormat555, 0, 255, 0, 0x03E0},
        {kFormat565, 8, 8, 8, 0x0841},
        {kFormat555, 8, 8, 8, 0x0421},
        {kFormat565, 7, 7, 7, 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Pack16(r.format, r.b, r.g, r.r, false, 0, 0), r.value)
            << r.format << ": " << int(r.r) << "," << int(r.g) << "," << int(r.b);
}

// Regression: dithering must not darken. Over one 2 x 4 cell a flat value
// averages to itself (until the top level, where it saturates).
TEST(Pack16, DitheredFlatAreaKeepsItsBrightness)
{
    for (int v = 0; v < 256; ++v) {
        int blue555 = 0, green565 = 0;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                blue555 += Pack16(kFormat555, uint8_t(v), 0, 0, true, x, y) & 0x1F;
                green565 += (Pack16(kFormat565, 0, uint8_t(v), 0, true, x, y) >> 6) & 0x1F;
            }
        if (v <= 248)
            EXPECT_EQ(blue555, v) << v;  // 8 pixels of v / 8 each
        else
            EXPECT_EQ(blue555, 8 * 31) << v;
        EXPECT_EQ(green565, blue555) << v;
    }
}

TEST(GammaTable, Values)
{
    const auto half = MakeGammaTable(0.5);
    EXPECT_EQ(half[128], 180);
    EXPECT_EQ(half[64], 127);
    EXPECT_EQ(MakeGammaTable(2.0)[128], 64);
    for (double g : {0.01, 0.3, 1.0, 2.5, 5.0}) {
        const auto t = MakeGammaTable(g);
        EXPECT_EQ(t[0], 0) << g;
        EXPECT_EQ(t[255], 255) << g;
        for (int i = 1; i < 256; ++i)
            EXPECT_LE(t[i - 1], t[i]) << g << " at " << i;
    }
    const auto identity = MakeGammaTable(1.0);
    const auto off = MakeGammaTable(-1.0);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(identity[i], i);
        EXPECT_EQ(off[i], i);
    }
}

// A 10 x 10 source whose pixel (x, y) has blue x, green y and red 200.
struct Source10 {
    std::vector<uint32_t> pixels;
    Source10()
    {
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                pixels.push_back(0x00C80000u | uint32_t(y) << 8 | uint32_t(x));
    }
    SourcePixels View() const { return {pixels.data(), 10, 10}; }
};

struct Strip {
    int width, height, bytesPerLine;
    std::vector<uint8_t> bits;
    Strip(int w, int h, int bpp)
        : width(w), height(h), bytesPerLine((w * bpp + 3) / 4 * 4), bits(size_t(bytesPerLine) * h, 0xAB)
    {
    }
    StripPixels View() { return {bits.data(), bytesPerLine, width, height}; }
    const uint8_t* At(int x, int y, int bpp) const
    {
        return bits.data() + size_t(y) * bytesPerLine + size_t(x) * bpp;
    }
};

TEST(ConvertTile, ZoomGeometry)
{
    struct Row {
        int factor;
        bool reduce;
        int outSize;
    };
    const Row rows[] = {{1, false, 10}, {3, false, 30}, {3, true, 3}, {2, true, 5}, {11, true, 0}};
    const Source10 source;
    for (const Row& r : rows) {
        Strip strip(32, 32, 3);
        TileJob job;
        job.width = job.height = 10;
        job.factor = r.factor;
        job.reduce = r.reduce;
        ASSERT_TRUE(ConvertTile(kFormat24, source.View(), job, strip.View()));
        EXPECT_EQ(ZoomedExtent(10, r.factor, r.reduce), r.outSize);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const uint8_t* p = strip.At(x, y, 3);
                if (x >= r.outSize || y >= r.outSize) {
                    ASSERT_EQ(p[0], 0xAB) << "written outside the zoomed tile at " << x << "," << y;
                    continue;
                }
                const int sx = r.reduce ? x * r.factor : x / r.factor;
                const int sy = r.reduce ? y * r.factor : y / r.factor;
                ASSERT_EQ(p[0], sx) << r.factor << r.reduce << " at " << x << "," << y;
                ASSERT_EQ(p[1], sy);
                ASSERT_EQ(p[2], 200);
            }
    }
}

TEST(ConvertTile, Format32AppliesGammaToTheThreeColours)
{
    const Source10 source;
    std::array<uint8_t, 256> gamma;
    for (int i = 0; i < 256; ++i)
        gamma[i] = uint8_t(255 - i);
    Strip strip(10, 10, 4);
    TileJob job;
    job.x = 2;
    job.y = 3;
    job.width = 8;
    job.height = 7;
    job.gamma = gamma.data();
    ASSERT_TRUE(ConvertTile(kFormat32, source.View(), job, strip.View()));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint8_t* p = strip.At(x, y, 4);
            EXPECT_EQ(p[0], 255 - (x + 2));
            EXPECT_EQ(p[1], 255 - (y + 3));
            EXPECT_EQ(p[2], 255 - 200);
            EXPECT_EQ(p[3], 0xFF);
        }
}

TEST(ConvertTile, DitherFollowsTheGivenPosition)
{
    std::vector<uint32_t> flat(16, 0x00080808u);
    Strip strip(4, 4, 1);
    TileJob job;
    job.width = job.height = 4;
    job.dither = true;
    job.ditherX = 5;
    job.ditherY = 2;
    ASSERT_TRUE(ConvertTile(kFormat8, {flat.data(), 4, 4}, job, strip.View()));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(*strip.At(x, y, 1), PaletteIndex(8, 8, 8, true, x + 5, y + 2));
}

TEST(ConvertTile, RefusesBadTilesWithoutWriting)
{
    const Source10 source;
    struct Row {
        const char* what;
        int format, x, y, w, h, factor;
        bool reduce;
    };
    const Row rows[] = {
        {"unknown format", 7, 0, 0, 4, 4, 1, false},
        {"negative x", kFormat24, -1, 0, 4, 4, 1, false},
        {"past the right edge", kFormat24, 8, 0, 4, 4, 1, false},
        {"past the bottom edge", kFormat24, 0, 9, 4, 4, 1, false},
        {"negative size", kFormat24, 0, 0, -4, 4, 1, false},
        {"factor 0", kFormat24, 0, 0, 4, 4, 0, false},
        {"enlarged beyond the strip", kFormat24, 0, 0, 5, 1, 4, false},
        {"huge factor", kFormat24, 0, 0, 1, 1, INT_MAX, false},
        {"wider than the strip at factor 1", kFormat24, 0, 0, 10, 1, 1, false},
    };
    for (const Row& r : rows) {
        Strip strip(8, 8, 3);
        TileJob job;
        job.x = r.x;
        job.y = r.y;
        job.width = r.w;
        job.height = r.h;
        job.factor = r.factor;
        job.reduce = r.reduce;
        EXPECT_FALSE(ConvertTile(r.format, source.View(), job, strip.View())) << r.what;
        EXPECT_EQ(strip.bits, std::vector<uint8_t>(strip.bits.size(), 0xAB)) << r.what;
    }
}

}  // namespace
