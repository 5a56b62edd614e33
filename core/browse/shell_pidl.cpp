#include "browse/shell_pidl.h"

#include "browse/shell_folder.h"
#include "browse/user_places.h"
#include "error_out.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint16_t ReadCount(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void AppendCount(std::vector<uint8_t>* bytes, size_t count)
{
    bytes->push_back(static_cast<uint8_t>(count & 0xFF));
    bytes->push_back(static_cast<uint8_t>((count >> 8) & 0xFF));
}

// An absolute path without empty, "." or ".." parts. The part up to the
// last ".." is resolved through the file system, since a link makes the
// lexical parent wrong; what follows is kept as written, so that a link
// named last stays the item itself and is not replaced by its target.
bool NormalisePath(const std::string& input, std::string* out)
{
    std::string path = input;
    if (path.empty())
        return false;
    if (path[0] != '/') {
        std::vector<char> cwd(4096);
        while (!getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE || cwd.size() > (1u << 20))
                return false;
            cwd.resize(cwd.size() * 2);
        }
        path = std::string(cwd.data()) + "/" + path;
    }
    size_t resolvedEnd = std::string::npos;  // end of the last ".." part
    for (size_t pos = 0; pos <= path.size();) {
        const size_t end = std::min(path.find('/', pos), path.size());
        if (std::string_view(path.data() + pos, end - pos) == "..")
            resolvedEnd = end;
        pos = end + 1;
    }
    if (resolvedEnd != std::string::npos) {
        char* real = realpath(path.substr(0, resolvedEnd).c_str(), nullptr);
        if (!real)
            return false;
        path = std::string(real) + path.substr(resolvedEnd);
        free(real);
    }
    std::vector<std::string_view> parts;
    for (size_t pos = 0; pos <= path.size();) {
        const size_t end = std::min(path.find('/', pos), path.size());
        const std::string_view part(path.data() + pos, end - pos);
        pos = end + 1;
        if (!part.empty() && part != ".")
            parts.push_back(part);
    }
    out->clear();
    for (std::string_view part : parts) {
        *out += '/';
        *out += part;
    }
    if (out->empty())
        *out = "/";
    return true;
}

}  // namespace

bool CShellPidl::IsWellFormed(const uint8_t* data, size_t size)
{
    if (!data || size < 2)
        return false;
    size_t pos = 0;
    for (;;) {
        if (size - pos < 2)
            return false;
        const uint16_t count = ReadCount(data + pos);
        if (count == 0)
            return pos + 2 == size;
        // A count smaller than its own field would never advance.
        if (count < 2 || count > size - pos)
            return false;
        pos += count;
    }
}

bool CShellPidl::FromBytes(const void* data, size_t size)
{
    m_bytes.clear();
    const auto* p = static_cast<const uint8_t*>(data);
    if (!IsWellFormed(p, size))
        return false;
    m_bytes.assign(p, p + size);
    return true;
}

void CShellPidl::Copy(const CShellPidl& list)
{
    if (&list != this)
        m_bytes = list.m_bytes;
}

void CShellPidl::SetEmpty()
{
    m_bytes.assign(2, 0);
}

void CShellPidl::SetSingle(const CShellPidl& list)
{
    std::vector<uint8_t> bytes;
    if (!list.IsNull()) {
        const uint16_t count = ReadCount(list.m_bytes.data());
        bytes.assign(list.m_bytes.begin(), list.m_bytes.begin() + count);
    }
    AppendCount(&bytes, 0);
    m_bytes = std::move(bytes);
}

void CShellPidl::Concat(const CShellPidl& a, const CShellPidl& b)
{
    std::vector<uint8_t> bytes;
    if (!a.IsNull())
        bytes.assign(a.m_bytes.begin(), a.m_bytes.end() - 2);
    if (!b.IsNull())
        bytes.insert(bytes.end(), b.m_bytes.begin(), b.m_bytes.end());
    else
        AppendCount(&bytes, 0);
    m_bytes = std::move(bytes);
}

bool CShellPidl::Split(CShellPidl* parent, CShellPidl* child)
{
    if (m_bytes.size() <= 2)
        return false;
    size_t last = 0;
    size_t pos = 0;
    while (uint16_t count = ReadCount(m_bytes.data() + pos)) {
        last = pos;
        pos += count;
    }
    std::vector<uint8_t> item(m_bytes.begin() + static_cast<ptrdiff_t>(last), m_bytes.end());
    m_bytes.resize(last);
    AppendCount(&m_bytes, 0);
    if (child && child != this)
        child->m_bytes = std::move(item);
    if (parent && parent != this)
        parent->m_bytes = m_bytes;
    return true;
}

bool CShellPidl::Equals(const CShellPidl& list) const
{
    return m_bytes == list.m_bytes;
}

int CShellPidl::ItemCount() const
{
    if (m_bytes.empty())
        return 0;
    int n = 0;
    size_t pos = 0;
    while (uint16_t count = ReadCount(m_bytes.data() + pos)) {
        pos += count;
        ++n;
    }
    return n;
}

CShellPidl CShellPidl::MakeItem(uint8_t kind, std::string_view name)
{
    CShellPidl pidl;
    const size_t count = 3 + name.size();
    if (count > 0xFFFF)
        return pidl;
    AppendCount(&pidl.m_bytes, count);
    pidl.m_bytes.push_back(kind);
    pidl.m_bytes.insert(pidl.m_bytes.end(), name.begin(), name.end());
    AppendCount(&pidl.m_bytes, 0);
    return pidl;
}

bool CShellPidl::FirstItem(uint8_t* kind, std::string_view* name) const
{
    if (m_bytes.size() <= 2)
        return false;
    const uint16_t count = ReadCount(m_bytes.data());
    if (count < 3)
        return false;
    if (kind)
        *kind = m_bytes[2];
    if (name)
        *name = std::string_view(reinterpret_cast<const char*>(m_bytes.data() + 3), count - 3u);
    return true;
}

std::unique_ptr<CShellFolder> CShellPidl::BindFolder() const
{
    return CShellFolder::Bind(*this);
}

bool CShellPidl::ParseName(const std::string& path, uint32_t* attributes)
{
    m_bytes.clear();
    std::string normal;
    if (path.find('\0') != std::string::npos || !NormalisePath(path, &normal))
        return false;
    struct stat st {};
    if (lstat(normal.c_str(), &st) != 0)
        return false;
    const std::vector<MountedVolume> volumes = UserVolumes();
    const int volume = LongestMountFor(volumes, normal);
    if (volume < 0)
        return false;
    const std::string& mount = volumes[static_cast<size_t>(volume)].mountPoint;
    CShellPidl list = MakeItem(kItemComputer, "Computer");
    list.Concat(list, MakeItem(kItemVolume, mount));
    size_t pos = mount.size();
    while (pos < normal.size()) {
        if (normal[pos] == '/')
            ++pos;
        const size_t end = std::min(normal.find('/', pos), normal.size());
        const CShellPidl item = MakeItem(kItemEntry, std::string_view(normal).substr(pos, end - pos));
        if (item.IsNull())
            return false;
        list.Concat(list, item);
        pos = end;
    }
    if (attributes) {
        uint32_t actual = kAttrFileSystem;
        if (S_ISDIR(st.st_mode)
            || (S_ISLNK(st.st_mode) && stat(normal.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
            actual |= kAttrFolder;
        *attributes &= actual;
    }
    m_bytes = std::move(list.m_bytes);
    return true;
}

bool CShellPidl::GetPath(std::string* path) const
{
    CShellPidl parent = *this;
    CShellPidl child;
    if (!parent.Split(nullptr, &child)) {
        auto desktop = CShellFolder::Bind(*this);
        if (!desktop)
            return false;
        *path = desktop->Path();
        return true;
    }
    auto folder = CShellFolder::Bind(parent);
    return folder && folder->ItemPath(child, path);
}

bool CShellPidl::Rename(const std::string& newName, CShellPidl* newRelative, std::string* error)
{
    CShellPidl parent = *this;
    CShellPidl child;
    if (!parent.Split(nullptr, &child)) {
        return Fail(error, "The Desktop cannot be renamed");
    }
    auto folder = CShellFolder::Bind(parent);
    uint32_t attributes = kAttrFolder;
    if (!folder || !folder->GetAttributesOf(child, &attributes)) {
        return Fail(error, "The item no longer exists");
    }
    CShellPidl renamed;
    if (!folder->SetNameOf(child, newName, &renamed, error))
        return false;
    Concat(parent, renamed);
    if (newRelative)
        *newRelative = std::move(renamed);
    return true;
}

std::string GetDisplayName(const CShellFolder& folder, const CShellPidl& relative, NameKind kind)
{
    return folder.GetDisplayNameOf(relative, kind);
}

std::string GetDisplayName(const CShellPidl& absolute, NameKind kind)
{
    CShellPidl parent = absolute;
    CShellPidl child;
    if (!parent.Split(nullptr, &child)) {
        if (absolute.IsNull())
            return {};
        if (kind == NameKind::Normal)
            return "Desktop";
        std::string path;
        return absolute.GetPath(&path) ? path : std::string();
    }
    auto folder = CShellFolder::Bind(parent);
    return folder ? folder->GetDisplayNameOf(child, kind) : std::string();
}

std::string DisplayUtf8(std::string_view bytes)
{
    // Qt's decoder replaces every invalid sequence with U+FFFD.
    const QByteArray utf8 = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}
