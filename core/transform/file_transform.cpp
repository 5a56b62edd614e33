#include "transform/file_transform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "browse/unique_fd.h"
#include "error_out.h"
#include "browse/fd_io.h"

namespace {

// Bigger files are not photographs this program turns in memory.
constexpr off_t kMaxFileBytes = off_t(1) << 30;

using Outcome = FileTransformResult::Outcome;

FileTransformResult Refuse(std::string reason)
{
    return {Outcome::Refused, std::move(reason)};
}

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// The temporary file, removed unless it was renamed into place.
class CTempFile {
public:
    explicit CTempFile(const std::string& target)
    {
        const size_t slash = target.rfind('/');
        std::string name = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".turning-XXXXXX";
        m_fd.Reset(::mkostemp(name.data(), O_CLOEXEC));
        if (m_fd.Valid())
            m_path = name;
    }
    ~CTempFile()
    {
        m_fd.Reset();
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    int Fd() const { return m_fd.Get(); }
    bool RenameTo(const std::string& target)
    {
        if (::rename(m_path.c_str(), target.c_str()) != 0)
            return false;
        m_path.clear();
        return true;
    }

private:
    CUniqueFd m_fd;
    std::string m_path;
};

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec
        && a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

bool ReadAll(int fd, size_t size, std::vector<uint8_t>& out)
{
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    // One more byte means the file grew while it was read.
    uint8_t extra;
    return ::pread(fd, &extra, 1, off_t(size)) == 0;
}

// Whether the file holds `bytes` and nothing more, read a piece at a time
// rather than into a second copy of the whole file.
bool HoldsExactly(int fd, const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> piece(size_t(1) << 18);
    size_t done = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, piece.data(), piece.size(), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || size_t(n) > bytes.size() - done)
            return false;
        if (n == 0)
            return done == bytes.size();
        if (std::memcmp(piece.data(), bytes.data() + done, size_t(n)) != 0)
            return false;
        done += size_t(n);
    }
}

// Every extended attribute (ACLs among them); those of a namespace the
// folder's file system or the user can't set are left, user ones must come.
bool CopyAttributes(int from, int to, std::string* error)
{
    const ssize_t listSize = ::flistxattr(from, nullptr, 0);
    if (listSize <= 0)
        return true;
    std::vector<char> names(static_cast<size_t>(listSize));
    const ssize_t got = ::flistxattr(from, names.data(), names.size());
    for (ssize_t at = 0; got > 0 && at < got; at += ssize_t(std::strlen(names.data() + at)) + 1) {
        const char* name = names.data() + at;
        const ssize_t size = ::fgetxattr(from, name, nullptr, 0);
        if (size < 0)
            continue;
        std::vector<char> value(static_cast<size_t>(size));
        const ssize_t read = ::fgetxattr(from, name, value.data(), value.size());
        if (read < 0)
            continue;
        if (::fsetxattr(to, name, value.data(), size_t(read), 0) != 0 && std::strncmp(name, "user.", 5) == 0)
            return Fail(error, SystemError(std::string("its extended attribute ") + name + " can't be kept"));
    }
    return true;
}

// Owner, permissions, attributes and times of the original on the new file.
bool CopyFileState(int from, const struct stat& st, int to, bool keepTime, std::string* error)
{
    // Only root may give the file away; the group alone may still go.
    if (::fchown(to, st.st_uid, st.st_gid) != 0 && ::fchown(to, uid_t(-1), st.st_gid) != 0) {
        // The file then belongs to whoever turned it, as a copy would.
    }
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(to, st.st_mode & 07777) != 0)
        return Fail(error, SystemError("its permissions can't be kept"));
    if (!CopyAttributes(from, to, error))
        return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (keepTime && ::futimens(to, times) != 0)
        return Fail(error, SystemError("its modification time can't be kept"));
    return true;
}

bool Cancelled(const FileTransformOptions& options)
{
    return options.cancelled && options.cancelled();
}

}  // namespace

FileTransformResult TransformFile(const std::string& path, const FileTransformOptions& options)
{
    // A link is followed: the file it names is turned and the link stays.
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return Refuse(SystemError("it can't be found"));
    const std::string target = resolved;
    // Without O_NONBLOCK a FIFO would wait for a writer before it is refused.
    const CUniqueFd source(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (source.Get() < 0 || ::fstat(source.Get(), &st) != 0)
        return Refuse(SystemError("it can't be opened"));
    if (!S_ISREG(st.st_mode))
        return Refuse("it is not a regular file");
    if (st.st_size > kMaxFileBytes)
        return Refuse("it is too large");
    // Write bits are asked of the file and its folder themselves, so that a
    // file the user made read-only stays as it is even for root.
    struct stat folder {};
    const std::string dir = target.substr(0, target.rfind('/') + 1);
    if ((st.st_mode & 0222) == 0)
        return Refuse("the file is read-only");
    if (::stat(dir.c_str(), &folder) != 0 || (folder.st_mode & 0222) == 0)
        return Refuse("its folder is read-only");
    std::vector<uint8_t> original;
    if (!ReadAll(source.Get(), size_t(st.st_size), original))
        return Refuse("it changed while it was being read");
    if (Cancelled(options))
        return {Outcome::Cancelled, {}};

    TransformResult turned = TransformJpeg(original, options.op, options.edges);
    if (turned.partialEdges && options.askEdges) {
        const EdgeAnswer answer = options.askEdges(path);
        if (answer != EdgeAnswer::Refuse)
            turned = TransformJpeg(original, options.op, answer);
    }
    if (turned.outcome == TransformResult::Outcome::Unchanged)
        return {Outcome::Unchanged, {}};
    if (turned.outcome == TransformResult::Outcome::Refused)
        return Refuse(turned.reason);

    CTempFile temp(target);
    if (temp.Fd() < 0)
        return Refuse(SystemError("its folder can't take a new file"));
    std::string error;
    if (!WriteAll(temp.Fd(), turned.jpeg.data(), turned.jpeg.size()))
        return Refuse(SystemError("the new file can't be written"));
    if (!CopyFileState(source.Get(), st, temp.Fd(), options.keepModificationTime, &error))
        return Refuse(error);
    if (::fsync(temp.Fd()) != 0)
        return Refuse(SystemError("the new file can't be flushed to disk"));
    // The bytes were decoded before they were written; those on disk must
    // be the same.
    if (!HoldsExactly(temp.Fd(), turned.jpeg))
        return Refuse("the new file does not read back as written");
    if (Cancelled(options))
        return {Outcome::Cancelled, {}};
    struct stat now {};
    if (::stat(target.c_str(), &now) != 0 || !SameFile(st, now))
        return Refuse("it changed while it was being turned");
    if (!temp.RenameTo(target))
        return Refuse(SystemError("the new file can't replace it"));
    // The rename itself is on disk once the folder is.
    const CUniqueFd folderFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() >= 0)
        ::fsync(folderFd.Get());
    return {Outcome::Done, {}};
}
