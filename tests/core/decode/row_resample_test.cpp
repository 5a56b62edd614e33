// Row reduce, row expand, line placement, the display size and the
// thumbnail size: the exact arithmetic of the display decode.

#include <gtest/gtest.h>

#include <ostream>

#include <vector>

#include "decode/display_decode.h"
#include "decode/exact_divider.h"
#include "decode/image_bitmap.h"
#include "decode/row_resample.h"
#include "decode/thumbnail_sampler.h"

namespace {

// An RGB row whose pixel i has red = values[i], green = values[i] / 2, blue 7.
std::vector<uint8_t> Row(const std::vector<int>& values)
{
    std::vector<uint8_t> row;
    for (int v : values) {
        row.push_back(uint8_t(v));
        row.push_back(uint8_t(v / 2));
        row.push_back(7);
    }
    return row;
}

std::vector<int> Reds(const std::vector<uint32_t>& pixels)
{
    std::vector<int> reds;
    for (uint32_t p : pixels)
        reds.push_back(int((p >> 16) & 255));
    return reds;
}

TEST(RowReduce, NearestTakesEverySecondPixel)
{
    std::vector<int> values;
    for (int i = 0; i < 1000; ++i)
        values.push_back(i % 251);
    const auto row = Row(values);
    std::vector<uint32_t> out(500);
    ReduceRow(row.data(), 1000, out.data(), 500, false);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(out[size_t(i)], PackPixel(row.data() + 6 * i)) << i;
}

TEST(RowReduce, AverageIsTheMeanOfNeighbours)
{
    const auto row = Row({10, 21, 100, 0, 255, 254, 3, 3});
    std::vector<uint32_t> out(4);
    ReduceRow(row.data(), 8, out.data(), 4, true);
    EXPECT_EQ(Reds(out), (std::vector<int> {15, 50, 254, 3}));
    // Green is value / 2 per pixel, averaged again with truncation.
    EXPECT_EQ((out[0] >> 8) & 255, uint32_t((5 + 10) / 2));
    EXPECT_EQ(out[0] & 255, 7u);
    EXPECT_EQ(out[0] >> 24, 0xFFu);
}

TEST(RowReduce, AverageOfUnevenSpans)
{
    // 5 pixels to 2: step 2.5, spans [0,2) and [2,5).
    const auto row = Row({0, 10, 20, 30, 41});
    std::vector<uint32_t> out(2);
    ReduceRow(row.data(), 5, out.data(), 2, true);
    EXPECT_EQ(Reds(out), (std::vector<int> {5, 30}));
}

struct ExpandCase {
    std::vector<int> source;
    int length;
    bool interpolate;
    std::vector<int> expected;
};

// The default printer would dump the raw bytes, padding included.
void PrintTo(const ExpandCase& c, std::ostream* out)
{
    *out << c.source.size() << " to " << c.length << (c.interpolate ? " interpolated" : "");
}

class RowExpand : public testing::TestWithParam<ExpandCase> {};

TEST_P(RowExpand, Reds)
{
    const ExpandCase& c = GetParam();
    const auto row = Row(c.source);
    std::vector<uint32_t> out(size_t(c.length), 0x12345678u);
    ExpandRow(row.data(), int(c.source.size()), out.data(), c.length, c.interpolate);
    EXPECT_EQ(Reds(out), c.expected);
    for (uint32_t p : out)
        EXPECT_EQ(p >> 24, 0xFFu);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowExpand,
    testing::Values(ExpandCase {{10, 20}, 2, false, {10, 20}},
                    ExpandCase {{10, 20}, 4, false, {10, 10, 20, 20}},
                    ExpandCase {{10, 21}, 4, true, {10, 15, 21, 21}},
                    // Falling ramps truncate the value, not the step.
                    ExpandCase {{21, 10}, 4, true, {21, 15, 10, 10}},
                    ExpandCase {{0, 90, 30}, 7, false, {0, 0, 90, 90, 30, 30, 30}},
                    ExpandCase {{0, 90, 30}, 9, true, {0, 30, 60, 90, 70, 50, 30, 30, 30}},
                    ExpandCase {{5}, 3, true, {5, 5, 5}}, ExpandCase {{1, 2, 3}, 4, false, {1, 2, 3, 3}}));

TEST(RowExpand, InterpolatedSpanStartsAtTheSourcePixel)
{
    std::vector<int> values;
    for (int i = 0; i < 37; ++i)
        values.push_back((i * 67) % 256);
    const auto row = Row(values);
    std::vector<uint32_t> out(100);
    ExpandRow(row.data(), 37, out.data(), 100, true);
    const double q = 100.0 / 37;
    double position = 0;
    for (int k = 0; k < 37; ++k, position += q)
        EXPECT_EQ(out[size_t(int(position))], PackPixel(row.data() + 3 * k)) << k;
    EXPECT_EQ(out[99], PackPixel(row.data() + 3 * 36));
}

struct PlaceCase {
    int rotation;
    bool flipH, flipV;
    LinePlacement first;  // line 0 of a 30 x 20 display image
};

void PrintTo(const PlaceCase& c, std::ostream* out)
{
    *out << "rotation " << c.rotation << (c.flipH ? " flip-h" : "") << (c.flipV ? " flip-v" : "");
}

class LinePlace : public testing::TestWithParam<PlaceCase> {};

TEST_P(LinePlace, FirstLine)
{
    const PlaceCase& c = GetParam();
    const LinePlacement p = PlaceOf(0, c.rotation, c.flipH, c.flipV, 30, 20);
    EXPECT_EQ(p.column, c.first.column);
    EXPECT_EQ(p.index, c.first.index);
    EXPECT_EQ(p.reverse, c.first.reverse);
}

INSTANTIATE_TEST_SUITE_P(Cases, LinePlace,
                         testing::Values(PlaceCase {0, false, false, {false, 0, false}},
                                         PlaceCase {1, false, false, {true, 29, false}},
                                         PlaceCase {2, false, false, {false, 19, true}},
                                         PlaceCase {3, false, false, {true, 0, true}},
                                         PlaceCase {0, true, false, {false, 0, true}},
                                         PlaceCase {0, false, true, {false, 19, false}},
                                         PlaceCase {1, true, false, {true, 0, false}},
                                         PlaceCase {1, false, true, {true, 29, true}},
                                         PlaceCase {2, false, true, {false, 0, true}},
                                         PlaceCase {3, true, true, {true, 29, false}}));

TEST(LinePlace, WritesAndMarksColumnsAndRows)
{
    CImageBitmap bitmap;
    ASSERT_TRUE(bitmap.Create(3, 2));
    std::fill_n(bitmap.Pixels(), 6, 0u);
    const uint32_t column[2] = {1, 2};
    PlaceLine(bitmap, {true, 2, true}, column, 2);
    EXPECT_EQ(bitmap.Row(1)[2], 1u);
    EXPECT_EQ(bitmap.Row(0)[2], 2u);
    EXPECT_EQ(bitmap.GetDirtyRect(), (DirtyRect {2, 0, 3, 2}));
    const uint32_t row[3] = {7, 8, 9};
    PlaceLine(bitmap, {false, 0, true}, row, 3);
    EXPECT_EQ(bitmap.Row(0)[0], 9u);
    EXPECT_EQ(bitmap.Row(0)[2], 7u);
    EXPECT_EQ(bitmap.GetDirtyRect(), (DirtyRect {0, 0, 3, 2}));
    PlaceLine(bitmap, {false, 5, false}, row, 3);  // outside: ignored
    PlaceLine(bitmap, {true, -1, false}, row, 3);
}

TEST(ExactDivider, MatchesDivisionForEverySumOfSamples)
{
    for (uint32_t d = 1; d < 4200; d += (d < 300 ? 1 : 37)) {
        const ExactDivider divide(d);
        for (uint32_t v = 0; v <= 255 * d; v += (d < 64 ? 1 : 7))
            ASSERT_EQ(divide(v), v / d) << v << " / " << d;
        ASSERT_EQ(divide(255 * d), 255u);
        ASSERT_EQ(divide(255 * d - 1), (255 * d - 1) / d);
    }
}

struct FitCase {
    int w, h, tw, th;
    bool ok;
    int dw, dh;
};

void PrintTo(const FitCase& c, std::ostream* out)
{
    *out << c.w << "x" << c.h << " in " << c.tw << "x" << c.th;
}

class DisplaySize : public testing::TestWithParam<FitCase> {};

TEST_P(DisplaySize, Fits)
{
    const FitCase& c = GetParam();
    int dw = -1, dh = -1;
    ASSERT_EQ(FitDisplaySize(c.w, c.h, c.tw, c.th, dw, dh), c.ok);
    if (c.ok) {
        EXPECT_EQ(dw, c.dw);
        EXPECT_EQ(dh, c.dh);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplaySize,
    testing::Values(
        FitCase {1600, 1200, 0, 0, true, 1600, 1200}, FitCase {1600, 1200, 640, 0, true, 640, 480},
        FitCase {1600, 1200, 0, 480, true, 640, 480}, FitCase {1600, 1200, 640, 640, true, 640, 480},
        FitCase {100, 50, 1000, 1000, true, 1000, 500},
        FitCase {1200, 1600, 0, 0, true, 1200, 1600},  // a quarter turn of 1600 x 1200
        FitCase {6000, 4000, 1920, 1080, true, 1620, 1080}, FitCase {3, 1000, 1920, 1080, true, 3, 1080},
        FitCase {1000, 1, 1, 0, true, 1, 1},  // height rounds to nothing: one row
        FitCase {16, 65500, 200, 200, true, 1, 200}, FitCase {65500, 16, 200, 200, true, 200, 1},
        FitCase {10, 1, 9, 0, true, 9, 1},  // a sliver keeps its one row
        FitCase {1, 10, 0, 9, true, 1, 9},
        FitCase {65500, 65500, 0, 0, false, 0, 0},  // beyond the pixel limit
        FitCase {100, 50, -5, 0, true, 100, 50},    // negative target: unconstrained
        FitCase {0, 50, 0, 0, false, 0, 0}));

struct ThumbCase {
    int w, h, size, tw, th;
};

class ThumbnailSize : public testing::TestWithParam<ThumbCase> {};

TEST_P(ThumbnailSize, Fits)
{
    const ThumbCase& c = GetParam();
    CThumbnailSampler sampler(c.w, c.h, c.size);
    ASSERT_TRUE(sampler.Valid());
    EXPECT_EQ(sampler.Width(), c.tw);
    EXPECT_EQ(sampler.Height(), c.th);
    EXPECT_EQ(sampler.Pixels().size(), size_t(c.tw) * c.th);
}

INSTANTIATE_TEST_SUITE_P(Cases, ThumbnailSize,
                         testing::Values(ThumbCase {375, 250, 160, 160, 107},
                                         ThumbCase {250, 375, 160, 107, 160}, ThumbCase {10, 10, 80, 80, 80},
                                         ThumbCase {1000, 1, 80, 80, 1}, ThumbCase {1, 1000, 80, 1, 80},
                                         ThumbCase {2, 8188, 120, 1, 120}, ThumbCase {50, 100, 3, 2, 3}));

TEST(ThumbnailSampler, TakesNearestPixelsAndLeavesBlackOutside)
{
    // 4 x 2 to size 8: step 0.5, every source pixel doubled.
    CThumbnailSampler sampler(4, 2, 8);
    ASSERT_EQ(sampler.Height(), 4);
    const auto row0 = Row({1, 2, 3, 4});
    const auto row1 = Row({5, 6, 7, 8});
    sampler.AddRow(0, row0.data());
    sampler.AddRow(1, row1.data());
    EXPECT_EQ(Reds(sampler.Pixels()), (std::vector<int> {1, 1, 2, 2, 3, 3, 4, 4, 1, 1, 2, 2, 3, 3, 4, 4,
                                                         5, 5, 6, 6, 7, 7, 8, 8, 5, 5, 6, 6, 7, 7, 8, 8}));
    CThumbnailSampler huge(100000, 100000, 100000);
    EXPECT_FALSE(huge.Valid());
}

}  // namespace
