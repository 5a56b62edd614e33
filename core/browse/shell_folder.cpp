#include "browse/shell_folder.h"

#include "browse/directory_walk.h"
#include "files/safe_rename.h"
#include "browse/user_places.h"
#include "error_out.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ItemView {
    uint8_t kind = 0;
    std::string_view name;
};

// The items of a well-formed list, in order; false when an item is too short
// to hold a kind byte.
bool ReadItems(const CShellPidl& list, std::vector<ItemView>* items)
{
    const uint8_t* data = list.Data();
    if (!data)
        return false;
    size_t pos = 0;
    for (;;) {
        const size_t count = data[pos] | (data[pos + 1] << 8);
        if (count == 0)
            return true;
        if (count < 3)
            return false;
        items->push_back(
            {data[pos + 2], std::string_view(reinterpret_cast<const char*>(data + pos + 3), count - 3)});
        pos += count;
    }
}

// Appends in place: a deep list builds its path in one pass, not by copying
// the growing path once per level.
void Append(std::string* path, std::string_view name)
{
    if (path->empty() || path->back() != '/')
        *path += '/';
    *path += name;
}

std::string Join(const std::string& dir, std::string_view name)
{
    std::string path = dir;
    Append(&path, name);
    return path;
}

bool IsAbsoluteMountPoint(std::string_view name)
{
    return !name.empty() && name[0] == '/' && name.find('\0') == std::string_view::npos
        && name.find("/../") == std::string_view::npos
        && name.substr(name.size() >= 3 ? name.size() - 3 : 0) != "/..";
}

// Follows a full list from the Desktop: the folder kind it ends in and, unless
// that is Computer, the path. False for a list that breaks the namespace's
// shape (a volume outside Computer, a bad name).
bool Resolve(const CShellPidl& absolute, CShellFolder::Kind* kind, std::string* path)
{
    std::vector<ItemView> items;
    if (!ReadItems(absolute, &items))
        return false;
    using Kind = CShellFolder::Kind;
    Kind at = Kind::Desktop;
    std::string current;
    for (size_t i = 0; i < items.size(); ++i) {
        const ItemView& item = items[i];
        switch (item.kind) {
        case kItemComputer:
            if (i != 0)
                return false;
            at = Kind::Computer;
            break;
        case kItemHome:
            if (i != 0)
                return false;
            at = Kind::Directory;
            current = HomeDirectory();
            break;
        case kItemVolume:
            if (at != Kind::Computer || !IsAbsoluteMountPoint(item.name))
                return false;
            at = Kind::Directory;
            current = std::string(item.name);
            break;
        case kItemEntry:
            if (at == Kind::Computer || !IsValidEntryName(item.name))
                return false;
            if (at == Kind::Desktop)
                current = DesktopDirectory();
            at = Kind::Directory;
            Append(&current, item.name);
            break;
        default: return false;
        }
    }
    if (at == Kind::Desktop)
        current = DesktopDirectory();
    *kind = at;
    *path = at == Kind::Computer ? std::string() : current;
    return true;
}

uint32_t AttributesOfPath(const std::string& path, bool* exists)
{
    struct stat st {};
    *exists = lstat(path.c_str(), &st) == 0;
    if (!*exists)
        return 0;
    uint32_t attributes = kAttrFileSystem;
    if (S_ISDIR(st.st_mode) || (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        attributes |= kAttrFolder;
    return attributes;
}

// Lists a directory with readdir, so that names which are not valid UTF-8 are
// kept as they are.
bool ReadDirectory(const std::string& path, std::vector<CShellFolder::Item>* items)
{
    return WalkDirectory(path, [items](int folder, const dirent& entry) {
        uint32_t attributes = kAttrFileSystem;
        if (entry.d_type == DT_DIR) {
            attributes |= kAttrFolder;
        } else if (entry.d_type == DT_LNK || entry.d_type == DT_UNKNOWN) {
            struct stat st {};
            if (fstatat(folder, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode))
                attributes |= kAttrFolder;
        }
        items->push_back({CShellPidl::MakeItem(kItemEntry, entry.d_name), attributes});
        return true;
    });
}

}  // namespace

CShellFolder::CShellFolder(Kind kind, std::string path, CShellPidl pidl)
    : m_kind(kind), m_path(std::move(path)), m_pidl(std::move(pidl))
{
}

std::unique_ptr<CShellFolder> CShellFolder::Bind(const CShellPidl& absolute)
{
    Kind kind;
    std::string path;
    if (!Resolve(absolute, &kind, &path))
        return nullptr;
    if (kind != Kind::Computer) {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return nullptr;
    }
    return std::unique_ptr<CShellFolder>(new CShellFolder(kind, std::move(path), absolute));
}

bool CShellFolder::PathOf(const CShellPidl& absolute, std::string* path)
{
    Kind kind;
    return Resolve(absolute, &kind, path) && kind != Kind::Computer;
}

bool CShellFolder::EnumObjects(std::vector<Item>* items) const
{
    switch (m_kind) {
    case Kind::Computer:
        for (const MountedVolume& volume : UserVolumes())
            items->push_back(
                {CShellPidl::MakeItem(kItemVolume, volume.mountPoint), kAttrFolder | kAttrFileSystem});
        return true;
    case Kind::Desktop:
        items->push_back({CShellPidl::MakeItem(kItemComputer, "Computer"), kAttrFolder});
        items->push_back({CShellPidl::MakeItem(kItemHome, "Home"), kAttrFolder | kAttrFileSystem});
        return ReadDirectory(m_path, items);
    case Kind::Directory: return ReadDirectory(m_path, items);
    }
    return false;
}

bool CShellFolder::ItemPath(const CShellPidl& relative, std::string* path) const
{
    uint8_t kind = 0;
    std::string_view name;
    if (m_kind != Kind::Computer && relative.ItemCount() == 1 && relative.FirstItem(&kind, &name)
        && kind == kItemEntry) {
        if (!IsValidEntryName(name))
            return false;
        *path = Join(m_path, name);
        return true;
    }
    CShellPidl full;
    full.Concat(m_pidl, relative);
    Kind at;
    return Resolve(full, &at, path) && at != Kind::Computer;
}

bool CShellFolder::GetAttributesOf(const CShellPidl& relative, uint32_t* attributes) const
{
    CShellPidl full;
    full.Concat(m_pidl, relative);
    Kind at;
    std::string path;
    if (!Resolve(full, &at, &path))
        return false;
    if (at == Kind::Computer) {
        *attributes = kAttrFolder;
        return true;
    }
    bool exists = false;
    *attributes = AttributesOfPath(path, &exists);
    return exists;
}

std::string CShellFolder::GetDisplayNameOf(const CShellPidl& relative, NameKind kind) const
{
    if (kind == NameKind::ForParsing) {
        std::string path;
        return ItemPath(relative, &path) ? path : std::string();
    }
    CShellPidl last = relative;
    CShellPidl child;
    if (!last.Split(nullptr, &child))
        return {};
    uint8_t itemKind = 0;
    std::string_view name;
    if (!child.FirstItem(&itemKind, &name))
        return {};
    if (itemKind == kItemVolume && kind == NameKind::Normal && name != "/")
        name = name.substr(name.find_last_of('/') + 1);
    return kind == NameKind::Normal ? DisplayUtf8(name) : std::string(name);
}

std::unique_ptr<CShellFolder> CShellFolder::BindToObject(const CShellPidl& relative) const
{
    CShellPidl full;
    full.Concat(m_pidl, relative);
    return Bind(full);
}

bool CShellFolder::SetNameOf(const CShellPidl& relative, const std::string& newName, CShellPidl* newRelative,
                             std::string* error) const
{
    uint8_t kind = 0;
    std::string_view oldName;
    if (m_kind == Kind::Computer || relative.ItemCount() != 1 || !relative.FirstItem(&kind, &oldName)
        || kind != kItemEntry || !IsValidEntryName(oldName))
        return Fail(error, "This item cannot be renamed");
    if (!IsValidEntryName(newName))
        return Fail(error, "A name cannot be empty, \".\" or \"..\", or contain \"/\"");
    CShellPidl renamed = CShellPidl::MakeItem(kItemEntry, newName);
    if (renamed.IsNull())
        return Fail(error, RenameErrorText(ENAMETOOLONG));
    if (newName != oldName) {
        const int dir = open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0)
            return Fail(error, RenameErrorText(errno));
        const std::string from(oldName);
        const int result = RenameNoReplace(dir, from.c_str(), dir, newName.c_str());
        close(dir);
        if (result != 0)
            return Fail(error, RenameErrorText(result));
    }
    if (newRelative)
        *newRelative = std::move(renamed);
    return true;
}
