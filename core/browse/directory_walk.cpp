#include "browse/directory_walk.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "browse/unique_fd.h"

bool WalkDirectory(const std::string& path, const std::function<bool(int, const dirent&)>& visit)
{
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0)
        return false;
    DIR* dir = ::fdopendir(fd.Get());
    if (!dir)
        return false;
    fd.Release();  // the stream owns it now
    bool whole = true;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name == "." || name == "..")
            continue;
        if (!visit(::dirfd(dir), *entry)) {
            whole = false;
            break;
        }
        errno = 0;
    }
    const int error = whole ? errno : 0;
    ::closedir(dir);
    errno = error;
    return whole && error == 0;
}
