// The thumbnails held in memory stay within the budget: the worker goes only
// so far ahead of where the pane looks, a scroll drops the farthest ones, and
// they are made again when the pane comes back to them.

#include <functional>

#include "decode/image_bitmap.h"
#include "loader_fixture.h"

namespace {
using loadertest::LoaderTest;

// 64 x 48 pictures at 32 pixels: 32 x 24 thumbnails of 3072 bytes, counted
// ahead as 32 x 32 x 4 = 4096.
constexpr int kSize = 32;
constexpr int64_t kEstimate = kSize * kSize * 4;
constexpr int64_t kHeld = 32 * 24 * 4;

class ThumbnailBudgetTest : public LoaderTest {
protected:
    void MakeFolder(int count)
    {
        for (int i = 0; i < count; ++i)
            WriteJpeg("img" + std::to_string(1000 + i) + ".jpg", 64, 48, uint32_t(i + 1));
    }
    std::vector<int> Made()
    {
        std::vector<int> made;
        for (ImageItem* item : Items())
            if (m_loader.ThumbnailOf(item))
                made.push_back(item->index);
        return made;
    }
    int64_t Counted()
    {
        int64_t bytes = 0;
        for (ImageItem* item : Items())
            if (CImageBitmap* thumb = m_loader.ThumbnailOf(item))
                bytes += int64_t(thumb->Width()) * thumb->Height() * 4;
        return bytes;
    }
    static std::vector<int> Range(int from, int to)
    {
        std::vector<int> r;
        for (int i = from; i <= to; ++i)
            r.push_back(i);
        return r;
    }
};

TEST_F(ThumbnailBudgetTest, ScrollingDropsTheFarthestAndComesBack)
{
    MakeFolder(40);
    ASSERT_TRUE(Open());
    // Room for twelve estimates: four ahead of the start, the rest behind.
    m_loader.SetThumbnailBudget(12 * kEstimate);
    m_loader.StartThumbnails(kSize);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(Made(), Range(0, 4));
    EXPECT_EQ(m_loader.ThumbnailBytes(), Counted());

    const std::vector<ImageItem*> items = Items();
    for (int start : {4, 8, 12, 20, 33, 39, 0, 2}) {
        SCOPED_TRACE(start);
        m_loader.SetThumbnailStart(items[size_t(start)]);
        ASSERT_TRUE(WaitThumbnails());
        const std::vector<int> made = Made();
        // What the pane shows from the start on is made ...
        for (int i = start; i <= std::min(start + 4, 39); ++i)
            EXPECT_NE(std::find(made.begin(), made.end(), i), made.end()) << i;
        // ... and the memory stays within the budget, counted exactly.
        EXPECT_LE(m_loader.ThumbnailBytes(), 12 * kEstimate);
        EXPECT_EQ(m_loader.ThumbnailBytes(), Counted());
    }
}

TEST_F(ThumbnailBudgetTest, AFolderThatFitsIsMadeWhole)
{
    MakeFolder(12);
    WriteBytes("broken.jpg", "no");
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(kSize);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(Made().size(), 12u);
    EXPECT_EQ(m_loader.ThumbnailBytes(), 12 * kHeld);
    // Scrolling drops nothing while the budget holds it all.
    m_loader.SetThumbnailStart(Items()[7]);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(Made().size(), 12u);
    // Removed items leave the count with their thumbnails.
    m_host.answerTrash = true;
    ASSERT_TRUE(m_loader.DeleteItems({Item("img1003.jpg"), Item("img1004.jpg")}));
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(m_loader.ThumbnailBytes(), Counted());
    EXPECT_EQ(Counted(), 10 * kHeld);
}

TEST_F(ThumbnailBudgetTest, NoRoomAtAllStillLeavesTheLoaderWorking)
{
    MakeFolder(6);
    ASSERT_TRUE(Open());
    m_loader.SetThumbnailBudget(1);
    m_loader.StartThumbnails(kSize);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_TRUE(Made().empty());
    for (ImageItem* item : Items())
        m_loader.SetThumbnailStart(item);
    m_loader.SetThumbnailBudget(kDefaultThumbnailBudget);
    m_loader.SetThumbnailStart(Items()[0]);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(Made().size(), 6u);
}

// Scrolling after a stop of a run that had settled once joined the threads
// of that run, which were gone.
TEST_F(ThumbnailBudgetTest, ScrollingAfterAStopStartsNothing)
{
    MakeFolder(3);
    const std::function<void()> stops[] = {
        [this] { m_loader.SetOptions(false, false, false); },
        [this] { m_loader.SetThumbnailCache(nullptr); },
        [this] { EXPECT_TRUE(Open()); },
    };
    for (size_t i = 0; i < std::size(stops); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(Open());
        m_loader.StartThumbnails(kSize);
        ASSERT_TRUE(WaitThumbnails());
        stops[i]();
        m_loader.SetThumbnailStart(Items()[1]);
        m_loader.StartThumbnails(kSize);
        ASSERT_TRUE(WaitThumbnails());
        EXPECT_EQ(Made().size(), 3u);
    }
}

}  // namespace
