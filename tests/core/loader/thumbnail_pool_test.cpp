// The thumbnail threads share one walk through the list: the items are handed
// out in the order a single worker takes them, each once per run, whatever
// the pane, pauses and stops do meanwhile.

#include <cstdlib>
#include <map>
#include <mutex>

#include "decode/image_bitmap.h"
#include "loader_fixture.h"

namespace {
using loadertest::LoaderTest;

class ThumbnailPoolTest : public LoaderTest {
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        // More threads than this machine may have cores: the walk and the
        // shared cores are exercised either way.
        m_loader.SetThumbnailThreads(4);
        m_loader.SetThumbnailTrace([this](const ImageItem* item) {
            std::lock_guard lock(m_traceLock);
            m_trace.push_back(item);
        });
    }
    void MakeFolder(int count, int width = 64, int height = 48)
    {
        for (int i = 0; i < count; ++i)
            WriteJpeg("img" + std::to_string(100 + i) + ".jpg", width, height, uint32_t(i + 1));
    }
    std::vector<const ImageItem*> Trace()
    {
        std::lock_guard lock(m_traceLock);
        return m_trace;
    }
    // How often each item was handed out.
    std::map<const ImageItem*, int> Counts()
    {
        std::map<const ImageItem*, int> counts;
        for (const ImageItem* item : Trace())
            ++counts[item];
        return counts;
    }

    std::mutex m_traceLock;
    std::vector<const ImageItem*> m_trace;
};

TEST_F(ThumbnailPoolTest, TakesTheItemsInListOrderOnceEach)
{
    MakeFolder(16, 320, 240);
    WriteBytes("broken.jpg", "not a picture");
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(kSmallThumbnailSize);
    ASSERT_TRUE(WaitThumbnails());
    const std::vector<ImageItem*> items = Items();
    EXPECT_EQ(Trace(), std::vector<const ImageItem*>(items.begin(), items.end()));
    for (ImageItem* item : items)
        EXPECT_EQ(m_loader.ThumbnailOf(item) == nullptr, item->name == "broken.jpg") << item->name;
}

TEST_F(ThumbnailPoolTest, ScrollingPausingAndSortingNeverMakeAnItemTwice)
{
    MakeFolder(24, 400, 300);
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(kSmallThumbnailSize);
    const std::vector<ImageItem*> items = Items();
    int stops = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        m_loader.SetThumbnailStart(items[(i * 7) % items.size()]);
        if (i % 3 == 0)
            m_loader.PauseThumbnails();
        if (i % 5 == 0) {
            m_loader.Sort();  // stops the threads and starts them again
            ++stops;
        }
        m_loader.ResumeThumbnails();
    }
    ASSERT_TRUE(WaitThumbnails());
    for (ImageItem* item : Items())
        EXPECT_NE(m_loader.ThumbnailOf(item), nullptr) << item->name;
    // Only an item cut short by a stop is handed out again, after the restart.
    for (const auto& [item, count] : Counts())
        EXPECT_LE(count, 1 + stops) << item->name;
    EXPECT_EQ(Counts().size(), items.size());
}

TEST_F(ThumbnailPoolTest, AfterAScrollTheWalkGoesOnWhereThePaneLooks)
{
    MakeFolder(12, 320, 240);
    ASSERT_TRUE(Open());
    const std::vector<ImageItem*> items = Items();
    const size_t n = items.size();
    m_loader.StartThumbnails(kSmallThumbnailSize);
    m_loader.PauseThumbnails();
    m_loader.SetThumbnailStart(items[8]);
    m_loader.ResumeThumbnails();
    ASSERT_TRUE(WaitThumbnails());
    // Before the scroll the first k items were handed out from the top; from
    // then on the walk runs round the list from the new start, skipping them.
    const std::vector<const ImageItem*> trace = Trace();
    bool explained = false;
    for (size_t k = 0; k <= n && !explained; ++k) {
        std::vector<const ImageItem*> expected(items.begin(), items.begin() + long(k));
        for (size_t i = 0; i < n; ++i) {
            const size_t at = (8 + i) % n;
            if (at >= k)
                expected.push_back(items[at]);
        }
        explained = trace == expected;
    }
    EXPECT_TRUE(explained);
}

TEST_F(ThumbnailPoolTest, DisplayAndThumbnailsTogetherUnderStopsAndDestruction)
{
    MakeFolder(8, 800, 600);
    for (int round = 0; round < 6; ++round) {
        CThumbLoader loader;
        loader.SetThumbnailThreads(3);
        ASSERT_TRUE(loader.OpenFolder(Pidl(Dir())));
        loader.StartThumbnails(kBigThumbnailSize);
        ImageItem* item = loader.FirstItem();
        for (int step = 0; step <= round && item; ++step, item = item->next)
            loader.RequestView(ViewRequest {item, 300, 200, step % 4, false, false}, false);
        if (round % 2)
            loader.PauseThumbnails();
        if (round == 5) {
            loader.ResumeThumbnails();
            ASSERT_TRUE(loader.ThumbnailsSettledEvent().WaitFor(loadertest::kWait));
            for (ImageItem* i = loader.FirstItem(); i; i = i->next)
                EXPECT_NE(loader.ThumbnailOf(i), nullptr);
        }
    }
}

struct ThreadCountCase {
    int set;                  // SetThumbnailThreads
    const char* environment;  // LUMVANE_THUMB_THREADS, null: unset
    int expected;             // -1: one per core
};

class ThreadCountTest : public ::testing::TestWithParam<ThreadCountCase> {};

TEST_P(ThreadCountTest, SettingAndEnvironment)
{
    const ThreadCountCase c = GetParam();
    if (c.environment)
        ::setenv("LUMVANE_THUMB_THREADS", c.environment, 1);
    else
        ::unsetenv("LUMVANE_THUMB_THREADS");
    CThumbLoader loader;
    loader.SetThumbnailThreads(c.set);
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    EXPECT_EQ(loader.ThumbnailThreadCount(), c.expected < 0 ? cores : c.expected);
    ::unsetenv("LUMVANE_THUMB_THREADS");
}

INSTANTIATE_TEST_SUITE_P(Counts, ThreadCountTest,
                         ::testing::Values(ThreadCountCase {0, nullptr, -1}, ThreadCountCase {3, nullptr, 3},
                                           ThreadCountCase {5, "2", 2}, ThreadCountCase {1, "4", 1},
                                           ThreadCountCase {0, "1", 1}, ThreadCountCase {0, "0", -1},
                                           ThreadCountCase {0, "many", -1}, ThreadCountCase {0, "-3", -1},
                                           ThreadCountCase {0, "2x", -1},
                                           ThreadCountCase {1000, nullptr, 64}));

}  // namespace
