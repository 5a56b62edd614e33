// A folder that other programs change, on a real file system: the watcher
// reports bursts in a few coalesced batches naming the rewritten files, and
// the loader takes in what is new, gone and rewritten while the other items
// keep their thumbnails and decoded images.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "tests/core/loader/loader_fixture.h"
#include "browse/folder_watcher.h"
#include "loader/folder_relisting.h"
#include "loader/image_item.h"

using namespace loadertest;

namespace {

// What one folder's change in a batch held, and the batch's number.
struct Batch {
    std::string folder;
    int batch;
    std::set<std::string> named;
    std::set<std::string> rewritten;
    bool overflowed;
};

// Runs the event loop until `done` holds; false when it never did.
bool RunUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(kWait);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

class FolderWatcherTest : public LoaderTest {
protected:
    void Watch()
    {
        ASSERT_TRUE(m_watcher.Watch(Dir()));
        QObject::connect(&m_watcher, &CFolderWatcher::Changed, [this](const FolderBatch& batch) {
            ++m_reports;
            for (const auto& [folder, change] : batch)
                m_batches.push_back({folder, m_reports, change.named, change.rewritten, change.overflowed});
        });
    }

    int m_argc = 1;
    char m_name[8] = "watcher";
    char* m_argv[1] = {m_name};
    QCoreApplication m_app {m_argc, m_argv};
    CFolderWatcher m_watcher;
    std::vector<Batch> m_batches;
    int m_reports = 0;
};

}  // namespace

TEST_F(FolderWatcherTest, BurstIsCoalescedIntoFewBatches)
{
    Watch();
    // A camera import: two thousand files written one after another.
    constexpr int kFiles = 2000;
    const auto started = std::chrono::steady_clock::now();
    const std::vector<uint8_t> bytes = MakeJpeg(16, 16, 1);
    for (int i = 0; i < kFiles; ++i) {
        jpegwriter::WriteFile(PathOf("IMG_" + std::to_string(i) + ".jpg"), bytes);
        if (i % 100 == 0)
            QCoreApplication::processEvents();
    }
    const auto burst = std::chrono::steady_clock::now() - started;
    // Every file is named once all batches are in.
    std::set<std::string> seen;
    ASSERT_TRUE(RunUntil([&] {
        for (const Batch& b : m_batches)
            seen.insert(b.rewritten.begin(), b.rewritten.end());
        return int(seen.size()) == kFiles
            || std::any_of(m_batches.begin(), m_batches.end(), [](const Batch& b) { return b.overflowed; });
    }));
    // One batch per wait at most, and the wait is not stretched by the stream.
    const auto waits
        = std::chrono::duration_cast<std::chrono::milliseconds>(burst).count() / CFolderWatcher::kBatchMs;
    EXPECT_LE(int(m_batches.size()), int(waits) + 2);
    EXPECT_GE(m_batches.size(), 1u);
}

TEST_F(FolderWatcherTest, RewrittenFilesAreNamedCreatedAndDeletedOnesAreNot)
{
    WriteJpeg("kept.jpg");
    WriteJpeg("gone.jpg");
    Watch();
    // Rewritten in place (truncated and written), and by a save that moves
    // a new file over the old name.
    WriteJpeg("kept.jpg", 32, 32, 2);
    WriteJpeg("new.tmp", 20, 20, 3);
    std::filesystem::rename(PathOf("new.tmp"), PathOf("gone.jpg"));
    ASSERT_TRUE(RunUntil([&] { return !m_batches.empty(); }));
    EXPECT_TRUE(m_batches[0].rewritten.count("kept.jpg"));
    EXPECT_TRUE(m_batches[0].rewritten.count("gone.jpg"));

    EXPECT_EQ(m_batches[0].named, (std::set<std::string> {"gone.jpg", "kept.jpg", "new.tmp"}));

    m_batches.clear();
    std::filesystem::remove(PathOf("gone.jpg"));
    ASSERT_TRUE(RunUntil([&] { return !m_batches.empty(); }));
    EXPECT_TRUE(m_batches[0].rewritten.empty());
    EXPECT_EQ(m_batches[0].named, std::set<std::string> {"gone.jpg"});

    EXPECT_FALSE(m_watcher.Watch(PathOf("no such folder")));
    EXPECT_TRUE(m_watcher.Path().empty());
    EXPECT_TRUE(m_watcher.Watch(""));
}

// Several folders in one watcher: a batch names each under its folder; a
// folder removed is no longer reported; a postponed batch comes back; a
// folder deleted is reported, and watched anew once it is back.
TEST_F(FolderWatcherTest, FoldersAreReportedByTheirPath)
{
    const std::string a = PathOf("a"), b = PathOf("b");
    ASSERT_TRUE(std::filesystem::create_directory(a) && std::filesystem::create_directory(b));
    Watch();
    ASSERT_TRUE(m_watcher.Add(a) && m_watcher.Add(b) && m_watcher.Add(b));
    const auto reported = [&](const std::string& folder, const std::string& name) {
        return std::any_of(m_batches.begin(), m_batches.end(),
                           [&](const Batch& x) { return x.folder == folder && x.named.count(name); });
    };
    WriteBytes("a/x", "x");
    WriteBytes("b/y", "y");
    ASSERT_TRUE(RunUntil([&] { return reported(a, "x") && reported(b, "y"); }));
    EXPECT_EQ(m_reports, 1);
    m_watcher.Remove(b);
    WriteBytes("b/z", "z");
    WriteBytes("a/w", "w");
    ASSERT_TRUE(RunUntil([&] { return reported(a, "w"); }));
    EXPECT_FALSE(reported(b, "z"));
    m_watcher.Postpone({{b, {{"p"}, {}, false}}});
    ASSERT_TRUE(RunUntil([&] { return reported(b, "p"); }));
    m_batches.clear();
    std::filesystem::remove_all(a);
    ASSERT_TRUE(RunUntil([&] { return reported(Dir(), "a") && reported(a, "x"); }));
    ASSERT_TRUE(std::filesystem::create_directory(a) && m_watcher.Add(a));
    WriteBytes("a/n", "n");
    ASSERT_TRUE(RunUntil([&] { return reported(a, "n"); }));
}

TEST_F(LoaderTest, FolderChangesKeepWhatStays)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        WriteJpeg(name);
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(kSmallThumbnailSize);
    ASSERT_TRUE(WaitThumbnails());
    ImageItem* a = Item("a.jpg");
    ImageItem* c = Item("c.jpg");
    ViewRequest request;
    request.item = a;
    m_loader.RequestView(request, false);
    ASSERT_TRUE(WaitSlots());
    ASSERT_TRUE(m_loader.DisplayImageOf(a));

    FolderChanges none;
    ASSERT_TRUE(m_loader.CheckFolder({}, &none));
    EXPECT_TRUE(none.Empty());

    // b is deleted, c rewritten, e and a file of another kind created: the
    // named files alone are looked at, the folder is not listed again.
    std::filesystem::remove(PathOf("b.jpg"));
    WriteJpeg("c.jpg", 30, 20, 7);
    WriteJpeg("e.jpg");
    WriteBytes("notes.txt", "not a photo");
    const int listings = m_loader.Listings();
    FolderChanges changes;
    m_loader.CheckNames({"b.jpg", "c.jpg", "e.jpg", "notes.txt", "x.jpg"}, {"c.jpg", "notes.txt"}, &changes);
    EXPECT_EQ(m_loader.Listings(), listings);
    EXPECT_EQ(changes.removed.size(), 2u);
    ASSERT_EQ(changes.added.size(), 2u);
    ASSERT_EQ(changes.replaced.size(), 1u);
    EXPECT_EQ(changes.replaced[0].first, c);
    EXPECT_EQ(changes.Successor(a), a);
    EXPECT_EQ(changes.Successor(Item("b.jpg")), nullptr);
    ImageItem* newC = changes.Successor(c);
    ASSERT_NE(newC, c);

    m_loader.ApplyFolderChanges(changes);
    EXPECT_EQ(Names(), (std::vector<std::string> {"a.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    EXPECT_EQ(Item("c.jpg"), newC);
    // The unchanged item keeps its picture and thumbnail; the new ones get theirs.
    EXPECT_TRUE(m_loader.DisplayImageOf(a));
    EXPECT_TRUE(m_loader.ThumbnailOf(a));
    ASSERT_TRUE(WaitThumbnails());
    for (ImageItem* item : Items())
        EXPECT_TRUE(m_loader.ThumbnailOf(item)) << item->name;
    EXPECT_EQ(m_loader.ThumbnailOf(newC)->Height(), 53);  // the new picture: 30 x 20, not 64 x 48

    // A file gone alone: the items after it take the places up.
    std::filesystem::remove(PathOf("c.jpg"));
    m_loader.CheckNames({"c.jpg"}, {}, &changes);
    m_loader.ApplyFolderChanges(changes);
    EXPECT_EQ(Names(), (std::vector<std::string> {"a.jpg", "d.jpg", "e.jpg"}));
    for (size_t i = 0; i < Items().size(); ++i)
        EXPECT_EQ(Items()[i]->index, static_cast<int>(i));
}

TEST_F(LoaderTest, OddNamesAreFollowedByTheirBytes)
{
    // Not UTF-8, a newline, a leading dash, 255 bytes.
    const std::string odd = "caf\xe9\nphoto.jpg", dash = "-x.jpg", longest = std::string(251, 'n') + ".jpg";
    for (const std::string& name : {odd, dash, longest})
        WriteJpeg(name);
    ASSERT_TRUE(Open());
    ImageItem* item = m_loader.FirstItem();
    ASSERT_EQ(m_loader.ItemCount(), 3);
    for (const std::string& name : {odd, dash, longest})
        WriteJpeg(name, 20, 30, 5);
    FolderChanges changes;
    ASSERT_TRUE(m_loader.CheckFolder({odd, dash, longest}, &changes));
    EXPECT_EQ(changes.replaced.size(), 3u);
    EXPECT_NE(changes.Successor(item), item);
    m_loader.ApplyFolderChanges(changes);
    EXPECT_EQ(m_loader.ItemCount(), 3);
    for (const std::string& name : {odd, dash, longest})
        std::filesystem::remove(PathOf(name));
    ASSERT_TRUE(m_loader.CheckFolder({}, &changes));
    EXPECT_EQ(changes.removed.size(), 3u);
    m_loader.ApplyFolderChanges(changes);
    EXPECT_EQ(m_loader.FirstItem(), nullptr);
}

// After an overflow nothing is named: the folder is listed whole, off the
// window thread, and every file is compared by its size and time, so a
// photo rewritten in place gets a new item even when its size stayed.
TEST_F(LoaderTest, OverflowComparesEveryFile)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        WriteJpeg(name);
    ASSERT_TRUE(Open());
    ImageItem* a = Item("a.jpg");
    ImageItem* b = Item("b.jpg");
    WriteJpeg("a.jpg", 30, 20, 7);
    const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, PathOf("b.jpg").c_str(), times, 0), 0);
    WriteJpeg("d.jpg");
    CFolderRelisting relisting;
    relisting.Start(Dir());
    for (QDeadlineTimer deadline(kWait); !relisting.Done() && !deadline.hasExpired();)
        std::this_thread::yield();
    std::vector<FileEntry> files;
    ASSERT_TRUE(relisting.Take(&files));
    FolderChanges changes;
    m_loader.CompareListing(files, {}, &changes);
    EXPECT_NE(changes.Successor(a), a);
    EXPECT_NE(changes.Successor(b), b);
    EXPECT_EQ(changes.Successor(Item("c.jpg")), Item("c.jpg"));
    m_loader.ApplyFolderChanges(changes);
    EXPECT_EQ(Names(), (std::vector<std::string> {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    ASSERT_TRUE(m_loader.CheckFolder({}, &changes));
    EXPECT_TRUE(changes.Empty());
}
