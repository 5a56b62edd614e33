#include "files/transfer_plan.h"

#include "files/safe_rename.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>
#include <system_error>
#include <utility>

namespace {

using Identity = std::pair<dev_t, ino_t>;

Identity IdentityOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino};
}

std::string ErrorText(int error)
{
    return std::generic_category().message(error);
}

// Opens a folder for reading when allowed, else for naming items only.
CUniqueFd OpenFolder(const std::string& path)
{
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid() && errno == EACCES)
        fd.Reset(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return fd;
}

class CPlanner {
public:
    CPlanner(TransferKind kind, TransferPlan& plan) : m_kind(kind), m_plan(plan) {}

    bool OpenTarget();
    void AddSource(const std::string& path);

private:
    void Refuse(const std::string& path, std::string reason)
    {
        m_plan.refusals.push_back({TransferProblem::Kind::Refused, path, std::move(reason)});
    }
    bool Walk(int dir, const std::string& name, const struct stat& st, const std::string& path, int depth);
    bool WalkFolder(int dir, const std::string& name, const struct stat& st, const std::string& path,
                    int depth);

    const TransferKind m_kind;
    TransferPlan& m_plan;
    std::vector<Identity> m_targetChain;  // the target and every folder above it
    std::set<std::pair<Identity, std::string>> m_seen;
    std::vector<Identity> m_walking;  // the folders being walked, outermost first
    std::string m_sourcePath;         // the source being walked, as given
    std::set<Identity> m_linked;      // files of several names met so far
};

bool CPlanner::OpenTarget()
{
    const std::string& path = m_plan.targetPath;
    m_plan.target = path.empty() ? CUniqueFd() : OpenFolder(path);
    if (!m_plan.target.Valid()) {
        Refuse(path, path.empty() || errno == ENOTDIR ? "It is not a folder" : ErrorText(errno));
        return false;
    }
    ::fstat(m_plan.target.Get(), &m_plan.targetStatus);
    if (::faccessat(m_plan.target.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        Refuse(path, ErrorText(errno));
        return false;
    }
    // The folders above the target, by their true names, so that a folder
    // reached through a link is still seen to hold the target.
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        Refuse(path, ErrorText(errno));
        return false;
    }
    std::string up = real;
    std::free(real);
    for (;;) {
        struct stat st {};
        if (::stat(up.c_str(), &st) == 0)
            m_targetChain.push_back(IdentityOf(st));
        const size_t slash = up.rfind('/');
        if (slash == std::string::npos || up == "/")
            break;
        up = slash == 0 ? "/" : up.substr(0, slash);
    }
    return true;
}

void CPlanner::AddSource(const std::string& path)
{
    TransferSource source;
    source.path = path;
    std::string folder;
    if (!SplitSourcePath(path, &folder, &source.name)) {
        Refuse(path, "The root folder can't be moved or copied");
        return;
    }
    source.parent.Reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat parent {};
    if (!source.parent.Valid() || ::fstat(source.parent.Get(), &parent) != 0
        || ::fstatat(source.parent.Get(), source.name.c_str(), &source.st, AT_SYMLINK_NOFOLLOW) != 0) {
        Refuse(path, ErrorText(errno));
        return;
    }
    // Given twice: it goes once.
    if (!m_seen.insert({IdentityOf(parent), source.name}).second)
        return;
    if (IdentityOf(parent) == IdentityOf(m_plan.targetStatus)) {
        Refuse(path, "It is in that folder already");
        return;
    }
    if (S_ISDIR(source.st.st_mode)) {
        const auto found = std::find(m_targetChain.begin(), m_targetChain.end(), IdentityOf(source.st));
        if (found == m_targetChain.begin()) {
            Refuse(path, "A folder can't go into itself");
            return;
        }
        if (found != m_targetChain.end()) {
            Refuse(path, "A folder can't go into its own subfolder");
            return;
        }
    }
    if (m_kind == TransferKind::Move && ::faccessat(source.parent.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        Refuse(path, "It can't be taken out of its folder: " + ErrorText(errno));
        return;
    }
    // A folder that goes elsewhere rewrites its own link to its parent.
    if (m_kind == TransferKind::Move && S_ISDIR(source.st.st_mode)
        && ::faccessat(source.parent.Get(), source.name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW)
            != 0) {
        Refuse(path, "It can't be moved: " + ErrorText(errno));
        return;
    }
    // A rename can't leave its mount, even for a bind mount of the same file
    // system: then the move copies, and its tree is walked as a copy's is.
    const bool copies = m_kind == TransferKind::Copy || !OnOneMount(source.parent.Get(), m_plan.target.Get());
    m_sourcePath = path;
    if (copies && !Walk(source.parent.Get(), source.name, source.st, path, 0))
        return;
    if (!copies)
        ++m_plan.files;
    m_plan.sources.push_back(std::move(source));
}

bool CPlanner::Walk(int dir, const std::string& name, const struct stat& st, const std::string& path,
                    int depth)
{
    if (S_ISREG(st.st_mode)) {
        ++m_plan.files;
        // A file of several names is copied once and linked for the others.
        if (st.st_nlink < 2 || m_linked.insert(IdentityOf(st)).second)
            m_plan.bytes += static_cast<uint64_t>(st.st_size);
    } else if (S_ISLNK(st.st_mode)) {
        ++m_plan.files;
    } else if (S_ISDIR(st.st_mode)) {
        return WalkFolder(dir, name, st, path, depth);
    }
    return true;  // special files are skipped when it comes to them
}

bool CPlanner::WalkFolder(int dir, const std::string& name, const struct stat& st, const std::string& path,
                          int depth)
{
    if (depth >= kMaxTransferDepth) {
        Refuse(path, "Its folders are nested too deeply");
        return false;
    }
    // The target reached inside the source (through a bind mount, where its
    // path does not show it): the copy would go on copying itself.
    if (IdentityOf(st) == IdentityOf(m_plan.targetStatus)) {
        Refuse(m_sourcePath, "A folder can't go into its own subfolder");
        return false;
    }
    if (std::find(m_walking.begin(), m_walking.end(), IdentityOf(st)) != m_walking.end()) {
        Refuse(path, "Its folders loop back into themselves");
        return false;
    }
    CUniqueFd folder(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<std::string> names;
    if (!folder.Valid() || !ReadFolderNames(folder.Get(), &names)) {
        Refuse(path, ErrorText(errno));
        return false;
    }
    // A move empties every folder it copies: each must let its items go.
    if (m_kind == TransferKind::Move && ::faccessat(folder.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        Refuse(path, "Its items can't be taken out of it: " + ErrorText(errno));
        return false;
    }
    m_walking.push_back(IdentityOf(st));
    bool ok = true;
    for (const std::string& child : names) {
        struct stat childStatus {};
        // Gone meanwhile: nothing to count.
        if (::fstatat(folder.Get(), child.c_str(), &childStatus, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!Walk(folder.Get(), child, childStatus, JoinPath(path, child), depth + 1)) {
            ok = false;
            break;
        }
    }
    m_walking.pop_back();
    return ok;
}

}  // namespace

bool SplitSourcePath(const std::string& path, std::string* folder, std::string* name)
{
    std::string whole = path;
    while (whole.size() > 1 && whole.back() == '/')
        whole.pop_back();
    for (int pass = 0; pass < 2; ++pass) {
        if (whole.empty() || whole == "/")
            return false;
        const size_t slash = whole.rfind('/');
        *name = slash == std::string::npos ? whole : whole.substr(slash + 1);
        *folder = slash == std::string::npos ? "." : slash == 0 ? "/" : whole.substr(0, slash);
        if (*name != "." && *name != "..")
            return true;
        // "." and ".." name a folder by its relation: take its true name.
        char* real = ::realpath(whole.c_str(), nullptr);
        if (!real)
            return true;  // the lookup fails with the reason
        whole = real;
        std::free(real);
    }
    return false;
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool ReadFolderNames(int dirFd, std::vector<std::string>* names)
{
    // A description of its own, so that reading does not move anyone's offset.
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(name);
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    std::sort(names->begin(), names->end());
    errno = error;
    return error == 0;
}

TransferPlan PlanTransfer(TransferKind kind, const std::vector<std::string>& sources,
                          const std::string& targetDir)
{
    TransferPlan plan;
    plan.targetPath = targetDir;
    CPlanner planner(kind, plan);
    if (!planner.OpenTarget())
        return plan;
    for (const std::string& source : sources)
        planner.AddSource(source);
    if (plan.sources.empty() && plan.refusals.empty())
        plan.refusals.push_back({TransferProblem::Kind::Refused, targetDir, "Nothing to move or copy"});
    return plan;
}
