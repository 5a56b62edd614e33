#include "browse/folder_listing.h"

bool CFolderListing::Enumerate(const CShellPidl& folder)
{
    m_entries.clear();
    m_bound.reset();
    m_folder = folder;
    std::unique_ptr<CShellFolder> bound = folder.BindFolder();
    if (!bound)
        return false;
    std::vector<CShellFolder::Item> items;
    if (!bound->EnumObjects(&items))
        return false;
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
