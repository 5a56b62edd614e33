// Moving files and folders to a temporary home trash.

#include "files/file_trash.h"
#include "tests/core/browse/browse_test_util.h"
#include "tests/core/files/transfer_test_util.h"

#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <set>
#include <sys/ioctl.h>

using namespace browsetest;

namespace {

std::set<std::string> Names(const std::string& dir)
{
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        closedir(d);
    }
    return names;
}

class FileTrash : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid() && m_work.isValid());
        m_env.emplace("XDG_DATA_HOME", PathOf(m_data));
        m_trash = PathOf(m_data) + "/Trash";
        char* real = realpath(PathOf(m_work).c_str(), nullptr);
        ASSERT_TRUE(real);
        m_dir = real;
        free(real);
    }

    std::string InfoOf(const std::string& trashName)
    {
        return ReadAll(m_trash + "/info/" + trashName + ".trashinfo");
    }

    TempDir m_data;
    TempDir m_work;
    std::optional<ScopedEnv> m_env;
    std::string m_trash;
    std::string m_dir;
};

TEST_F(FileTrash, AwkwardNamesGoToTheHomeTrashWithTheirPathEncoded)
{
    EXPECT_EQ(HomeTrashDirectory(), m_trash);
    struct Case {
        const char* what;
        std::string name;
        std::string encoded;
    };
    const std::string longName = std::string(250, 'l') + ".jpg";
    const Case cases[] = {
        {"plain", "photo.jpg", "photo.jpg"},
        {"percent and spaces", "100% sure .jpg", "100%25%20sure%20.jpg"},
        {"not UTF-8", "caf\xe9.jpg", "caf%E9.jpg"},
        {"newline", "two\nlines.jpg", "two%0Alines.jpg"},
        {"leading dash", "-rf.jpg", "-rf.jpg"},
        {"UTF-8", "\xc3\xa9t\xc3\xa9.jpg", "%C3%A9t%C3%A9.jpg"},
        {"254 bytes", longName, longName},
    };
    for (const Case& c : cases) {
        const std::string path = m_dir + "/" + c.name;
        ASSERT_TRUE(MakeFile(path, c.what)) << c.what;
        std::string error;
        ASSERT_TRUE(MoveToTrash(path, &error)) << c.what << ": " << error;
        EXPECT_FALSE(Exists(path)) << c.what;
    }
    const std::set<std::string> files = Names(m_trash + "/files");
    ASSERT_EQ(files.size(), std::size(cases));
    const std::set<std::string> infos = Names(m_trash + "/info");
    for (const std::string& name : files) {
        ASSERT_TRUE(infos.count(name + ".trashinfo")) << name;
        const std::string content = ReadAll(m_trash + "/files/" + name);
        const Case* match = nullptr;
        for (const Case& c : cases)
            match = content == c.what ? &c : match;
        ASSERT_TRUE(match) << name;
        const std::string info = InfoOf(name);
        EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + m_dir + "/" + match->encoded + "\nDeletionDate=", 0), 0u)
            << info;
        EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 3) << "no raw newline leaks into the info file";
    }
}

TEST_F(FileTrash, NamesAlreadyInTheTrashGetAUniqueName)
{
    for (const char* content : {"one", "two", "three"}) {
        ASSERT_TRUE(MakeFile(m_dir + "/same.jpg", content));
        ASSERT_TRUE(MoveToTrash(m_dir + "/same.jpg"));
    }
    // A stray file without info (a crashed trasher) is not replaced either.
    ASSERT_TRUE(MakeFile(m_trash + "/files/stray.jpg", "stray"));
    ASSERT_TRUE(MakeFile(m_dir + "/stray.jpg", "mine"));
    ASSERT_TRUE(MoveToTrash(m_dir + "/stray.jpg"));
    EXPECT_EQ(ReadAll(m_trash + "/files/stray.jpg"), "stray");

    const std::set<std::string> files = Names(m_trash + "/files");
    EXPECT_EQ(files.size(), 5u);
    std::set<std::string> contents;
    for (const std::string& name : files)
        contents.insert(ReadAll(m_trash + "/files/" + name));
    EXPECT_EQ(contents, (std::set<std::string> {"one", "two", "three", "stray", "mine"}));
    EXPECT_EQ(Names(m_trash + "/info").size(), 4u);
}

TEST_F(FileTrash, FoldersGoWithTheirContents)
{
    const std::string folder = m_dir + "/album";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder + "/inner").c_str(), 0755), 0);
    ASSERT_TRUE(MakeFile(folder + "/inner/a.jpg", "a"));
    ASSERT_TRUE(MakeFile(folder + "/.hidden", "h"));
    ASSERT_TRUE(MoveToTrash(folder + "/"));
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(ReadAll(m_trash + "/files/album/inner/a.jpg"), "a");
    EXPECT_EQ(ReadAll(m_trash + "/files/album/.hidden"), "h");

    // A link is trashed itself, never its target.
    ASSERT_TRUE(MakeFile(m_dir + "/target.jpg", "t"));
    ASSERT_EQ(symlink("target.jpg", (m_dir + "/link.jpg").c_str()), 0);
    ASSERT_TRUE(MoveToTrash(m_dir + "/link.jpg"));
    EXPECT_EQ(ReadAll(m_dir + "/target.jpg"), "t");
}

TEST_F(FileTrash, FailuresKeepTheItemAndLeaveNoInfo)
{
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"missing", m_dir + "/missing.jpg"}, {"empty path", ""},
        {"dot dot", m_dir + "/.."},          {"root", "/"},
        {"the trash itself", m_trash},       {"a folder holding the trash", PathOf(m_data)},
    };
    ASSERT_TRUE(MakeFile(m_dir + "/first.jpg"));
    ASSERT_TRUE(MoveToTrash(m_dir + "/first.jpg"));  // makes the trash
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(MoveToTrash(c.path, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    EXPECT_TRUE(Exists(m_trash + "/files/first.jpg"));
    EXPECT_EQ(Names(m_trash + "/info").size(), 1u);
}

// Makes a folder whose entries cannot be moved: read-only for a user, and
// immutable for root, whom permissions do not stop.
class LockedFolder {
public:
    explicit LockedFolder(const std::string& path) : m_path(path)
    {
        if (geteuid() != 0) {
            m_locked = chmod(path.c_str(), 0555) == 0;
            return;
        }
        m_fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (m_fd >= 0 && ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_locked = ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~LockedFolder()
    {
        if (m_fd >= 0) {
            int flags = 0;
            if (ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
            }
            close(m_fd);
        } else {
            chmod(m_path.c_str(), 0755);
        }
    }
    bool locked() const { return m_locked; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_locked = false;
};

TEST_F(FileTrash, ReadOnlyFolderKeepsItsFile)
{
    ASSERT_TRUE(MakeFile(m_dir + "/stuck.jpg", "stuck"));
    {
        LockedFolder lock(m_dir);
        if (!lock.locked())
            GTEST_SKIP() << "this file system cannot lock a folder";
        std::string error;
        EXPECT_FALSE(MoveToTrash(m_dir + "/stuck.jpg", &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(ReadAll(m_dir + "/stuck.jpg"), "stuck");
    EXPECT_TRUE(Names(m_trash + "/info").empty()) << "the info file is removed again";
    EXPECT_TRUE(Names(m_trash + "/files").empty());
}

TEST_F(FileTrash, UnwritableTrashKeepsTheFile)
{
    ASSERT_TRUE(MakeFile(m_dir + "/kept.jpg", "kept"));
    ASSERT_TRUE(MakeFile(m_trash, "a file where the trash should be") || Exists(m_trash));
    std::string error;
    EXPECT_FALSE(MoveToTrash(m_dir + "/kept.jpg", &error));
    EXPECT_EQ(ReadAll(m_dir + "/kept.jpg"), "kept");
}

// Each mount has a trash: the home trash for its own, and at the top of any
// other (a bind mount too, which no rename crosses) .Trash/$uid where an
// administrator made .Trash, else .Trash-$uid. A trash entry is refused.
TEST_F(FileTrash, EachMountTrashesIntoItsOwnTrash)
{
    const std::string uid = std::to_string(getuid());
    for (const char* dir : {"/own", "/shared", "/shared/.Trash"})
        ASSERT_EQ(mkdir((m_dir + dir).c_str(), 01777), 0);
    transfertest::ScopedMount own(nullptr, 0, m_dir + "/own"), shared(nullptr, 0, m_dir + "/shared");
    if (!own.Mounted() || !shared.Mounted())
        GTEST_SKIP() << "no bind mount could be made (" << shared.Why() << ")";
    const std::string cases[][3] = {
        // the item's folder, its trash, the path recorded
        {m_dir, m_trash, m_dir + "/a.jpg"},
        {own.Path(), own.Path() + "/.Trash-" + uid, "a.jpg"},
        {shared.Path(), shared.Path() + "/.Trash/" + uid, "a.jpg"},
    };
    for (const auto& [folder, trash, recorded] : cases) {
        ASSERT_TRUE(MakeFile(folder + "/a.jpg", folder));
        std::string error;
        EXPECT_TRUE(MoveToTrash(folder + "/a.jpg", &error)) << folder << ": " << error;
        EXPECT_EQ(ReadAll(trash + "/files/a.jpg"), folder);
        EXPECT_EQ(ReadAll(trash + "/info/a.jpg.trashinfo").find("\nPath=" + recorded + "\n"), 12u) << folder;
    }
    for (const std::string& entry : {cases[1][1] + "/files/a.jpg", m_trash + "/info/a.jpg.trashinfo"}) {
        EXPECT_FALSE(MoveToTrash(entry)) << entry;
        EXPECT_TRUE(Exists(entry));
    }
}

TEST_F(FileTrash, OtherFileSystemUsesItsOwnTrashNeverACopy)
{
    struct stat home {};
    struct stat shm {};
    if (stat(PathOf(m_data).c_str(), &home) != 0 || stat("/dev/shm", &shm) != 0 || home.st_dev == shm.st_dev
        || access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second writable file system";
    TempDir other(QStringLiteral("/dev/shm/lumvane-trash-test-XXXXXX"));
    ASSERT_TRUE(other.isValid());
    const std::string file = PathOf(other) + "/away.jpg";
    ASSERT_TRUE(MakeFile(file, "away"));
    std::string error;
    ASSERT_TRUE(MoveToTrash(file, &error)) << error;
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(Exists(m_trash + "/files/away.jpg")) << "never copied to the home trash";

    const std::string topTrash = "/dev/shm/.Trash-" + std::to_string(getuid());
    std::string trashed;
    for (const std::string& name : Names(topTrash + "/files")) {
        const std::string info = ReadAll(topTrash + "/info/" + name + ".trashinfo");
        const std::string relative = PathOf(other).substr(strlen("/dev/shm/")) + "/away.jpg";
        if (info.find("\nPath=" + relative + "\n") != std::string::npos) {
            trashed = name;
            EXPECT_EQ(ReadAll(topTrash + "/files/" + name), "away");
            unlink((topTrash + "/files/" + name).c_str());
            unlink((topTrash + "/info/" + name + ".trashinfo").c_str());
        }
    }
    EXPECT_FALSE(trashed.empty()) << "the info records the path below the volume's top";
    rmdir((topTrash + "/files").c_str());
    rmdir((topTrash + "/info").c_str());
    rmdir(topTrash.c_str());
}

}  // namespace
