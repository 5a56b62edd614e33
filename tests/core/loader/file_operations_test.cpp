// Rename, trash, drag out and folder rename through the loader: the user's
// files are never lost, the list follows what really happened on disk.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "decode/image_bitmap.h"
#include "loader_fixture.h"

namespace {
using loadertest::LoaderTest;

bool Exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

class FileOperationsTest : public LoaderTest {
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        // The trash goes to a folder of the test's own, on the same file system.
        ASSERT_TRUE(m_data.isValid());
        const char* old = std::getenv("XDG_DATA_HOME");
        m_oldDataHome = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("XDG_DATA_HOME", m_data.path().toUtf8().constData(), 1);
    }
    void TearDown() override
    {
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    std::string TrashFiles() const { return m_data.path().toStdString() + "/Trash/files/"; }

    QTemporaryDir m_data;
    std::optional<std::string> m_oldDataHome;
};

TEST_F(FileOperationsTest, RenameItemResortsAndKeepsImages)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        WriteJpeg(name);
    ASSERT_TRUE(Open());
    m_loader.RequestView(ViewRequest {Item("a.jpg"), 32, 32, 0, false, false}, false);
    ASSERT_TRUE(WaitSlots());
    ImageItem* item = Item("a.jpg");
    ASSERT_TRUE(m_loader.RenameItem(item, "z.JPEG"));
    EXPECT_EQ(Names(), (std::vector<std::string> {"b.jpg", "c.jpg", "z.JPEG"}));
    EXPECT_TRUE(Exists(PathOf("z.JPEG")));
    EXPECT_FALSE(Exists(PathOf("a.jpg")));
    EXPECT_EQ(m_loader.ItemPath(item), PathOf("z.JPEG"));
    EXPECT_NE(m_loader.DisplayImageOf(item), nullptr);
    EXPECT_TRUE(m_host.renameQuestions.empty());

    // A name that is taken is refused; nothing is replaced.
    EXPECT_FALSE(m_loader.RenameItem(item, "b.jpg"));
    EXPECT_EQ(m_host.renameFailures, std::vector<std::string> {"b.jpg"});
    EXPECT_TRUE(Exists(PathOf("z.JPEG")));
    EXPECT_EQ(item->name, "z.JPEG");
    for (const char* bad : {"a/b.jpg", "..", ""})
        EXPECT_FALSE(m_loader.RenameItem(item, bad)) << bad;
    EXPECT_EQ(Names(), (std::vector<std::string> {"b.jpg", "c.jpg", "z.JPEG"}));
}

TEST_F(FileOperationsTest, RenameToAnotherExtensionAsksFirst)
{
    WriteJpeg("x.jpg");
    ASSERT_TRUE(Open());
    m_loader.RequestView(ViewRequest {Item("x.jpg"), 32, 32, 0, false, false}, false);
    ASSERT_TRUE(WaitSlots());
    ImageItem* item = Item("x.jpg");
    m_host.answerRename = false;
    EXPECT_FALSE(m_loader.RenameItem(item, "x.png"));
    EXPECT_EQ(m_host.renameQuestions, std::vector<std::string> {"x.png"});
    EXPECT_TRUE(Exists(PathOf("x.jpg")));
    // No: the workers were not even stopped, the decoded image stays.
    EXPECT_NE(m_loader.DisplayImageOf(item), nullptr);

    m_host.answerRename = true;
    EXPECT_TRUE(m_loader.RenameItem(item, "x.png"));
    EXPECT_TRUE(Exists(PathOf("x.png")));
    EXPECT_EQ(item->name, "x.png");
}

TEST_F(FileOperationsTest, TrashAwkwardNames)
{
    const std::vector<std::string> names = {
        std::string(200, 'l') + ".jpg", "\xff\xfe not utf8.jpg", "new\nline.jpg", "-rf.jpg", "keep.jpg",
    };
    for (size_t i = 0; i < names.size(); ++i)
        WriteJpeg(names[i], 64, 48, uint32_t(i + 1));
    ASSERT_TRUE(Open());
    m_loader.StartThumbnails(32);
    m_loader.RequestView(ViewRequest {m_loader.FirstItem(), 32, 32, 0, false, false}, false);
    std::vector<ImageItem*> doomed;
    for (ImageItem* item : Items())
        if (m_loader.ItemPath(item) != PathOf("keep.jpg"))
            doomed.push_back(item);
    ASSERT_EQ(doomed.size(), 4u);

    // Refused by the user: nothing happens.
    m_host.answerTrash = false;
    EXPECT_FALSE(m_loader.DeleteItems(doomed));
    EXPECT_EQ(m_loader.ItemCount(), 5);
    ASSERT_EQ(m_host.trashConfirmations.size(), 1u);
    EXPECT_EQ(m_host.trashConfirmations[0].size(), 4u);

    m_host.answerTrash = true;
    EXPECT_TRUE(m_loader.DeleteItems(doomed));
    EXPECT_TRUE(m_host.trashFailures.empty());
    EXPECT_EQ(Names(), std::vector<std::string> {"keep.jpg"});
    for (const std::string& name : names) {
        if (name == "keep.jpg")
            continue;
        EXPECT_FALSE(Exists(PathOf(name))) << name;
        EXPECT_TRUE(Exists(TrashFiles() + name)) << name;
    }
    EXPECT_TRUE(Exists(PathOf("keep.jpg")));
    // The workers go on with what is left.
    ASSERT_TRUE(WaitThumbnails());
    m_loader.RequestView(ViewRequest {m_loader.FirstItem(), 32, 32, 0, false, false}, true);
    ASSERT_TRUE(WaitSlots());
    EXPECT_NE(m_loader.DisplayImageOf(m_loader.FirstItem()), nullptr);

    // The last item goes too: the list is empty and the workers idle.
    EXPECT_TRUE(m_loader.DeleteItems({m_loader.FirstItem()}));
    EXPECT_EQ(m_loader.ItemCount(), 0);
    EXPECT_EQ(m_loader.FirstItem(), nullptr);
    m_loader.StartThumbnails(32);
    EXPECT_TRUE(WaitThumbnails());
}

TEST_F(FileOperationsTest, FileThatCannotBeTrashedStays)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        WriteJpeg(name);
    ASSERT_TRUE(Open());
    // b vanished behind our back; a, a duplicate pointer and c go normally.
    ASSERT_EQ(::unlink(PathOf("b.jpg").c_str()), 0);
    EXPECT_TRUE(m_loader.DeleteItems({Item("a.jpg"), Item("b.jpg"), Item("a.jpg"), Item("c.jpg")}));
    EXPECT_EQ(m_host.trashFailures, (std::vector<std::string> {PathOf("b.jpg")}));
    EXPECT_EQ(Names(), std::vector<std::string> {"b.jpg"});
}

TEST_F(FileOperationsTest, WorkersStartedDuringTheDialogsNeverSeeAFreedItem)
{
    // While a dialog is up, the window's timers may ask for the view and for
    // thumbnails again, starting the workers on items that are about to
    // leave the list or lose their slot.
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        WriteJpeg(name, 1600, 1200, 3);
    ASSERT_TRUE(Open());
    ImageItem* shown = nullptr;
    bool onReport = false;
    m_host.onDialog = [&] {
        if (onReport && m_host.trashFailures.empty())
            return;
        m_loader.RequestView(ViewRequest {shown, 0, 0, 0, false, false}, false);
        m_loader.StartThumbnails(kBigThumbnailSize);
        // The dialog stays up until the display worker is at work.
        EXPECT_TRUE(shown->displayReady.WaitFor(loadertest::kWait));
    };
    // The confirmation: the item shown is trashed.
    shown = Item("a.jpg");
    EXPECT_TRUE(m_loader.DeleteItems({Item("a.jpg"), Item("b.jpg")}));
    EXPECT_EQ(Names(), (std::vector<std::string> {"c.jpg", "d.jpg", "e.jpg"}));
    // The failure report, after e went: the item shown stays.
    ASSERT_EQ(::unlink(PathOf("c.jpg").c_str()), 0);
    shown = Item("d.jpg");
    onReport = true;
    EXPECT_TRUE(m_loader.DeleteItems({Item("e.jpg"), Item("c.jpg")}));
    EXPECT_EQ(m_host.trashFailures, std::vector<std::string> {PathOf("c.jpg")});
    EXPECT_EQ(Names(), (std::vector<std::string> {"c.jpg", "d.jpg"}));
    EXPECT_EQ(m_loader.CurrentSlot().item, nullptr);
    ASSERT_TRUE(WaitThumbnails());
    EXPECT_NE(m_loader.ThumbnailOf(Item("d.jpg")), nullptr);
}

TEST_F(FileOperationsTest, ReadOnlyFolderKeepsItsFiles)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser may write anywhere";
    WriteJpeg("a.jpg");
    ASSERT_TRUE(Open());
    ASSERT_EQ(::chmod(Dir().c_str(), 0555), 0);
    EXPECT_FALSE(m_loader.DeleteItems({Item("a.jpg")}));
    EXPECT_FALSE(m_loader.RenameItem(Item("a.jpg"), "b.jpg"));
    ::chmod(Dir().c_str(), 0755);
    EXPECT_EQ(m_host.trashFailures, std::vector<std::string> {PathOf("a.jpg")});
    EXPECT_EQ(Names(), std::vector<std::string> {"a.jpg"});
    EXPECT_TRUE(Exists(PathOf("a.jpg")));
}

TEST_F(FileOperationsTest, DragOutRemovesOnlyWhatReallyMoved)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        WriteJpeg(name);
    ASSERT_TRUE(Open());
    QTemporaryDir elsewhere;
    // A copy, or a move that did not happen, changes nothing.
    m_host.dragResult = ILoaderHost::DragResult::Copied;
    EXPECT_FALSE(m_loader.DragItemsOut({Item("a.jpg")}));
    m_host.dragResult = ILoaderHost::DragResult::Moved;
    EXPECT_FALSE(m_loader.DragItemsOut({Item("a.jpg")}));
    EXPECT_EQ(m_loader.ItemCount(), 3);

    // The drop target moves a; it claims b too but b stays.
    m_host.onDrag = [&](const std::vector<std::string>& paths) {
        ASSERT_EQ(paths.size(), 2u);
        std::filesystem::rename(paths[0], elsewhere.path().toStdString() + "/a.jpg");
    };
    EXPECT_TRUE(m_loader.DragItemsOut({Item("a.jpg"), Item("b.jpg")}));
    EXPECT_EQ(Names(), (std::vector<std::string> {"b.jpg", "c.jpg"}));
    EXPECT_TRUE(Exists(PathOf("b.jpg")));

    // A target that moved b but stopped before c reports no move: b still
    // leaves the list, c stays.
    m_host.dragResult = ILoaderHost::DragResult::None;
    m_host.onDrag = [&](const std::vector<std::string>& paths) {
        ASSERT_EQ(paths.size(), 2u);
        std::filesystem::rename(paths[0], elsewhere.path().toStdString() + "/b.jpg");
    };
    EXPECT_TRUE(m_loader.DragItemsOut({Item("b.jpg"), Item("c.jpg")}));
    EXPECT_EQ(Names(), std::vector<std::string> {"c.jpg"});
}

TEST_F(FileOperationsTest, RenameCurrentFolderFollowsIt)
{
    QTemporaryDir parent;
    const std::string before = parent.path().toStdString() + "/before";
    ASSERT_EQ(::mkdir(before.c_str(), 0755), 0);
    ASSERT_TRUE(jpegwriter::WriteFile(before + "/a.jpg", loadertest::MakeJpeg(64, 48, 1)));
    ASSERT_TRUE(jpegwriter::WriteFile(before + "/b.jpg", loadertest::MakeJpeg(64, 48, 2)));
    const CShellPidl folder = Pidl(before);
    ASSERT_TRUE(m_loader.OpenFolder(folder));
    m_loader.StartThumbnails(32);
    CShellPidl relative;
    ASSERT_TRUE(m_loader.RenameCurrentFolder(folder, "after", &relative));
    EXPECT_EQ(GetDisplayName(m_loader.Folder(), NameKind::ForParsing),
              parent.path().toStdString() + "/after");
    EXPECT_EQ(m_loader.ItemPath(m_loader.FirstItem()), parent.path().toStdString() + "/after/a.jpg");
    ASSERT_TRUE(WaitThumbnails());
    m_loader.RequestView(ViewRequest {m_loader.FirstItem(), 32, 32, 0, false, false}, false);
    ASSERT_TRUE(WaitSlots());
    EXPECT_NE(m_loader.DisplayImageOf(m_loader.FirstItem()), nullptr);
    EXPECT_NE(m_loader.ThumbnailOf(m_loader.LastItem()), nullptr);
}

}  // namespace
