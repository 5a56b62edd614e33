#include "files/file_trash.h"

#include "files/safe_rename.h"
#include "browse/unique_fd.h"
#include "browse/user_dirs.h"
#include "error_out.h"
#include "browse/fd_io.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
// Room left in a trash name for the info suffix and a numbering suffix.
constexpr size_t kMaxBaseName = NAME_MAX - kInfoSuffix.size() - 12;
constexpr int kNumberedTries = 200;

struct Trash {
    CUniqueFd files;
    CUniqueFd info;
    std::string topdir;  // set when info paths are relative to a volume's top directory
};

std::string ErrnoText(int error)
{
    return std::generic_category().message(error);
}

// Opens (making it 0700 when missing) the directory `name` inside `parent`,
// refusing links, so that nobody can point our writes elsewhere.
CUniqueFd OpenOrMakeDir(int parent, const char* name, bool mustBeOwned)
{
    if (mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return CUniqueFd();
    CUniqueFd fd(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid() || !mustBeOwned)
        return fd;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || st.st_uid != getuid() || (st.st_mode & (S_IWGRP | S_IWOTH)))
        return CUniqueFd();
    return fd;
}

// Makes every missing directory of an absolute path, like mkdir -p.
CUniqueFd MakePath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return CUniqueFd();  // no home: nothing is made under "/"
    CUniqueFd dir(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    size_t pos = 1;
    while (dir.Valid() && pos < path.size()) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (mkdirat(dir.Get(), part.c_str(), 0700) != 0 && errno != EEXIST)
            return CUniqueFd();
        dir = CUniqueFd(openat(dir.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return dir;
}

bool OpenTrashParts(CUniqueFd root, Trash* trash, bool mustBeOwned)
{
    if (!root.Valid())
        return false;
    trash->files = OpenOrMakeDir(root.Get(), "files", mustBeOwned);
    trash->info = OpenOrMakeDir(root.Get(), "info", mustBeOwned);
    return trash->files.Valid() && trash->info.Valid();
}

dev_t DeviceOf(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 ? st.st_dev : static_cast<dev_t>(-1);
}

// The device of the home trash, or of its nearest existing ancestor.
dev_t HomeTrashDevice()
{
    std::string path = HomeTrashDirectory();
    struct stat st {};
    while (stat(path.c_str(), &st) != 0) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos || path == "/")
            return static_cast<dev_t>(-1);
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return st.st_dev;
}

// Whether an item of the folder `from` can be renamed into `to`: one file
// system, and one mount of it (rename() crosses no mount, not even a bind
// mount of the same file system). Where mounts can't be told apart, the
// device alone decides.
bool RenameReaches(int from, int to)
{
    return DeviceOf(from) == DeviceOf(to) && MountIdOf(from) == MountIdOf(to);
}

// The highest directory above `dir` (open as `dirFd`) that a rename from it
// still reaches: the top of its mount.
std::string TopDirectory(std::string dir, int dirFd)
{
    while (dir != "/") {
        const size_t slash = dir.find_last_of('/');
        const std::string up = slash == 0 ? "/" : dir.substr(0, slash);
        CUniqueFd upFd(open(up.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!upFd.Valid() || !RenameReaches(dirFd, upFd.Get()))
            break;
        dir = up;
    }
    return dir;
}

// A volume's trash: $topdir/.Trash/$uid when an administrator made .Trash as
// a sticky, unlinked folder, else $topdir/.Trash-$uid owned by the user.
// Either must be reachable by a rename from `itemDir`.
bool OpenTopdirTrash(const std::string& topdir, int itemDir, Trash* trash)
{
    CUniqueFd top(open(topdir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.Valid())
        return false;
    const std::string uid = std::to_string(getuid());
    struct stat st {};
    if (fstatat(top.Get(), ".Trash", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)
        && (st.st_mode & S_ISVTX)) {
        CUniqueFd shared(openat(top.Get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (shared.Valid() && OpenTrashParts(OpenOrMakeDir(shared.Get(), uid.c_str(), true), trash, true)
            && RenameReaches(itemDir, trash->files.Get())) {
            trash->topdir = topdir;
            return true;
        }
    }
    const std::string own = ".Trash-" + uid;
    if (OpenTrashParts(OpenOrMakeDir(top.Get(), own.c_str(), true), trash, true)
        && RenameReaches(itemDir, trash->files.Get())) {
        trash->topdir = topdir;
        return true;
    }
    return false;
}

// Whether the folder `dir` is the files or info folder of `trash`.
bool IsTrashPart(const Trash& trash, int dir)
{
    struct stat st {};
    struct stat part {};
    if (fstat(dir, &st) != 0)
        return false;
    for (const CUniqueFd* fd : {&trash.files, &trash.info})
        if (fstat(fd->Get(), &part) == 0 && part.st_dev == st.st_dev && part.st_ino == st.st_ino)
            return true;
    return false;
}

// Cuts a long name so that numbering and the info suffix still fit, keeping
// whole UTF-8 sequences.
std::string BaseTrashName(const std::string& name)
{
    if (name.size() <= kMaxBaseName)
        return name;
    size_t cut = kMaxBaseName;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

std::string NumberedName(const std::string& base, unsigned number)
{
    const size_t dot = base.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return base + "." + std::to_string(number);
    return base.substr(0, dot) + "." + std::to_string(number) + base.substr(dot);
}

std::string PercentEncode(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.'
            || b == '_' || b == '~' || b == '/') {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
    return out;
}

std::string InfoText(const std::string& path)
{
    char date[64] = "";
    const time_t now = time(nullptr);
    struct tm local {};
    if (localtime_r(&now, &local))
        strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + PercentEncode(path) + "\nDeletionDate=" + date + "\n";
}

// Reserves a trash name by creating its info file exclusively; the name must
// also be free among the trashed files. Returns the open info file.
CUniqueFd ReserveName(const Trash& trash, const std::string& name, std::string* chosen, int* error)
{
    const std::string base = BaseTrashName(name);
    for (int attempt = 1; attempt <= kNumberedTries + 1; ++attempt) {
        std::string candidate = attempt == 1 ? base : NumberedName(base, static_cast<unsigned>(attempt));
        if (attempt > kNumberedTries)  // a crowded trash: fall back on an unlikely number
            candidate
                = NumberedName(base, static_cast<unsigned>(getpid()) ^ static_cast<unsigned>(time(nullptr)));
        const std::string infoName = candidate + std::string(kInfoSuffix);
        CUniqueFd info(openat(trash.info.Get(), infoName.c_str(),
                              O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!info.Valid()) {
            if (errno != EEXIST) {
                *error = errno;
                return CUniqueFd();
            }
            continue;
        }
        struct stat st {};
        if (fstatat(trash.files.Get(), candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            unlinkat(trash.info.Get(), infoName.c_str(), 0);
            continue;
        }
        *chosen = std::move(candidate);
        return info;
    }
    *error = EEXIST;
    return CUniqueFd();
}

// Splits into the real (link-free) absolute parent folder and the item's name.
bool SplitPath(const std::string& input, std::string* parent, std::string* name)
{
    std::string path = input;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.find_last_of('/');
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (!IsValidEntryName(*name))
        return false;
    char* real = realpath(dir.c_str(), nullptr);
    if (!real)
        return false;
    *parent = real;
    free(real);
    return true;
}

}  // namespace

std::string HomeTrashDirectory()
{
    const std::string data = XdgDataHome();
    return data.empty() ? data : data + "/Trash";
}

bool MoveToTrash(const std::string& path, std::string* error)
{
    std::string parent;
    std::string name;
    if (path.empty() || path.find('\0') != std::string::npos || !SplitPath(path, &parent, &name))
        return Fail(error, "Not a file or folder that can be trashed");
    CUniqueFd parentDir(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat item {};
    if (!parentDir.Valid() || fstatat(parentDir.Get(), name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(error, ErrnoText(errno));
    const dev_t device = DeviceOf(parentDir.Get());
    const std::string full = parent == "/" ? "/" + name : parent + "/" + name;

    Trash trash;
    const bool homeOk = OpenTrashParts(MakePath(HomeTrashDirectory()), &trash, false);
    if (!homeOk && HomeTrashDevice() == device)
        return Fail(error, "Cannot make the trash folder " + HomeTrashDirectory());
    if (!homeOk || !RenameReaches(parentDir.Get(), trash.files.Get())) {
        // Never copy across mounts: the item goes to its own volume's trash.
        trash = Trash();
        if (!OpenTopdirTrash(TopDirectory(parent, parentDir.Get()), parentDir.Get(), &trash))
            return Fail(error, "No trash can be used on this volume");
    }
    // An entry of the trash trashed again would leave its info file behind;
    // deleting it for good is not what a move to the trash promises.
    if (IsTrashPart(trash, parentDir.Get()))
        return Fail(error, "It is in the trash already");

    std::string trashName;
    int reserveError = 0;
    CUniqueFd info = ReserveName(trash, name, &trashName, &reserveError);
    if (!info.Valid())
        return Fail(error, "Cannot write to the trash: " + ErrnoText(reserveError));
    const std::string infoName = trashName + std::string(kInfoSuffix);
    std::string recorded = full;
    if (!trash.topdir.empty())
        recorded = full.substr(trash.topdir == "/" ? 1 : trash.topdir.size() + 1);
    const std::string text = InfoText(recorded);
    const bool written = WriteAll(info.Get(), text.data(), text.size());
    if (close(info.Release()) != 0 || !written) {
        const int writeError = errno;
        unlinkat(trash.info.Get(), infoName.c_str(), 0);
        return Fail(error, "Cannot write to the trash: " + ErrnoText(writeError));
    }
    const int moved = RenameNoReplace(parentDir.Get(), name.c_str(), trash.files.Get(), trashName.c_str());
    if (moved != 0) {
        // The item stayed where it was; its info file must not outlive the attempt.
        unlinkat(trash.info.Get(), infoName.c_str(), 0);
        return Fail(error, ErrnoText(moved));
    }
    return true;
}
