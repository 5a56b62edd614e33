#include "files/safe_rename.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

bool SameItem(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the placeholder only while it is still the empty one we made.
void RemovePlaceholder(int dir, const char* name, const struct stat& made, bool isDir)
{
    struct stat now {};
    if (fstatat(dir, name, &now, AT_SYMLINK_NOFOLLOW) != 0 || !SameItem(now, made))
        return;
    if (isDir)
        unlinkat(dir, name, AT_REMOVEDIR);  // fails, keeping it, if someone filled it
    else if (now.st_size == 0)
        unlinkat(dir, name, 0);
}

}  // namespace

bool IsValidEntryName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
        && name.find('\0') == std::string_view::npos;
}

int RenameNoReplaceFallback(int fromDir, const char* fromName, int toDir, const char* toName)
{
    struct stat source {};
    if (fstatat(fromDir, fromName, &source, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    const bool isDir = S_ISDIR(source.st_mode);
    if (!isDir) {
        if (linkat(fromDir, fromName, toDir, toName, 0) == 0) {
            if (unlinkat(fromDir, fromName, 0) == 0)
                return 0;
            const int error = errno;
            unlinkat(toDir, toName, 0);  // the old name still holds the file
            return error;
        }
        if (errno == EEXIST || errno == ENOENT || errno == EACCES || errno == ENAMETOOLONG || errno == EXDEV)
            return errno;
    }
    // Reserve the new name with an item only we made; renaming over our own
    // empty placeholder can replace nothing else.
    int made = isDir ? mkdirat(toDir, toName, 0700)
                     : openat(toDir, toName, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (made < 0)
        return errno;
    if (!isDir)
        close(made);
    struct stat placeholder {};
    if (fstatat(toDir, toName, &placeholder, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (renameat(fromDir, fromName, toDir, toName) == 0)
        return 0;
    const int error = errno;
    RemovePlaceholder(toDir, toName, placeholder, isDir);
    return error;
}

int RenameNoReplace(int fromDir, const char* fromName, int toDir, const char* toName)
{
    if (renameat2(fromDir, fromName, toDir, toName, RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error == EEXIST) {
        struct stat a {};
        struct stat b {};
        if (strcasecmp(fromName, toName) == 0 && strcmp(fromName, toName) != 0
            && fstatat(fromDir, fromName, &a, AT_SYMLINK_NOFOLLOW) == 0
            && fstatat(toDir, toName, &b, AT_SYMLINK_NOFOLLOW) == 0 && SameItem(a, b))
            return renameat(fromDir, fromName, toDir, toName) == 0 ? 0 : errno;
        return EEXIST;
    }
    // EINVAL also means "a folder into itself", which the fallback refuses too.
    if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP)
        return RenameNoReplaceFallback(fromDir, fromName, toDir, toName);
    return error;
}

uint64_t MountIdOf(int fd)
{
    struct statx sx {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx) != 0
        || !(sx.stx_mask & STATX_MNT_ID))
        return 0;
    return sx.stx_mnt_id;
}

bool OnOneMount(int dirA, int dirB)
{
    const uint64_t a = MountIdOf(dirA);
    return a != 0 && a == MountIdOf(dirB);
}

std::string RenameErrorText(int error)
{
    if (error == EEXIST)
        return "An item with that name already exists";
    return std::generic_category().message(error);
}
