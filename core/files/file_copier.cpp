#include "files/file_copier.h"

#include "files/safe_rename.h"
#include "browse/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace {

// Large enough that a photo goes in one call, small enough that cancel and
// progress follow within a moment on a slow disk.
constexpr size_t kChunk = 16u << 20;
constexpr size_t kBufferSize = 1u << 20;
constexpr const char* kChanged = "It changed while it was being copied";
constexpr const char* kShortCopy = "The copy came out shorter than the file";

CopyOutcome SourceError(int error)
{
    CopyOutcome outcome;
    outcome.error = error;
    outcome.atSource = true;
    return outcome;
}

CopyOutcome TargetError(int error)
{
    CopyOutcome outcome;
    outcome.error = error;
    return outcome;
}

CopyOutcome Reason(const char* reason, bool atSource)
{
    CopyOutcome outcome;
    outcome.reason = reason;
    outcome.atSource = atSource;
    return outcome;
}

CopyOutcome Cancelled()
{
    CopyOutcome outcome;
    outcome.cancelled = true;
    return outcome;
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Errors of a kernel copy that lie with the target rather than the source.
bool IsTargetError(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS || error == EPERM;
}

// A name for a temporary file that no one else uses: our process and a count.
std::string TemporaryName()
{
    static std::atomic<unsigned> counter {0};
    char name[64];
    std::snprintf(name, sizeof name, ".lumvane-%d-%u.part", static_cast<int>(::getpid()), counter++);
    return name;
}

bool ProcFdUsable()
{
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

// The file being written. Until Publish succeeds it has no real name, and it
// goes on every way out.
class CTemporaryFile {
public:
    CTemporaryFile(int dir) : m_dir(dir) {}
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;
    ~CTemporaryFile()
    {
        m_fd.Reset();
        if (!m_name.empty())
            ::unlinkat(m_dir, m_name.c_str(), 0);
    }

    int Fd() const { return m_fd.Get(); }

    int Create(bool unnamed)
    {
        if (unnamed && ProcFdUsable()) {
            m_fd.Reset(::openat(m_dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
            if (m_fd.Valid())
                return 0;
            // Not every file system has unnamed files; the others get a name.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                return errno;
        }
        for (int tries = 0; tries < 100; ++tries) {
            std::string name = TemporaryName();
            m_fd.Reset(::openat(m_dir, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
            if (m_fd.Valid()) {
                m_name = std::move(name);
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    // Gives the complete file its real name; 0 or an errno value.
    int Publish(const std::string& name, Publish mode)
    {
        if (m_name.empty()) {
            // An unnamed file is linked in; link never replaces, so a
            // replacement goes through a temporary name.
            if (mode == Publish::Replace && LinkAs(nullptr) != 0)
                return errno;
            if (mode == Publish::NoReplace && LinkAs(name.c_str()) != 0)
                return errno;
        }
        if (!m_name.empty()) {
            if (const int error = m_fd.Close())
                return error;
            const int error = mode == Publish::Replace
                ? (::renameat(m_dir, m_name.c_str(), m_dir, name.c_str()) == 0 ? 0 : errno)
                : RenameNoReplace(m_dir, m_name.c_str(), m_dir, name.c_str());
            if (error)
                return error;
            m_name.clear();
            return 0;
        }
        struct stat linked {};
        ::fstat(m_fd.Get(), &linked);
        if (const int error = m_fd.Close()) {
            // A write the file system reports only now: the name goes again.
            struct stat now {};
            if (::fstatat(m_dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == linked.st_ino
                && now.st_dev == linked.st_dev)
                ::unlinkat(m_dir, name.c_str(), 0);
            return error;
        }
        return 0;
    }

private:
    // Links the unnamed file as `name`, or under a temporary name (kept in
    // m_name) when `name` is null.
    int LinkAs(const char* name)
    {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", m_fd.Get());
        for (int tries = 0; tries < 100; ++tries) {
            std::string temporary = name ? std::string() : TemporaryName();
            const char* as = name ? name : temporary.c_str();
            if (::linkat(AT_FDCWD, self, m_dir, as, AT_SYMLINK_FOLLOW) == 0) {
                m_name = std::move(temporary);
                return 0;
            }
            if (name || errno != EEXIST)
                return -1;
        }
        errno = EEXIST;
        return -1;
    }

    int m_dir;
    CUniqueFd m_fd;
    std::string m_name;  // set while the file has a temporary name
};

}  // namespace

std::string CopyOutcome::Text() const
{
    if (reason)
        return reason;
    if (cancelled)
        return "Cancelled";
    return std::generic_category().message(error);
}

CFileCopier::CFileCopier(const std::atomic<bool>& cancel, std::function<void(uint64_t)> onBytes,
                         bool unnamedFiles)
    : m_cancel(cancel), m_onBytes(std::move(onBytes)), m_unnamedFiles(unnamedFiles)
{
}

CopyOutcome CFileCopier::CopyFile(int fromDir, const std::string& name, const struct stat& seen, int toDir,
                                  const std::string& toName, Publish publish, bool durable,
                                  struct stat* copied)
{
    // O_NONBLOCK: should a FIFO have taken the file's place, the open must
    // not wait for a writer. The status check below refuses it.
    CUniqueFd in(::openat(fromDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!in.Valid())
        return SourceError(errno);
    struct stat before {};
    if (::fstat(in.Get(), &before) != 0)
        return SourceError(errno);
    if (!S_ISREG(before.st_mode) || before.st_ino != seen.st_ino || before.st_dev != seen.st_dev)
        return Reason(kChanged, true);
    ::posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    CTemporaryFile temporary(toDir);
    if (const int error = temporary.Create(m_unnamedFiles))
        return TargetError(error);
    uint64_t done = 0;
    CopyOutcome data = CopyData(in.Get(), temporary.Fd(), static_cast<uint64_t>(before.st_size), &done);
    if (!data.Ok())
        return data;
    struct stat after {};
    if (::fstat(in.Get(), &after) != 0)
        return SourceError(errno);
    if (after.st_size != before.st_size || !SameTime(after.st_mtim, before.st_mtim)
        || done != static_cast<uint64_t>(before.st_size))
        return Reason(kChanged, true);

    KeepAttributes(temporary.Fd(), before);
    if (durable && ::fsync(temporary.Fd()) != 0)
        return TargetError(errno);
    struct stat written {};
    if (::fstat(temporary.Fd(), &written) != 0)
        return TargetError(errno);
    if (written.st_size != before.st_size)
        return Reason(kShortCopy, false);
    if (const int error = temporary.Publish(toName, publish))
        return TargetError(error);
    if (durable)
        if (const int error = SyncFolder(toDir))
            return TargetError(error);
    if (copied)
        *copied = before;
    return {};
}

CopyOutcome CFileCopier::CopyData(int in, int out, uint64_t size, uint64_t* copied)
{
    while (m_kernelCopy) {
        if (m_cancel)
            return Cancelled();
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
        if (n > 0) {
            *copied += static_cast<uint64_t>(n);
            m_onBytes(static_cast<uint64_t>(n));
            continue;
        }
        if (n == 0 && *copied >= size)
            return {};
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && *copied > 0)
            return IsTargetError(errno) ? TargetError(errno) : SourceError(errno);
        // The kernel can't copy between these two (or reports an early end,
        // as some file systems do): plain reads and writes from where it got.
        if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            return IsTargetError(errno) ? TargetError(errno) : SourceError(errno);
        if (n < 0)
            m_kernelCopy = false;
        break;
    }
    return ReadWrite(in, out, copied);
}

CopyOutcome CFileCopier::ReadWrite(int in, int out, uint64_t* copied)
{
    if (m_buffer.empty())
        m_buffer.resize(kBufferSize);
    uint64_t unreported = 0;
    for (;;) {
        if (m_cancel)
            return Cancelled();
        const ssize_t got = ::read(in, m_buffer.data(), m_buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return SourceError(errno);
        if (got == 0)
            break;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::write(out, m_buffer.data() + put, static_cast<size_t>(got - put));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return TargetError(n < 0 ? errno : EIO);
            put += n;
        }
        *copied += static_cast<uint64_t>(got);
        unreported += static_cast<uint64_t>(got);
        if (unreported >= kChunk) {
            m_onBytes(unreported);
            unreported = 0;
        }
    }
    if (unreported)
        m_onBytes(unreported);
    return {};
}

CopyOutcome CFileCopier::CopyLink(int fromDir, const std::string& name, const struct stat& seen, int toDir,
                                  const std::string& toName, Publish publish, bool durable)
{
    std::string text(static_cast<size_t>(seen.st_size > 0 ? seen.st_size : 255) + 1, '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(fromDir, name.c_str(), text.data(), text.size());
        if (n < 0)
            return errno == EINVAL ? Reason(kChanged, true) : SourceError(errno);
        if (static_cast<size_t>(n) < text.size()) {
            text.resize(static_cast<size_t>(n));
            break;
        }
        if (text.size() > (1u << 20))
            return SourceError(ENAMETOOLONG);
        text.resize(text.size() * 2);
    }
    // A link is made whole in one step: it needs no temporary name unless
    // it replaces another item.
    std::string made = publish == Publish::Replace ? TemporaryName() : toName;
    if (::symlinkat(text.c_str(), toDir, made.c_str()) != 0)
        return TargetError(errno);
    if (publish == Publish::Replace && ::renameat(toDir, made.c_str(), toDir, toName.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(toDir, made.c_str(), 0);
        return TargetError(error);
    }
    ::fchownat(toDir, toName.c_str(), seen.st_uid, seen.st_gid, AT_SYMLINK_NOFOLLOW);
    const timespec times[2] = {seen.st_atim, seen.st_mtim};
    ::utimensat(toDir, toName.c_str(), times, AT_SYMLINK_NOFOLLOW);
    if (durable)
        if (const int error = SyncFolder(toDir))
            return TargetError(error);
    return {};
}

void CFileCopier::KeepAttributes(int fd, const struct stat& source)
{
    mode_t mode = source.st_mode & 07777;
    // Set-user and set-group bits stay only with the owner they were meant for.
    if (::fchown(fd, source.st_uid, source.st_gid) != 0)
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    ::fchmod(fd, mode);
    const timespec times[2] = {source.st_atim, source.st_mtim};
    ::futimens(fd, times);
}

int CFileCopier::SyncFolder(int dirFd)
{
    // The descriptor may be a path-only one, which can't be flushed.
    CUniqueFd dir(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid())
        return 0;
    if (::fsync(dir.Get()) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}
