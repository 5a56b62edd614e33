// The display decode on synthetic rows: which source rows reach which lines,
// averaging, interpolation, cancel and progress.

#include <gtest/gtest.h>

#include <vector>

#include "decode/display_decode.h"
#include "decode/image_bitmap.h"
#include "decode/jpeg_decoder.h"
#include "decode/sync_event.h"

namespace {

// Source of W x H rows where every sample of row j is value(j).
struct Rows {
    int width;
    std::vector<int> values;
    int next = 0;
    int failAt = -1;
    RowReader Reader()
    {
        return [this](uint8_t* rgb) {
            if (next == failAt)
                return false;
            std::fill_n(rgb, size_t(width) * 3, uint8_t(values[size_t(next++)]));
            return true;
        };
    }
};

// Red channel of column 0, top to bottom.
std::vector<int> Column0(CImageBitmap& b)
{
    std::vector<int> reds;
    for (int y = 0; y < b.Height(); ++y)
        reds.push_back(int((b.Row(y)[0] >> 16) & 255));
    return reds;
}

CImageBitmap& Blank(CImageBitmap& b, int w, int h)
{
    b.Clear();
    EXPECT_TRUE(b.Create(w, h));
    std::fill_n(b.Pixels(), size_t(w) * h, 0u);
    return b;
}

struct Recorder : IDecodeProgress {
    std::vector<int> rows;
    int stopAt = -1;
    CEvent* cancel = nullptr;
    int cancelAt = -1;
    bool Progress(int total, int row) override
    {
        EXPECT_GT(total, row);
        rows.push_back(row);
        if (row == cancelAt)
            cancel->Set();
        return row != stopAt;
    }
};

TEST(ReducingDecode, AveragesRowsAfterTheFirstRowOfThePreviousLine)
{
    CImageBitmap b;
    Rows rows {4, {10, 20, 41, 90}};
    DisplayPlan plan {4, 4, 0, false, false, true, false};
    ASSERT_TRUE(ReducingDecode(plan, Blank(b, 2, 2), rows.Reader(), nullptr, nullptr));
    EXPECT_EQ(Column0(b), (std::vector<int> {10, 30}));  // row 3 is not used

    rows = Rows {4, {10, 20, 41, 90}};
    plan.highQuality = false;
    ASSERT_TRUE(ReducingDecode(plan, Blank(b, 2, 2), rows.Reader(), nullptr, nullptr));
    EXPECT_EQ(Column0(b), (std::vector<int> {10, 41}));
}

TEST(ReducingDecode, RotatedLinesBecomeColumns)
{
    CImageBitmap b;
    Rows rows {6, {1, 2, 3, 4, 5, 6}};
    // Rotation 1: source rows become columns from the right; 6 x 6 to 3 x 3.
    DisplayPlan plan {6, 6, 1, false, false, false, false};
    ASSERT_TRUE(ReducingDecode(plan, Blank(b, 3, 3), rows.Reader(), nullptr, nullptr));
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ((b.Row(y)[2] >> 16) & 255, 1u);
        EXPECT_EQ((b.Row(y)[1] >> 16) & 255, 3u);
        EXPECT_EQ((b.Row(y)[0] >> 16) & 255, 5u);
    }
    EXPECT_EQ(b.GetDirtyRect(), (DirtyRect {0, 0, 3, 3}));
}

TEST(EnlargingDecode, RepeatsRowsAndFillsTheLastLine)
{
    CImageBitmap b;
    Rows rows {2, {10, 20, 30}};
    DisplayPlan plan {2, 3, 0, false, false, false, false};
    ASSERT_TRUE(EnlargingDecode(plan, Blank(b, 3, 7), rows.Reader(), nullptr, nullptr));
    EXPECT_EQ(Column0(b), (std::vector<int> {10, 10, 20, 20, 30, 30, 30}));
    EXPECT_EQ(b.GetDirtyRect(), (DirtyRect {0, 0, 3, 7}));
}

TEST(EnlargingDecode, InterpolatesBetweenRowsAndEndsOnTheLastRow)
{
    CImageBitmap b;
    Rows rows {2, {10, 21, 0}};
    DisplayPlan plan {2, 3, 0, false, false, false, true};
    ASSERT_TRUE(EnlargingDecode(plan, Blank(b, 4, 6), rows.Reader(), nullptr, nullptr));
    EXPECT_EQ(Column0(b), (std::vector<int> {10, 15, 21, 10, 0, 0}));
    EXPECT_EQ(b.GetDirtyRect(), (DirtyRect {0, 0, 4, 6}));
}

TEST(EnlargingDecode, OneRowImageCoversEveryLine)
{
    for (bool interpolate : {false, true}) {
        CImageBitmap b;
        Rows rows {1, {77}};
        DisplayPlan plan {1, 1, 3, true, true, false, interpolate};
        ASSERT_TRUE(EnlargingDecode(plan, Blank(b, 5, 5), rows.Reader(), nullptr, nullptr));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ((b.Row(y)[x] >> 16) & 255, 77u);
    }
}

struct StopCase {
    bool reduce;
    bool cancel;  // else the progress object says stop
};

class DecodeStops : public testing::TestWithParam<StopCase> {};

TEST_P(DecodeStops, KeepsTheUpperPartAndReportsEveryRowBefore)
{
    const StopCase& c = GetParam();
    std::vector<int> values(20);
    for (int i = 0; i < 20; ++i)
        values[size_t(i)] = 100 + i;
    Rows rows {20, values};
    CImageBitmap b;
    CEvent cancel;
    Recorder progress;
    if (c.cancel) {
        progress.cancel = &cancel;
        progress.cancelAt = 9;
    } else {
        progress.stopAt = 9;
    }
    const DisplayPlan plan {20, 20, 0, false, false, false, false};
    const bool done = c.reduce ? ReducingDecode(plan, Blank(b, 10, 10), rows.Reader(), &cancel, &progress)
                               : EnlargingDecode(plan, Blank(b, 20, 20), rows.Reader(), &cancel, &progress);
    EXPECT_FALSE(done);
    std::vector<int> expected;
    for (int i = 0; i < 10; ++i)
        expected.push_back(i);
    EXPECT_EQ(progress.rows, expected);
    EXPECT_EQ(rows.next, 10);  // cancel is polled before the next row is read
    const std::vector<int> column = Column0(b);
    const int written = c.reduce ? 5 : 10;
    for (int y = 0; y < b.Height(); ++y)
        EXPECT_EQ(column[size_t(y)] == 0, y >= written) << y;
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeStops,
                         testing::Values(StopCase {true, true}, StopCase {true, false},
                                         StopCase {false, true}, StopCase {false, false}));

TEST(DisplayDecode, ReadFailureEndsTheDecode)
{
    for (bool reduce : {false, true}) {
        Rows rows {4, {1, 2, 3, 4}};
        rows.failAt = 2;
        CImageBitmap b;
        const DisplayPlan plan {4, 4, 0, false, false, true, true};
        EXPECT_FALSE(reduce ? ReducingDecode(plan, Blank(b, 2, 2), rows.Reader(), nullptr, nullptr)
                            : EnlargingDecode(plan, Blank(b, 8, 8), rows.Reader(), nullptr, nullptr));
    }
}

TEST(DisplayDecode, ReduceFlagFollowsTheExtentAlongASourceRow)
{
    const DisplayPlan plan {1600, 1200, 1, false, false, false, false};
    EXPECT_FALSE(DisplayReduces(plan, 1200, 1600));  // the displayed height 1600 is not smaller
    EXPECT_TRUE(DisplayReduces(plan, 1201, 1599));
    EXPECT_TRUE(DisplayReduces({1600, 1200, 0, false, false, false, false}, 1599, 1200));
    EXPECT_TRUE(DisplayIsDirect({1600, 1200, 2, true, true, false, false}, 1600, 1200));
    EXPECT_FALSE(DisplayIsDirect({1600, 1200, 2, false, false, false, false}, 1600, 1200));
    EXPECT_FALSE(DisplayIsDirect({1600, 1200, 0, false, false, false, false}, 1600, 1201));
}

}  // namespace
