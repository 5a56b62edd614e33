#include "browse/user_dirs.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxPasswdBuffer = 1 << 20;

std::string AbsoluteVariable(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string PasswdHome()
{
    struct passwd pw {};
    struct passwd* result = nullptr;
    std::vector<char> buffer(16384);
    int error = 0;
    while ((error = getpwuid_r(geteuid(), &pw, buffer.data(), buffer.size(), &result)) == ERANGE
           && buffer.size() < kMaxPasswdBuffer)
        buffer.resize(buffer.size() * 2);
    if (error == 0 && result && pw.pw_dir && pw.pw_dir[0] == '/')
        return pw.pw_dir;
    return {};
}

// $name when absolute, else the home's `under`, else empty.
std::string BaseDir(const char* name, const char* under)
{
    if (std::string dir = AbsoluteVariable(name); !dir.empty())
        return dir;
    const std::string home = HomeDir();
    return home.empty() ? home : home + under;
}

std::vector<std::string> DirList(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    const std::string text = value && value[0] ? value : fallback;
    std::vector<std::string> dirs;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(':', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string dir = text.substr(pos, end - pos);
        if (!dir.empty() && dir[0] == '/')
            dirs.push_back(dir);
        pos = end + 1;
    }
    return dirs;
}

}  // namespace

std::string HomeDir()
{
    if (std::string home = AbsoluteVariable("HOME"); !home.empty())
        return home;
    return PasswdHome();
}

std::string XdgDataHome()
{
    return BaseDir("XDG_DATA_HOME", "/.local/share");
}

std::string XdgConfigHome()
{
    return BaseDir("XDG_CONFIG_HOME", "/.config");
}

std::string XdgCacheHome()
{
    return BaseDir("XDG_CACHE_HOME", "/.cache");
}

std::string XdgRuntimeDir()
{
    return AbsoluteVariable("XDG_RUNTIME_DIR");
}

std::vector<std::string> XdgDataDirs()
{
    return DirList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

std::vector<std::string> XdgConfigDirs()
{
    return DirList("XDG_CONFIG_DIRS", "/etc/xdg");
}
