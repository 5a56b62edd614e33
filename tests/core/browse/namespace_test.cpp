// Parsing paths into routes, binding and listing folders, display names and
// renaming, against real temporary folders.

#include "browse/folder_listing.h"
#include "files/safe_rename.h"
#include "browse/shell_folder.h"
#include "browse/user_dirs.h"
#include "browse/user_places.h"
#include "browse_test_util.h"

#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>

using namespace browsetest;

namespace {

std::map<std::string, const FolderEntry*> ByInFolderName(const CFolderListing& listing)
{
    std::map<std::string, const FolderEntry*> names;
    for (const FolderEntry& entry : listing.Entries())
        names[GetDisplayName(*listing.BoundFolder(), entry.relative, NameKind::InFolderForParsing)] = &entry;
    return names;
}

TEST(Namespace, ParseNameRoutesThroughComputerAndTheVolume)
{
    CShellPidl root;
    uint32_t attributes = kAttrFolder | kAttrFileSystem;
    ASSERT_TRUE(root.ParseName("/", &attributes));
    EXPECT_EQ(attributes, kAttrFolder | kAttrFileSystem);
    ASSERT_EQ(root.ItemCount(), 2);
    uint8_t kind = 0;
    std::string_view name;
    ASSERT_TRUE(root.FirstItem(&kind, &name));
    EXPECT_EQ(kind, kItemComputer);
    EXPECT_EQ(GetDisplayName(root, NameKind::ForParsing), "/");
    EXPECT_EQ(GetDisplayName(root, NameKind::Normal), "/");

    TempDir temp;
    const std::string dir = PathOf(temp);
    ASSERT_TRUE(MakeFile(dir + "/photo.jpg"));
    CShellPidl file;
    attributes = kAttrFolder | kAttrFileSystem;
    ASSERT_TRUE(file.ParseName(dir + "//./photo.jpg/", &attributes));
    EXPECT_EQ(attributes, kAttrFileSystem);
    EXPECT_EQ(GetDisplayName(file, NameKind::ForParsing), dir + "/photo.jpg");
    EXPECT_EQ(GetDisplayName(file, NameKind::Normal), "photo.jpg");
    EXPECT_EQ(GetDisplayName(file, NameKind::InFolderForParsing), "photo.jpg");

    // The route's parent is the folder; a path with ".." lands on the same list.
    CShellPidl parent = file;
    ASSERT_TRUE(parent.Split(nullptr, nullptr));
    CShellPidl folder;
    ASSERT_TRUE(folder.ParseName(dir));
    EXPECT_TRUE(parent.Equals(folder));
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    CShellPidl viaDots;
    ASSERT_TRUE(viaDots.ParseName(dir + "/sub/../photo.jpg"));
    EXPECT_TRUE(viaDots.Equals(file));
    // A link named last stays itself after a "..": its folder is the one
    // shown, not its target's.
    ASSERT_EQ(mkdir((dir + "/elsewhere").c_str(), 0755), 0);
    ASSERT_TRUE(MakeFile(dir + "/elsewhere/real.jpg"));
    ASSERT_EQ(symlink("elsewhere/real.jpg", (dir + "/link.jpg").c_str()), 0);
    CShellPidl link;
    ASSERT_TRUE(link.ParseName(dir + "/sub/../link.jpg"));
    EXPECT_EQ(GetDisplayName(link, NameKind::ForParsing), dir + "/link.jpg");
    ASSERT_TRUE(link.ParseName(dir + "/elsewhere/../sub/.."));
    EXPECT_TRUE(link.Equals(folder));

    CShellPidl missing;
    EXPECT_FALSE(missing.ParseName(dir + "/no such file"));
    EXPECT_TRUE(missing.IsNull());
    EXPECT_FALSE(missing.ParseName(""));
    EXPECT_FALSE(missing.ParseName(std::string("/tmp\0x", 6)));
}

TEST(Namespace, MountTableGivesUserVolumesAndTheLongestMountWins)
{
    const std::string table = "22 27 0:21 / /proc rw - proc proc rw\n"
                              "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                              "30 27 0:27 / /dev/shm rw - tmpfs tmpfs rw\n"
                              "40 27 8:1 / /home rw - ext4 /dev/sda1 rw\n"
                              "41 40 8:17 / /home/ann/My\\040Disk rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
                              "42 27 8:33 / /run/media/ann/STICK rw - exfat /dev/sdc1 rw\n"
                              "43 27 8:34 / /run/user/1000 rw - tmpfs tmpfs rw\n"
                              "44 27 8:35 / /boot/efi rw - vfat /dev/sda2 rw\n"
                              "garbage line\n";
    const std::vector<MountedVolume> volumes = UserVolumes(ParseMountInfo(table));
    std::vector<std::string> points;
    for (const MountedVolume& v : volumes)
        points.push_back(v.mountPoint);
    EXPECT_EQ(points, (std::vector<std::string> {"/", "/home", "/home/ann/My Disk", "/run/media/ann/STICK"}));

    struct Case {
        const char* path;
        const char* mount;
    };
    const Case cases[] = {
        {"/", "/"},
        {"/etc/hosts", "/"},
        {"/home", "/home"},
        {"/homework", "/"},
        {"/home/ann/My Disk/a.jpg", "/home/ann/My Disk"},
        {"/home/ann/My Diskette", "/home"},
        {"/boot/efi/x", "/"},
    };
    for (const Case& c : cases) {
        const int index = LongestMountFor(volumes, c.path);
        ASSERT_GE(index, 0) << c.path;
        EXPECT_EQ(volumes[static_cast<size_t>(index)].mountPoint, c.mount) << c.path;
    }
}

// The base folder rules: a variable counts only when absolute; home is $HOME,
// else the password database's ("~"), else none, and then no folder at all.
TEST(UserDirs, FollowTheBaseDirectoryRules)
{
    const passwd* pw = getpwuid(geteuid());
    const std::string dbHome = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "";
    struct Case {
        std::optional<std::string> home, xdg;
        const char* base;  // the home under which the folders are; none: the variable is used
    };
    const Case cases[] = {
        {"/h", "/x", nullptr},         {"/h", "", "/h"},
        {"/h", "rel", "/h"},           {"/h", std::nullopt, "/h"},
        {std::nullopt, "/x", nullptr}, {std::nullopt, "", "~"},
        {std::nullopt, "rel", "~"},    {std::nullopt, std::nullopt, "~"},
        {"", std::nullopt, "~"},       {"rel", std::nullopt, "~"},
    };
    using Getter = std::string (*)();
    const std::pair<Getter, const char*> folders[]
        = {{XdgDataHome, "/.local/share"}, {XdgConfigHome, "/.config"}, {XdgCacheHome, "/.cache"}};
    for (const Case& c : cases) {
        ScopedEnv home("HOME", c.home);
        ScopedEnv data("XDG_DATA_HOME", c.xdg), config("XDG_CONFIG_HOME", c.xdg),
            cache("XDG_CACHE_HOME", c.xdg);
        const std::string row = c.home.value_or("(unset)") + " " + c.xdg.value_or("(unset)");
        const std::string base = !c.base ? "" : c.base[0] == '~' ? dbHome : c.base;
        EXPECT_EQ(HomeDir(), c.home && c.home->starts_with('/') ? *c.home : dbHome) << row;
        for (const auto& [folder, under] : folders)
            EXPECT_EQ(folder(), !c.base ? *c.xdg : base.empty() ? "" : base + under) << row << under;
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", "rel");
    EXPECT_EQ(XdgRuntimeDir(), "") << "no fallback for the runtime folder";
    ScopedEnv dataDirs("XDG_DATA_DIRS", "");
    EXPECT_EQ(XdgDataDirs(), (std::vector<std::string> {"/usr/local/share", "/usr/share"}));
    ScopedEnv configDirs("XDG_CONFIG_DIRS", "/a:rel::/b");
    EXPECT_EQ(XdgConfigDirs(), (std::vector<std::string> {"/a", "/b"}));
}

TEST(Namespace, DesktopIsTheDesktopDirectoryAndListsComputerAndHome)
{
    TempDir home;
    ScopedEnv homeEnv("HOME", PathOf(home));
    ScopedEnv configEnv("XDG_CONFIG_HOME", PathOf(home) + "/.config");
    ASSERT_TRUE(MakeFile(PathOf(home) + "/at-home.jpg"));

    CShellPidl desktop;
    desktop.SetEmpty();
    EXPECT_EQ(GetDisplayName(desktop, NameKind::ForParsing), PathOf(home)) << "no desktop folder: home";

    ASSERT_EQ(mkdir((PathOf(home) + "/.config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((PathOf(home) + "/Schreibtisch").c_str(), 0700), 0);
    const std::string userDirs = PathOf(home) + "/.config/user-dirs.dirs";
    ASSERT_EQ(mkfifo(userDirs.c_str(), 0600), 0);
    EXPECT_EQ(DesktopDirectory(), PathOf(home)) << "a pipe for a settings file does not hang";
    ASSERT_EQ(unlink(userDirs.c_str()), 0);
    ASSERT_TRUE(MakeFile(userDirs, "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"));
    ASSERT_TRUE(MakeFile(PathOf(home) + "/Schreibtisch/on-desktop.jpg"));
    auto bound = desktop.BindFolder();
    ASSERT_TRUE(bound);
    EXPECT_EQ(bound->GetKind(), CShellFolder::Kind::Desktop);
    EXPECT_EQ(bound->Path(), PathOf(home) + "/Schreibtisch");

    CFolderListing listing;
    ASSERT_TRUE(listing.Enumerate(desktop));
    ASSERT_EQ(listing.Count(), 3u);
    EXPECT_EQ(listing.Entries()[0].name, "Computer");
    EXPECT_TRUE(listing.Entries()[0].isFolder);
    EXPECT_FALSE(listing.Entries()[0].isFileSystem);
    EXPECT_EQ(listing.Entries()[1].name, "Home");
    EXPECT_EQ(listing.Entries()[2].name, "on-desktop.jpg");

    // Home lists the home folder; Computer lists "/" first, with no path of its own.
    CShellPidl homeList;
    homeList.Concat(desktop, listing.Entries()[1].relative);
    EXPECT_EQ(GetDisplayName(homeList, NameKind::ForParsing), PathOf(home));
    CShellPidl computer;
    computer.Concat(desktop, listing.Entries()[0].relative);
    std::string path;
    EXPECT_FALSE(computer.GetPath(&path));
    CFolderListing volumes;
    ASSERT_TRUE(volumes.Enumerate(computer));
    ASSERT_GE(volumes.Count(), 1u);
    EXPECT_EQ(volumes.Entries()[0].name, "/");
    for (const FolderEntry& v : volumes.Entries()) {
        EXPECT_TRUE(v.isFolder && v.isFileSystem);
        const std::string mount = GetDisplayName(*volumes.BoundFolder(), v.relative, NameKind::ForParsing);
        EXPECT_TRUE(mount.rfind("/proc", 0) != 0 && mount.rfind("/sys", 0) != 0) << mount;
    }
    // A route that parses binds through the same folders.
    CShellPidl parsed;
    ASSERT_TRUE(parsed.ParseName(PathOf(home) + "/at-home.jpg"));
    CShellPidl parsedParent = parsed;
    parsedParent.Split(nullptr, nullptr);
    CFolderListing homeListing;
    ASSERT_TRUE(homeListing.Enumerate(parsedParent));
    EXPECT_TRUE(ByInFolderName(homeListing).count("at-home.jpg"));
}

TEST(Namespace, ListingKeepsHiddenFoldersAndBadlyEncodedNames)
{
    TempDir temp;
    const std::string dir = PathOf(temp);
    const std::string latin1 = "caf\xe9.jpg";  // not valid UTF-8
    ASSERT_TRUE(MakeFile(dir + "/" + latin1));
    ASSERT_TRUE(MakeFile(dir + "/.hidden.jpg"));
    ASSERT_TRUE(MakeFile(dir + "/line\nbreak.jpg"));
    ASSERT_EQ(mkdir((dir + "/.hidden folder").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub", (dir + "/link to sub").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir + "/dangling").c_str()), 0);

    CShellPidl folder;
    ASSERT_TRUE(folder.ParseName(dir));
    CFolderListing listing;
    ASSERT_TRUE(listing.Enumerate(folder));
    const auto names = ByInFolderName(listing);
    ASSERT_EQ(names.size(), 7u);
    struct Case {
        std::string name;
        bool isFolder;
        std::string shown;
    };
    const Case cases[] = {
        {latin1, false, "caf\xef\xbf\xbd.jpg"},
        {".hidden.jpg", false, ".hidden.jpg"},
        {"line\nbreak.jpg", false, "line\nbreak.jpg"},
        {".hidden folder", true, ".hidden folder"},
        {"sub", true, "sub"},
        {"link to sub", true, "link to sub"},
        {"dangling", false, "dangling"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(names.count(c.name)) << c.shown;
        const FolderEntry& entry = *names.at(c.name);
        EXPECT_EQ(entry.isFolder, c.isFolder) << c.shown;
        EXPECT_TRUE(entry.isFileSystem) << c.shown;
        EXPECT_EQ(entry.name, c.shown);
        EXPECT_EQ(GetDisplayName(*listing.BoundFolder(), entry.relative, NameKind::ForParsing),
                  dir + "/" + c.name);
    }
    // The badly encoded name parses back to the same item and opens.
    CShellPidl item;
    ASSERT_TRUE(item.ParseName(dir + "/" + latin1));
    CShellPidl expected;
    expected.Concat(folder, names.at(latin1)->relative);
    EXPECT_TRUE(item.Equals(expected));
    EXPECT_EQ(ReadAll(GetDisplayName(item, NameKind::ForParsing)), "x");

    // Files do not bind; a folder that vanished neither binds nor lists.
    EXPECT_FALSE(item.BindFolder());
    CShellPidl gone;
    ASSERT_TRUE(gone.ParseName(dir + "/sub"));
    ASSERT_EQ(unlink((dir + "/link to sub").c_str()), 0);
    ASSERT_EQ(rmdir((dir + "/sub").c_str()), 0);
    int error = 0;
    EXPECT_FALSE(listing.Enumerate(gone, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(listing.Count(), 0u);
}

TEST(Namespace, RenameRefusesBadNamesAndNeverReplaces)
{
    TempDir temp;
    const std::string dir = PathOf(temp);
    ASSERT_TRUE(MakeFile(dir + "/a.jpg", "first"));
    ASSERT_TRUE(MakeFile(dir + "/b.jpg", "second"));
    ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/empty").c_str(), 0755), 0);

    struct Case {
        const char* what;
        std::string from;
        std::string to;
    };
    const Case refused[] = {
        {"slash", "a.jpg", "x/y.jpg"},
        {"NUL", "a.jpg", std::string("x\0y", 3)},
        {"dot", "a.jpg", "."},
        {"dot dot", "a.jpg", ".."},
        {"empty", "a.jpg", ""},
        {"existing file", "a.jpg", "b.jpg"},
        {"file over folder", "a.jpg", "folder"},
        {"folder over empty folder", "folder", "empty"},
        {"too long", "a.jpg", std::string(300, 'n')},
    };
    for (const Case& c : refused) {
        CShellPidl item;
        ASSERT_TRUE(item.ParseName(dir + "/" + c.from)) << c.what;
        const CShellPidl before = item;
        CShellPidl renamed;
        std::string error;
        EXPECT_FALSE(item.Rename(c.to, &renamed, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_TRUE(item.Equals(before)) << c.what;
    }
    EXPECT_EQ(ReadAll(dir + "/a.jpg"), "first");
    EXPECT_EQ(ReadAll(dir + "/b.jpg"), "second");
    EXPECT_TRUE(Exists(dir + "/empty"));

    // A good rename, to a name that is not valid UTF-8 and back.
    const std::string odd = "-\xff %20.jpg";
    CShellPidl item;
    ASSERT_TRUE(item.ParseName(dir + "/a.jpg"));
    CShellPidl relative;
    ASSERT_TRUE(item.Rename(odd, &relative));
    EXPECT_EQ(GetDisplayName(item, NameKind::ForParsing), dir + "/" + odd);
    EXPECT_TRUE(relative.Equals(CShellPidl::MakeItem(kItemEntry, odd)));
    EXPECT_EQ(ReadAll(dir + "/" + odd), "first");
    ASSERT_TRUE(item.Rename("a.jpg", nullptr));
    EXPECT_EQ(ReadAll(dir + "/a.jpg"), "first");
    ASSERT_TRUE(item.Rename("a.jpg", nullptr)) << "keeping the name is no change";

    // Items outside the file system cannot be renamed.
    CShellPidl volume;
    ASSERT_TRUE(volume.ParseName("/"));
    EXPECT_FALSE(volume.Rename("elsewhere", nullptr));
    CShellPidl desktop;
    desktop.SetEmpty();
    EXPECT_FALSE(desktop.Rename("elsewhere", nullptr));
}

TEST(Namespace, FallbackRenameNeverReplaces)
{
    TempDir temp;
    const std::string dir = PathOf(temp);
    ASSERT_TRUE(MakeFile(dir + "/file", "data"));
    ASSERT_TRUE(MakeFile(dir + "/taken", "keep"));
    ASSERT_EQ(mkdir((dir + "/dir").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "/emptydir").c_str(), 0755), 0);
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(RenameNoReplaceFallback(fd, "file", fd, "taken"), EEXIST);
    EXPECT_EQ(RenameNoReplaceFallback(fd, "dir", fd, "emptydir"), EEXIST);
    EXPECT_EQ(RenameNoReplaceFallback(fd, "dir", fd, "dir/inside"), EINVAL);
    EXPECT_FALSE(Exists(dir + "/dir/inside")) << "the placeholder is removed";
    EXPECT_EQ(RenameNoReplaceFallback(fd, "file", fd, "moved"), 0);
    EXPECT_EQ(RenameNoReplaceFallback(fd, "dir", fd, "moved dir"), 0);
    EXPECT_EQ(RenameNoReplaceFallback(fd, "gone", fd, "other"), ENOENT);
    close(fd);
    EXPECT_EQ(ReadAll(dir + "/taken"), "keep");
    EXPECT_EQ(ReadAll(dir + "/moved"), "data");
    EXPECT_FALSE(Exists(dir + "/file"));
    EXPECT_TRUE(Exists(dir + "/moved dir"));
    EXPECT_TRUE(Exists(dir + "/emptydir"));
}

TEST(Namespace, HostileListsDoNotBind)
{
    struct Case {
        const char* what;
        CShellPidl list;
    };
    CShellPidl computer = CShellPidl::MakeItem(kItemComputer, "Computer");
    CShellPidl volumeAtTop = CShellPidl::MakeItem(kItemVolume, "/");
    CShellPidl dotdot;
    dotdot.Concat(computer, CShellPidl::MakeItem(kItemVolume, "/"));
    dotdot.Concat(dotdot, CShellPidl::MakeItem(kItemEntry, ".."));
    CShellPidl slash;
    slash.Concat(computer, CShellPidl::MakeItem(kItemVolume, "/"));
    slash.Concat(slash, CShellPidl::MakeItem(kItemEntry, "etc/passwd"));
    CShellPidl entryInComputer;
    entryInComputer.Concat(computer, CShellPidl::MakeItem(kItemEntry, "tmp"));
    CShellPidl unknownKind = CShellPidl::MakeItem('?', "x");
    const Case cases[] = {
        {"volume outside Computer", volumeAtTop},
        {"dot dot entry", dotdot},
        {"entry with slash", slash},
        {"entry inside Computer", entryInComputer},
        {"unknown kind", unknownKind},
        {"nothing", CShellPidl()},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.list.BindFolder()) << c.what;
        std::string path;
        EXPECT_FALSE(c.list.GetPath(&path)) << c.what;
    }
}

}  // namespace
