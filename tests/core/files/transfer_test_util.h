#pragma once
// Helpers of the transfer tests: snapshots of folder trees, the check that
// no byte was lost, second file systems mounted in a mount namespace of the
// test process, and a handler that answers collisions from a script.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "files/file_transfer.h"

namespace transfertest {

// One item of a tree: 'f' file, 'l' link, 'd' folder, 'o' anything else.
struct Entry {
    char type = 'o';
    std::string data;  // file bytes or link text
    mode_t mode = 0;
    timespec mtime {};
    ino_t inode = 0;
};
using Tree = std::map<std::string, Entry>;  // by path relative to the root

inline void SnapInto(const std::string& root, const std::string& relative, Tree* tree)
{
    const std::string dir = relative.empty() ? root : root + "/" + relative;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    ::closedir(d);
    for (const std::string& name : names) {
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const std::string path = root + "/" + rel;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        Entry entry;
        entry.mode = st.st_mode & 07777;
        entry.mtime = st.st_mtim;
        entry.inode = st.st_ino;
        if (S_ISREG(st.st_mode)) {
            entry.type = 'f';
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            std::vector<char> buffer(65536);  // not on the stack: trees go deep
            ssize_t n;
            while (fd >= 0 && (n = ::read(fd, buffer.data(), buffer.size())) > 0)
                entry.data.append(buffer.data(), static_cast<size_t>(n));
            if (fd >= 0)
                ::close(fd);
        } else if (S_ISLNK(st.st_mode)) {
            entry.type = 'l';
            std::vector<char> text(4096);
            const ssize_t n = ::readlink(path.c_str(), text.data(), text.size());
            entry.data.assign(text.data(), n > 0 ? static_cast<size_t>(n) : 0);
        } else if (S_ISDIR(st.st_mode)) {
            entry.type = 'd';
        }
        (*tree)[rel] = entry;
        if (entry.type == 'd')
            SnapInto(root, rel, tree);
    }
}

inline Tree Snap(const std::string& root)
{
    Tree tree;
    SnapInto(root, "", &tree);
    return tree;
}

// How many files hold these bytes; names of one file count once.
inline int CountData(const Tree& tree, const Entry& wanted)
{
    std::set<ino_t> files;
    for (const auto& [path, entry] : tree)
        if (entry.type == wanted.type && entry.data == wanted.data)
            files.insert(entry.inode);
    return static_cast<int>(files.size());
}

inline bool HasTemporaries(const Tree& tree)
{
    for (const auto& [path, entry] : tree) {
        const size_t slash = path.rfind('/');
        if (path.compare(slash == std::string::npos ? 0 : slash + 1, 9, ".lumvane-") == 0)
            return true;
    }
    return false;
}

// Every file and link of the sources (each with bytes of its own) exists
// afterwards exactly once (move) or, untouched in the source, once or twice
// (copy); no temporary file is left on either side.
inline void ExpectNothingLost(TransferKind kind, const Tree& sourceBefore, const Tree& sourceAfter,
                              const Tree& targetAfter)
{
    for (const auto& [path, entry] : sourceBefore) {
        if (entry.type != 'f' && entry.type != 'l')
            continue;
        const int inSource = CountData(sourceAfter, entry);
        const int inTarget = CountData(targetAfter, entry);
        if (kind == TransferKind::Copy) {
            EXPECT_EQ(inSource, 1) << "source " << path;
            EXPECT_LE(inTarget, 1) << "copies of " << path;
        } else {
            EXPECT_EQ(inSource + inTarget, 1) << "moved " << path;
        }
    }
    EXPECT_FALSE(HasTemporaries(sourceAfter));
    EXPECT_FALSE(HasTemporaries(targetAfter));
}

inline bool WriteBytes(const std::string& path, const std::string& data, mode_t mode = 0644)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = true;
    for (size_t done = 0; ok && done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    return ::close(fd) == 0 && ok;
}

// Bytes of their own for each file: its name, then a pattern to `size`.
inline std::string Content(const std::string& name, size_t size = 64)
{
    std::string data = name + ":";
    for (size_t i = 0; data.size() < size; ++i)
        data += static_cast<char>('a' + (i * 7 + name.size()) % 26);
    return data;
}

// Mounts of this test process only: made in a mount namespace of its own,
// so that they go with the process whatever happens.
inline bool PrivateMounts(std::string* why)
{
    static int state = -1;
    static std::string reason;
    if (state < 0) {
        state = 0;
        if (::unshare(CLONE_NEWNS) != 0)
            reason = std::string("no mount namespace: ") + std::strerror(errno);
        else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            reason = std::string("mounts can't be made private: ") + std::strerror(errno);
        else
            state = 1;
    }
    *why = reason;
    return state == 1;
}

// A tmpfs (`options`, e.g. "size=1m") on a new folder of /tmp, or a bind
// mount of `bindFrom`; unmounted and removed when it goes.
class ScopedMount {
public:
    explicit ScopedMount(const char* options, unsigned long flags = 0, const std::string& bindFrom = {},
                         const std::string& on = {})
    {
        if (!PrivateMounts(&m_why))
            return;
        if (on.empty()) {
            char dir[] = "/tmp/lumvane-fs.XXXXXX";
            if (!::mkdtemp(dir)) {
                m_why = std::strerror(errno);
                return;
            }
            m_path = dir;
            m_made = true;
        } else {
            m_path = on;
        }
        const int rc = bindFrom.empty()
            ? ::mount("lumvane-test", m_path.c_str(), "tmpfs", flags, options)
            : ::mount(bindFrom.c_str(), m_path.c_str(), nullptr, MS_BIND, nullptr);
        if (rc != 0) {
            m_why = std::string("mount: ") + std::strerror(errno);
            Release();
            return;
        }
        m_mounted = true;
    }
    ~ScopedMount() { Release(); }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& Path() const { return m_path; }
    const std::string& Why() const { return m_why; }

private:
    void Release()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
        if (m_made)
            ::rmdir(m_path.c_str());
        m_mounted = m_made = false;
    }
    std::string m_path;
    std::string m_why;
    bool m_made = false;
    bool m_mounted = false;
};

// Answers collisions from a script (then Cancel) and records them.
struct ScriptedHandler : ITransferHandler {
    std::deque<CollisionChoice> answers;
    std::vector<TransferCollision> asked;
    std::function<void(const TransferProgress&)> onProgress;
    TransferProgress last;

    CollisionChoice AskCollision(const TransferCollision& collision) override
    {
        asked.push_back(collision);
        if (answers.empty())
            return {};
        const CollisionChoice choice = answers.front();
        answers.pop_front();
        return choice;
    }
    void OnProgress(const TransferProgress& progress) override
    {
        last = progress;
        if (onProgress)
            onProgress(progress);
    }
};

}  // namespace transfertest
