#include "browse/folder_listing.h"

#include "browse/directory_walk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace {
FileStamp StampOf(const struct stat& st)
{
    return {int64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}
}  // namespace

bool CFolderListing::Enumerate(const CShellPidl& folder, int* error)
{
    m_entries.clear();
    m_bound.reset();
    m_folder = folder;
    errno = 0;
    std::unique_ptr<CShellFolder> bound = folder.BindFolder();
    if (!bound) {
        if (error)
            *error = errno ? errno : ENOTDIR;
        return false;
    }
    std::vector<CShellFolder::Item> items;
    errno = 0;
    if (!bound->EnumObjects(&items)) {
        if (error)
            *error = errno ? errno : EIO;
        return false;
    }
    m_entries.reserve(items.size());
    for (CShellFolder::Item& item : items) {
        FolderEntry entry;
        entry.isFolder = (item.attributes & kAttrFolder) != 0;
        entry.isFileSystem = (item.attributes & kAttrFileSystem) != 0;
        if (!entry.isFolder && !entry.isFileSystem)
            continue;
        entry.name = bound->GetDisplayNameOf(item.relative, NameKind::Normal);
        if (entry.name.empty())
            continue;
        entry.relative = std::move(item.relative);
        m_entries.push_back(std::move(entry));
    }
    m_bound = std::move(bound);
    return true;
}

bool StampFile(const std::string& path, FileStamp* stamp)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    *stamp = StampOf(st);
    return true;
}

bool ListFiles(const std::string& path, const std::function<bool(std::string_view)>& wanted,
               std::vector<FileEntry>* files, const std::atomic<bool>* stop)
{
    return WalkDirectory(path, [&](int folder, const dirent& entry) {
        const std::string_view name = entry.d_name;
        if (entry.d_type != DT_DIR && wanted(name)) {
            struct stat st {};
            if (::fstatat(folder, entry.d_name, &st, 0) == 0 && !S_ISDIR(st.st_mode))
                files->push_back({std::string(name), StampOf(st)});
            else if (::fstatat(folder, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                files->push_back(
                    {std::string(name), FileStamp {}});  // a link to nothing is listed all the same
        }
        return !(stop && stop->load(std::memory_order_relaxed));
    });
}
