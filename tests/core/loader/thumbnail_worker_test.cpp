// The thumbnail worker: every item gets its thumbnail or fails once; pause,
// resume, restart and stop at any moment.

#include <sys/stat.h>
#include <unistd.h>

#include "decode/image_bitmap.h"
#include "loader_fixture.h"

namespace {
using loadertest::LoaderTest;

class ThumbnailTest : public LoaderTest {
protected:
    void MakeFolder(int count, int width = 64, int height = 48)
    {
        for (int i = 0; i < count; ++i)
            WriteJpeg("img" + std::to_string(100 + i) + ".jpg", width, height, uint32_t(i + 1));
    }
    int CountReady()
    {
        int n = 0;
        for (ImageItem* item : Items())
            n += m_loader.ThumbnailOf(item) != nullptr;
        return n;
    }
};

TEST_F(ThumbnailTest, EveryItemMadeOrFailedOnce)
{
    MakeFolder(6);
    WriteJpeg("tall.jpg", 48, 64, 9);
    WriteJpeg("thin.jpg", 16, 8000, 10);  // a sliver: one pixel across
    WriteBytes("text.jpg", "just text");
    WriteBytes("empty.jpg", "");
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(40);
    ASSERT_TRUE(WaitThumbnails());
    for (ImageItem* item : Items()) {
        const bool broken = item->name == "text.jpg" || item->name == "empty.jpg";
        CImageBitmap* thumb = m_loader.ThumbnailOf(item);
        EXPECT_EQ(thumb == nullptr, broken) << item->name;
        EXPECT_EQ(item->thumbnailFailed.load(), broken) << item->name;
        if (!thumb)
            continue;
        // The longer side takes the size, the shorter keeps the proportion.
        const int across = item->name == "thin.jpg" ? 1 : item->name == "tall.jpg" ? 30 : 40;
        EXPECT_EQ(thumb->Width(), across) << item->name;
        EXPECT_EQ(thumb->Height(), across == 40 ? 30 : 40) << item->name;
    }
    // Started again, every thumbnail is made again at the new size.
    m_loader.StartThumbnails(kSmallThumbnailSize);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(CountReady(), 8);
    EXPECT_EQ(m_loader.ThumbnailOf(Item("img100.jpg"))->Width(), kSmallThumbnailSize);
}

TEST_F(ThumbnailTest, FollowsTheStartItem)
{
    MakeFolder(12);
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(32);
    // The pane scrolls about while the worker runs.
    const std::vector<ImageItem*> items = Items();
    for (size_t i = 0; i < items.size(); ++i) {
        m_loader.SetThumbnailStart(items[(i * 5) % items.size()]);
        if (i % 4 == 0)
            m_loader.Sort();  // relinks while the worker runs
    }
    m_loader.SetThumbnailStart(nullptr);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(CountReady(), 12);
}

TEST_F(ThumbnailTest, PauseAndResumeWhileDecoding)
{
    MakeFolder(8, 800, 600);
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(kBigThumbnailSize);
    m_loader.PauseThumbnails();
    EXPECT_TRUE(m_loader.ThumbnailsPaused());
    m_loader.PauseThumbnails();  // already paused: nothing changes
    m_loader.ResumeThumbnails();
    EXPECT_FALSE(m_loader.ThumbnailsPaused());
    m_loader.PauseThumbnails();
    // Starting again stops the paused worker first: it must be let go.
    m_loader.StartThumbnails(kBigThumbnailSize);
    EXPECT_FALSE(m_loader.ThumbnailsPaused());
    m_loader.PauseThumbnails();
    // The display worker goes on while thumbnails are paused.
    m_loader.RequestView(ViewRequest {Item("img103.jpg"), 64, 64, 0, false, false}, false);
    ASSERT_TRUE(WaitSlots());
    m_loader.ResumeThumbnails();
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(CountReady(), 8);
}

TEST_F(ThumbnailTest, PauseSurvivesARestartByAFileOperation)
{
    MakeFolder(4, 320, 240);
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(kSmallThumbnailSize);
    m_loader.PauseThumbnails();
    ASSERT_TRUE(m_loader.RenameItem(Item("img101.jpg"), "renamed.jpg"));
    EXPECT_TRUE(m_loader.ThumbnailsPaused());
    m_loader.ResumeThumbnails();
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(CountReady(), 4);
}

TEST_F(ThumbnailTest, DestroyWhileBusyOrPaused)
{
    MakeFolder(6, 800, 600);
    for (int round = 0; round < 6; ++round) {
        CThumbLoader loader;
        ASSERT_TRUE(loader.OpenFolder(Pidl(Dir())));
        loader.StartThumbnails(kBigThumbnailSize);
        if (round % 2)
            loader.PauseThumbnails();
        if (round % 3 == 0)
            loader.RequestView(ViewRequest {loader.FirstItem(), 0, 0, 0, false, false}, false);
    }
}

TEST_F(ThumbnailTest, PipeWithAJpegNameNeitherBlocksNorStopsTheWorkers)
{
    // Opening a pipe for reading waits for a writer: a worker that tried
    // would never see its stop event.
    MakeFolder(2);
    ASSERT_EQ(::mkfifo(PathOf("pipe.jpg").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("pipe.jpg", PathOf("link.jpg").c_str()), 0);
    ASSERT_TRUE(Open());
    ASSERT_EQ(m_loader.ItemCount(), 4);
    m_loader.StartThumbnails(32);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_EQ(CountReady(), 2);
    EXPECT_TRUE(Item("pipe.jpg")->thumbnailFailed);
    EXPECT_TRUE(Item("link.jpg")->thumbnailFailed);
    for (const char* name : {"pipe.jpg", "link.jpg"}) {
        m_loader.RequestView(ViewRequest {Item(name), 32, 32, 0, false, false}, false);
        ASSERT_TRUE(WaitSlots()) << name;
        EXPECT_EQ(m_loader.DisplayImageOf(Item(name)), nullptr) << name;
    }
}

// A progressive file cut inside its first AC scan and extended by a hole to
// 1 TiB: its reading never ends. Stopping both workers while they decode it
// returns promptly; before, the stop waited for the reading to end.
TEST_F(ThumbnailTest, StopWhileDecodingAFileThatNeverEnds)
{
    jpegwriter::EncodeOptions options;
    options.progressive = true;
    std::vector<uint8_t> jpeg = jpegwriter::Encode(jpegwriter::MakePhotoLike(640, 480), options);
    std::vector<size_t> scans;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            scans.push_back(i);
    ASSERT_GE(scans.size(), 3u);
    jpeg.resize((scans[1] + scans[2]) / 2);
    ASSERT_TRUE(jpegwriter::WriteFile(PathOf("never.jpg"), jpeg));
    ASSERT_EQ(::truncate(PathOf("never.jpg").c_str(), int64_t(1) << 40), 0);
    ASSERT_TRUE(Open());
    CEvent handedOut;
    m_loader.SetThumbnailTrace([&handedOut](const ImageItem*) { handedOut.Set(); });
    m_loader.StartThumbnails(kSmallThumbnailSize);
    m_loader.RequestView(ViewRequest {m_loader.FirstItem(), 320, 240, 0, false, false}, false);
    ASSERT_TRUE(handedOut.WaitFor(loadertest::kWait));
    m_loader.SetOptions(false, false, false);  // stops both workers
}

}  // namespace
