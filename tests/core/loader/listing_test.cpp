// Opening folders and single files: which entries become items, in what order.

#include <sys/stat.h>

#include "loader_fixture.h"

namespace {
using loadertest::LoaderTest;

TEST_F(LoaderTest, ListsJpegFilesOnlySorted)
{
    for (const char* name : {"c.Jpg", "A.JPG", "b.jpeg", ".g.jpg", "d.jpe", "e.jpg.bak", "h.txt"})
        WriteBytes(name, "x");
    WriteBytes("\xff\xfe.jpg", "x");  // not UTF-8
    ASSERT_EQ(::mkdir(PathOf("f.jpg").c_str(), 0755), 0);
    ASSERT_TRUE(Open());
    // The listing names an invalid byte U+FFFD; it sorts after ASCII.
    const std::vector<std::string> expected
        = {".g.jpg", "A.JPG", "b.jpeg", "c.Jpg", "\xef\xbf\xbd\xef\xbf\xbd.jpg"};
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(m_loader.ItemCount(), 5);
    EXPECT_EQ(m_loader.LastItem()->name, expected.back());
    // The path keeps the raw bytes, so the file can still be opened.
    EXPECT_EQ(m_loader.ItemPath(m_loader.LastItem()), PathOf("\xff\xfe.jpg"));
}

TEST_F(LoaderTest, FolderWithoutJpegsIsOpenAndEmpty)
{
    WriteBytes("notes.txt", "x");
    ASSERT_TRUE(Open());
    EXPECT_EQ(m_loader.ItemCount(), 0);
    EXPECT_EQ(m_loader.FirstItem(), nullptr);
    m_loader.StartThumbnails(kBigThumbnailSize);
    EXPECT_TRUE(m_loader.ThumbnailsSettledEvent().IsSet());
    m_loader.PauseThumbnails();  // no worker: nothing happens
    EXPECT_FALSE(m_loader.ThumbnailsPaused());
    m_loader.RequestView(ViewRequest {}, false);
}

TEST_F(LoaderTest, FolderThatCannotBeOpened)
{
    WriteJpeg("a.jpg");
    ASSERT_TRUE(Open());
    CShellPidl gone = Pidl(Dir());
    m_dir.remove();
    EXPECT_FALSE(m_loader.OpenFolder(gone));
    EXPECT_EQ(m_loader.ItemCount(), 0);
    EXPECT_EQ(m_loader.BoundFolder(), nullptr);
}

TEST_F(LoaderTest, SingleFileThenCompleteFolder)
{
    for (const char* name : {"b.jpg", "a.jpg", "c.jpg"})
        WriteJpeg(name);
    ASSERT_TRUE(m_loader.OpenSingleFile(Pidl(PathOf("b.jpg"))));
    ASSERT_EQ(m_loader.ItemCount(), 1);
    ImageItem* opened = m_loader.FirstItem();
    EXPECT_EQ(opened->name, "b.jpg");

    // The display worker may already decode the file while the folder completes.
    m_loader.RequestView(ViewRequest {opened, 32, 32, 0, false, false}, false);
    m_loader.StartThumbnails(32);
    EXPECT_EQ(m_loader.CompleteFolder(), opened);
    EXPECT_EQ(Names(), (std::vector<std::string> {"a.jpg", "b.jpg", "c.jpg"}));
    EXPECT_EQ(opened->previous->name, "a.jpg");
    ASSERT_TRUE(opened->displayDone.WaitFor(loadertest::kWait));
    EXPECT_NE(m_loader.DisplayImageOf(opened), nullptr);
    // Thumbnails started early go on over the whole folder.
    ASSERT_TRUE(WaitThumbnails());
    for (ImageItem* item : Items())
        EXPECT_NE(m_loader.ThumbnailOf(item), nullptr) << item->name;
}

TEST_F(LoaderTest, SingleFileNeedsAParent)
{
    CShellPidl desktop;
    desktop.SetEmpty();
    EXPECT_FALSE(m_loader.OpenSingleFile(desktop));
    EXPECT_FALSE(m_loader.OpenSingleFile(CShellPidl()));
    EXPECT_EQ(m_loader.ItemCount(), 0);
}

TEST_F(LoaderTest, NameThatIsNotUtf8IsShownReplacedAndOpenedByItsBytes)
{
    const std::string raw = "\xff\xfe.jpg";
    const std::string shown = "\xef\xbf\xbd\xef\xbf\xbd.jpg";
    WriteJpeg(raw);
    WriteJpeg("b.jpg");
    // Opened alone, then with its folder, then renamed: always one item with
    // a name that can be shown, and the file found by its own bytes.
    ASSERT_TRUE(m_loader.OpenSingleFile(Pidl(PathOf(raw))));
    ImageItem* item = m_loader.FirstItem();
    EXPECT_EQ(item->name, shown);
    EXPECT_EQ(m_loader.ItemPath(item), PathOf(raw));
    EXPECT_EQ(m_loader.CompleteFolder(), item);
    EXPECT_EQ(Names(), (std::vector<std::string> {"b.jpg", shown}));
    const std::string renamed = "\xe9t\xe9.jpg";
    ASSERT_TRUE(m_loader.RenameItem(item, renamed));
    EXPECT_EQ(item->name, "\xef\xbf\xbdt\xef\xbf\xbd.jpg");
    EXPECT_EQ(m_loader.ItemPath(item), PathOf(renamed));
    m_loader.RequestView(ViewRequest {item, 16, 16, 0, false, false}, false);
    ASSERT_TRUE(item->displayDone.WaitFor(loadertest::kWait));
    EXPECT_NE(m_loader.DisplayImageOf(item), nullptr);
}

}  // namespace
