#include "browse/folder_listing.h"

#include <cerrno>

bool CFolderListing::Enumerate(const CShellPidl& folder)
{
    m_entries.clear();
    m_bound.reset();
    m_folder = folder;
    errno = 0;
    std::unique_ptr<CShellFolder> bound = folder.BindFolder();
    if (!bound) {
        m_error = errno ? errno : ENOTDIR;
        return false;
    }
    std::vector<CShellFolder::Item> items;
    errno = 0;
    if (!bound->EnumObjects(&items)) {
        m_error = errno ? errno : EIO;
        return false;
    }
    m_error = 0;
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
