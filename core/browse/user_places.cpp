#include "browse/user_places.h"

#include "browse/unique_fd.h"
#include "browse/user_dirs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// File systems that hold no user files (kernel interfaces, memory-backed
// scratch, container layers, packaged read-only images).
constexpr std::array<std::string_view, 30> kPseudoFileSystems = {
    "autofs",      "binfmt_misc", "bpf",        "cgroup",     "cgroup2",   "configfs",
    "debugfs",     "devpts",      "devtmpfs",   "efivarfs",   "fusectl",   "fuse.gvfsd-fuse",
    "fuse.portal", "hugetlbfs",   "mqueue",     "nsfs",       "overlay",   "proc",
    "pstore",      "ramfs",       "rpc_pipefs", "securityfs", "selinuxfs", "squashfs",
    "sysfs",       "tmpfs",       "tracefs",    "devfs",      "aufs",      "nfsd",
};

// Trees where the system mounts its own things.
constexpr std::array<std::string_view, 8> kSystemTrees = {
    "/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var", "/tmp",
};

bool IsUnder(std::string_view path, std::string_view tree)
{
    return path == tree
        || (path.size() > tree.size() && path.substr(0, tree.size()) == tree && path[tree.size()] == '/');
}

// Mount table fields escape blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(std::string_view field)
{
    const auto isOct = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOct(field[i + 1]) && isOct(field[i + 2])
            && isOct(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3)
                                     | (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        const size_t end = std::min(line.find(' ', pos), line.size());
        if (end > pos)
            fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ReadSmallFile(const std::string& path, size_t limit)
{
    std::string text;
    // Non-blocking, and regular files only: a pipe in place of a settings file
    // must not hang the caller.
    const CUniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return text;
    char buffer[4096];
    while (text.size() < limit) {
        const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs text: "$HOME/..." or an
// absolute path in double quotes, with backslash escapes.
std::string DesktopFromUserDirs(std::string_view text, const std::string& home)
{
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        constexpr std::string_view key = "XDG_DESKTOP_DIR=\"";
        if (line.substr(0, key.size()) != key)
            continue;
        line.remove_prefix(key.size());
        std::string value;
        for (size_t i = 0; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            value += line[i];
        }
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
    }
    return {};
}

}  // namespace

std::string HomeDirectory()
{
    const std::string home = HomeDir();
    return home.empty() ? "/" : home;
}

std::string DesktopDirectory()
{
    const std::string home = HomeDirectory();
    const std::string config = XdgConfigHome();
    std::string desktop = config.empty()
        ? std::string()
        : DesktopFromUserDirs(ReadSmallFile(config + "/user-dirs.dirs", 65536), home);
    while (desktop.size() > 1 && desktop.back() == '/')
        desktop.pop_back();
    return !desktop.empty() && IsDirectory(desktop) ? desktop : home;
}

std::vector<MountedVolume> ParseMountInfo(std::string_view text)
{
    std::vector<MountedVolume> mounts;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        const std::vector<std::string_view> fields = SplitBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 3 || dash - fields.begin() < 6)
            continue;
        MountedVolume volume;
        volume.mountPoint = Unescape(fields[4]);
        volume.fsType = Unescape(dash[1]);
        volume.source = Unescape(dash[2]);
        if (volume.mountPoint.empty() || volume.mountPoint[0] != '/')
            continue;
        mounts.push_back(std::move(volume));
    }
    return mounts;
}

std::vector<MountedVolume> UserVolumes(const std::vector<MountedVolume>& mounts)
{
    std::vector<MountedVolume> volumes;
    volumes.push_back(MountedVolume {"/", {}, {}});
    for (const MountedVolume& m : mounts) {
        if (m.mountPoint == "/") {
            volumes[0] = m;
            continue;
        }
        if (std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), m.fsType)
            != kPseudoFileSystems.end())
            continue;
        const bool removableTree = IsUnder(m.mountPoint, "/run/media");
        if (!removableTree
            && std::any_of(kSystemTrees.begin(), kSystemTrees.end(),
                           [&](std::string_view tree) { return IsUnder(m.mountPoint, tree); }))
            continue;
        // A later mount on the same point hides the earlier one.
        auto same = std::find_if(volumes.begin(), volumes.end(),
                                 [&](const MountedVolume& v) { return v.mountPoint == m.mountPoint; });
        if (same != volumes.end())
            *same = m;
        else
            volumes.push_back(m);
    }
    std::sort(volumes.begin() + 1, volumes.end(),
              [](const MountedVolume& a, const MountedVolume& b) { return a.mountPoint < b.mountPoint; });
    return volumes;
}

std::vector<MountedVolume> UserVolumes()
{
    return UserVolumes(ParseMountInfo(ReadSmallFile("/proc/self/mountinfo", 4 << 20)));
}

int LongestMountFor(const std::vector<MountedVolume>& volumes, std::string_view path)
{
    int best = -1;
    size_t bestLength = 0;
    for (size_t i = 0; i < volumes.size(); ++i) {
        const std::string& mount = volumes[i].mountPoint;
        const bool contains = mount == "/" ? !path.empty() && path[0] == '/' : IsUnder(path, mount);
        if (contains && (best < 0 || mount.size() > bestLength)) {
            best = static_cast<int>(i);
            bestLength = mount.size();
        }
    }
    return best;
}
