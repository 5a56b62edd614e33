// The icon cache: one slot per distinct icon, valid in both sizes.

#include "common/shell_icon_cache.h"
#include "tests/core/browse/browse_test_util.h"

#include <QApplication>
#include <QIcon>
#include <gtest/gtest.h>

using namespace browsetest;

namespace {

TEST(ShellIconCache, SlotsAreSharedPerIconAndValidInBothLists)
{
    TempDir temp;
    const std::string dir = PathOf(temp);
    ASSERT_TRUE(MakeFile(dir + "/a.jpg"));
    ASSERT_TRUE(MakeFile(dir + "/b.jpg"));
    ASSERT_TRUE(MakeFile(dir + "/c\xff.jpeg"));
    ASSERT_TRUE(MakeFile(dir + "/notes.txt"));
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("nowhere.jpg", (dir + "/dangling.jpg").c_str()), 0);

    CShellIconCache cache;
    ASSERT_TRUE(cache.Init());
    EXPECT_EQ(cache.Count(), 2);
    CShellPidl folderList;
    ASSERT_TRUE(folderList.ParseName(dir));
    auto folder = folderList.BindFolder();
    ASSERT_TRUE(folder);
    const auto index = [&](const char* name, bool open) {
        return cache.GetIconIndex(*folder, CShellPidl::MakeItem(kItemEntry, name), open);
    };

    const int jpeg = index("a.jpg", false);
    EXPECT_GE(jpeg, 2);
    EXPECT_EQ(index("b.jpg", false), jpeg) << "files of one type share a slot";
    EXPECT_EQ(index("c\xff.jpeg", false), jpeg);
    EXPECT_NE(index("notes.txt", false), jpeg);
    const int closed = index("sub", false);
    const int open = index("sub", true);
    EXPECT_NE(closed, open) << "the open folder has its own slot";
    EXPECT_EQ(index("sub", true), open);
    EXPECT_EQ(index("dangling.jpg", false), 0) << "a link to nothing gets the document icon";
    EXPECT_EQ(index("missing.jpg", false), 0);

    ASSERT_EQ(cache.SmallImages().size(), static_cast<size_t>(cache.Count()));
    ASSERT_EQ(cache.LargeImages().size(), static_cast<size_t>(cache.Count()));
    for (int i = 0; i < cache.Count(); ++i) {
        EXPECT_FALSE(cache.SmallImages()[static_cast<size_t>(i)].isNull());
        EXPECT_FALSE(cache.Icon(i).isNull());
    }
    EXPECT_FALSE(cache.Icon(cache.Count() + 5).isNull()) << "out of range falls back to slot 0";
}

TEST(ShellIconCache, DesktopItemsHaveTheirOwnIcons)
{
    CShellPidl desktop;
    desktop.SetEmpty();
    auto folder = desktop.BindFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(CShellIconCache::IconNameOf(*folder, CShellPidl::MakeItem(kItemComputer, "Computer"), false),
              QStringLiteral("computer"));
    EXPECT_EQ(CShellIconCache::IconNameOf(*folder, CShellPidl::MakeItem(kItemHome, "Home"), false),
              QStringLiteral("user-home"));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
