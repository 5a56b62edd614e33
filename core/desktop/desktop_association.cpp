#include "desktop/desktop_association.h"

#include "browse/unique_fd.h"
#include "browse/user_dirs.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include "desktop/mimeapps_list.h"
#include "error_out.h"

namespace fs = std::filesystem;

namespace {

constexpr char kDefaultGroup[] = "Default Applications";
constexpr char kAddedGroup[] = "Added Associations";
constexpr char kRemovedGroup[] = "Removed Associations";
constexpr char kRecordKey[] = "previous=";
constexpr int kMaxLinks = 40;

std::string Lowercase(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool IsUtf8(const std::string& bytes)
{
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return text.toUtf8().toStdString() == bytes;
}

// The whole file; none when it does not exist. `error` is set when it exists
// but can't be read, since editing what could not be read would lose it.
std::optional<std::string> ReadFile(const std::string& path, std::string* error)
{
    const CUniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Valid()) {
        if (errno != ENOENT && errno != ENOTDIR && error)
            *error = "can't read " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = path + " is not a regular file";
        return std::nullopt;
    }
    std::string text;
    char buf[16384];
    ssize_t n;
    while ((n = read(fd.Get(), buf, sizeof buf)) > 0)
        text.append(buf, size_t(n));
    if (n < 0) {
        if (error)
            *error = "can't read " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return text;
}

// The file a path finally names: links are followed, so that a linked
// mimeapps.list is edited where it lives and stays a link.
std::string ResolveLinks(std::string path)
{
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return path;
        path = (target.is_absolute() ? target : fs::path(path).parent_path() / target).lexically_normal();
    }
    return path;
}

// Creates the folder and its missing parents; `created` gets the ones made,
// outermost first.
void MakeFolders(const fs::path& dir, std::vector<std::string>* created)
{
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path p = dir; !p.empty() && p != p.root_path() && !fs::exists(p, ec); p = p.parent_path())
        missing.push_back(p);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (mkdir(it->c_str(), 0755) != 0)
            return;
        if (created)
            created->push_back(it->string());
    }
}

// Writes a new file beside the target and renames it over the target, so a
// reader sees the old or the new file, never a part. The target keeps its
// permissions.
bool WriteAtomically(const std::string& path, const std::string& text, std::vector<std::string>* createdDirs,
                     std::string* error)
{
    const std::string target = ResolveLinks(path);
    const fs::path dir = fs::path(target).parent_path();
    MakeFolders(dir, createdDirs);
    mode_t mode = 0644;
    struct stat st {};
    if (stat(target.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    std::string temp = (dir / ("." + fs::path(target).filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(error, "can't write in " + dir.string() + ": " + std::strerror(errno));
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        ok = n > 0;
        done += ok ? size_t(n) : 0;
    }
    ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    const int saved = errno;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temp.c_str(), target.c_str()) == 0)
        return true;
    Fail(error, "can't write " + target + ": " + std::strerror(ok ? errno : saved));
    unlink(temp.c_str());
    return false;
}

bool RemoveFile(const std::string& path, std::string* error)
{
    if (unlink(ResolveLinks(path).c_str()) == 0 || errno == ENOENT)
        return true;
    return Fail(error, "can't remove " + path + ": " + std::strerror(errno));
}

// One argument of an Exec line: field codes escaped, quoted when it holds a
// reserved character, then escaped as a desktop-entry string.
std::string ExecArgument(const std::string& arg)
{
    std::string text;
    bool quote = false;
    for (char c : arg) {
        if (std::strchr(" \t\n\"'\\><~|&;$*?#()`", c))
            quote = true;
        if (c == '%')
            text += '%';
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            text += '\\';
        text += c;
    }
    if (quote)
        text = "\"" + text + "\"";
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

bool Contains(const std::vector<std::string>& items, const std::string& item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

std::vector<std::string> Without(std::vector<std::string> items, const std::string& item)
{
    std::erase(items, item);
    return items;
}

}  // namespace

XdgDirs XdgDirs::FromEnvironment()
{
    XdgDirs dirs;
    dirs.dataHome = XdgDataHome();
    dirs.configHome = XdgConfigHome();
    dirs.dataDirs = XdgDataDirs();
    dirs.configDirs = XdgConfigDirs();
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    std::string text = desktops ? desktops : "";
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(':', pos);
        if (end == std::string::npos)
            end = text.size();
        if (end > pos)
            dirs.desktops.push_back(Lowercase(text.substr(pos, end - pos)));
        pos = end + 1;
    }
    return dirs;
}

// A pending change of one file: its text before (none: absent) and after
// (none: remove it).
struct CDesktopAssociation::Edit {
    std::string path;
    std::optional<std::string> before;
    std::optional<std::string> after;
};

CDesktopAssociation::CDesktopAssociation(XdgDirs dirs, std::string programPath)
    : m_dirs(std::move(dirs)), m_program(std::move(programPath))
{
}

std::string CDesktopAssociation::DesktopEntryPath() const
{
    return m_dirs.dataHome + "/applications/" + kDesktopId;
}

std::string CDesktopAssociation::UserListPath() const
{
    return m_dirs.configHome + "/mimeapps.list";
}

std::string CDesktopAssociation::RecordPath() const
{
    return m_dirs.dataHome + "/lumvane/association";
}

std::string CDesktopAssociation::DesktopEntryText() const
{
    if (m_program.empty() || m_program[0] != '/' || !IsUtf8(m_program))
        return {};
    return std::string("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Lumvane\n"
                       "GenericName=Photo Viewer\n"
                       "Comment=Browse and view JPEG photos\n"
                       "Exec=")
        + ExecArgument(m_program)
        + " %f\n"
          "Icon=lumvane\n"
          "Terminal=false\n"
          "Categories=Graphics;Viewer;Photography;\n"
          "MimeType=image/jpeg;\n";
}

std::string CDesktopAssociation::FindDesktopFile(const std::string& id) const
{
    if (id.empty() || id.find('/') != std::string::npos || id.find("..") != std::string::npos)
        return {};
    std::vector<std::string> dirs {m_dirs.dataHome};
    dirs.insert(dirs.end(), m_dirs.dataDirs.begin(), m_dirs.dataDirs.end());
    // "vendor-name.desktop" may also be the file vendor/name.desktop.
    std::vector<std::string> names {id};
    for (size_t dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1))
        names.push_back(id.substr(0, dash) + "/" + id.substr(dash + 1));
    for (const std::string& dir : dirs) {
        for (const std::string& name : names) {
            const std::string path = dir + "/applications/" + name;
            struct stat st {};
            if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                return path;
        }
    }
    return {};
}

std::vector<std::string> CDesktopAssociation::UserLists() const
{
    std::vector<std::string> lists;
    for (const std::string& base : {m_dirs.configHome, m_dirs.dataHome + "/applications"}) {
        for (const std::string& desktop : m_dirs.desktops)
            lists.push_back(base + "/" + desktop + "-mimeapps.list");
        lists.push_back(base + "/mimeapps.list");
    }
    return lists;
}

std::vector<std::string> CDesktopAssociation::ListsInOrder() const
{
    std::vector<std::string> bases {m_dirs.configHome};
    bases.insert(bases.end(), m_dirs.configDirs.begin(), m_dirs.configDirs.end());
    bases.push_back(m_dirs.dataHome + "/applications");
    for (const std::string& dir : m_dirs.dataDirs)
        bases.push_back(dir + "/applications");
    std::vector<std::string> lists;
    for (const std::string& base : bases) {
        for (const std::string& desktop : m_dirs.desktops)
            lists.push_back(base + "/" + desktop + "-mimeapps.list");
        lists.push_back(base + "/mimeapps.list");
    }
    return lists;
}

std::optional<std::string> CDesktopAssociation::Read(const std::string& path,
                                                     const std::vector<Edit>* pending) const
{
    if (pending)
        for (const Edit& edit : *pending)
            if (edit.path == path)
                return edit.after;
    return ReadFile(path, nullptr);
}

// The first installed default of the lists in their order, unless a list of
// higher precedence removed it; then what the caches and the entries that
// declare the type offer.
std::string CDesktopAssociation::Resolve(const std::vector<Edit>* pending) const
{
    std::vector<std::string> removed;
    for (const std::string& path : ListsInOrder()) {
        const auto text = Read(path, pending);
        if (!text)
            continue;
        const CMimeAppsList list(*text);
        for (const std::string& id : list.Items(kDefaultGroup, kMimeType))
            if (!Contains(removed, id) && !FindDesktopFile(id).empty())
                return id;
        for (const std::string& id : list.Items(kRemovedGroup, kMimeType))
            removed.push_back(id);
    }
    return FallbackHandler(removed);
}

std::string CDesktopAssociation::FallbackHandler(const std::vector<std::string>& removed) const
{
    std::vector<std::string> dirs {m_dirs.dataHome};
    dirs.insert(dirs.end(), m_dirs.dataDirs.begin(), m_dirs.dataDirs.end());
    const std::pair<const char*, const char*> caches[]
        = {{"defaults.list", kDefaultGroup}, {"mimeinfo.cache", "MIME Cache"}};
    for (const std::string& dir : dirs) {
        for (const auto& [name, group] : caches) {
            const auto text = ReadFile(dir + "/applications/" + name, nullptr);
            if (!text)
                continue;
            const auto items = CMimeAppsList(*text).Items(group, kMimeType);
            if (!items.empty() && !Contains(removed, items[0]) && !FindDesktopFile(items[0]).empty())
                return items[0];
        }
    }
    // Every entry that declares the type; the highest InitialPreference wins,
    // the first found among equals. An id found once hides later ones.
    std::string best;
    long bestPreference = -1;
    std::set<std::string> seen;
    for (const std::string& dir : dirs) {
        const fs::path apps = fs::path(dir) / "applications";
        std::error_code ec;
        auto it = fs::recursive_directory_iterator(apps, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->path().extension() != ".desktop")
                continue;
            std::string id = it->path().lexically_relative(apps).string();
            std::replace(id.begin(), id.end(), '/', '-');
            if (!seen.insert(id).second || Contains(removed, id))
                continue;
            const auto text = ReadFile(it->path().string(), nullptr);
            if (!text)
                continue;
            const CMimeAppsList entry(*text);
            if (!Contains(entry.Items("Desktop Entry", "MimeType"), kMimeType)
                || entry.Value("Desktop Entry", "Hidden") == "true")
                continue;
            const long preference = std::strtol(
                entry.Value("Desktop Entry", "InitialPreference").value_or("0").c_str(), nullptr, 10);
            if (preference > bestPreference) {
                bestPreference = preference;
                best = id;
            }
        }
    }
    return best;
}

std::string CDesktopAssociation::DefaultHandler() const
{
    return Resolve(nullptr);
}

std::string CDesktopAssociation::RecordedPrevious() const
{
    const auto text = ReadFile(RecordPath(), nullptr);
    if (!text || text->rfind(kRecordKey, 0) != 0)
        return {};
    std::string id = text->substr(std::strlen(kRecordKey));
    id = id.substr(0, id.find('\n'));
    return id;
}

// Writes every pending file; when one fails, the ones written before get
// their old text back, so the platform never sees half an association.
bool CDesktopAssociation::CommitEdits(std::vector<Edit>& edits, std::string* error)
{
    std::vector<std::string> createdDirs;
    for (size_t i = 0; i < edits.size(); ++i) {
        const Edit& edit = edits[i];
        if (edit.before == edit.after)
            continue;
        const bool ok = edit.after ? WriteAtomically(edit.path, *edit.after, &createdDirs, error)
                                   : RemoveFile(edit.path, error);
        if (ok)
            continue;
        for (size_t j = 0; j < i; ++j) {
            const Edit& done = edits[j];
            if (done.before == done.after)
                continue;
            if (done.before)
                WriteAtomically(done.path, *done.before, nullptr, nullptr);
            else
                RemoveFile(done.path, nullptr);
        }
        for (auto dir = createdDirs.rbegin(); dir != createdDirs.rend(); ++dir)
            rmdir(dir->c_str());
        return false;
    }
    return true;
}

bool CDesktopAssociation::LoadEdit(const std::string& path, std::vector<Edit>& edits, std::string* error)
{
    for (const Edit& edit : edits)
        if (edit.path == path)
            return true;
    std::string why;
    auto text = ReadFile(path, &why);
    if (!why.empty())
        return Fail(error, why);
    edits.push_back({path, text, text});
    return true;
}

CDesktopAssociation::Edit* CDesktopAssociation::FindEdit(std::vector<Edit>& edits, const std::string& path)
{
    for (Edit& edit : edits)
        if (edit.path == path)
            return &edit;
    return nullptr;
}

void CDesktopAssociation::RefreshDatabase() const
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (tool.isEmpty())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(tool, {QStringLiteral("-q"), QString::fromLocal8Bit(m_dirs.dataHome + "/applications")});
    if (!process.waitForFinished(10000))
        process.kill();
    process.waitForFinished(1000);
}

bool CDesktopAssociation::HasUserFolders(std::string* error) const
{
    return (!m_dirs.dataHome.empty() && !m_dirs.configHome.empty())
        || Fail(error, "there is no home folder to write the association in");
}

bool CDesktopAssociation::Associate(std::string* error)
{
    if (!HasUserFolders(error))
        return false;
    const std::string entry = DesktopEntryText();
    if (entry.empty())
        return Fail(error, "the program's path can't be written in a desktop entry");
    const std::string before = DefaultHandler();
    std::vector<Edit> edits;
    if (!LoadEdit(DesktopEntryPath(), edits, error))
        return false;
    FindEdit(edits, DesktopEntryPath())->after = entry;
    const std::string mainList = UserListPath();
    bool aboveMain = true;  // the desktop-specific lists of the config folder come first
    for (const std::string& path : UserLists()) {
        if (!LoadEdit(path, edits, error))
            return false;
        Edit* edit = FindEdit(edits, path);
        const bool isMain = path == mainList;
        if (!edit->after && !isMain)
            continue;
        CMimeAppsList list(edit->after.value_or(""));
        auto defaults = list.Items(kDefaultGroup, kMimeType);
        // A list above the main one that names another handler would hide ours.
        if (isMain || (aboveMain && !defaults.empty() && defaults[0] != kDesktopId)) {
            defaults = Without(defaults, kDesktopId);
            defaults.insert(defaults.begin(), kDesktopId);
            list.SetItems(kDefaultGroup, kMimeType, defaults);
        }
        if (isMain) {
            auto added = Without(list.Items(kAddedGroup, kMimeType), kDesktopId);
            added.insert(added.begin(), kDesktopId);
            list.SetItems(kAddedGroup, kMimeType, added);
            aboveMain = false;
        }
        const auto removed = list.Items(kRemovedGroup, kMimeType);
        if (Contains(removed, kDesktopId))
            list.SetItems(kRemovedGroup, kMimeType, Without(removed, kDesktopId));
        edit->after = list.Text();
    }
    if (!before.empty() && before != kDesktopId) {
        if (!LoadEdit(RecordPath(), edits, error))
            return false;
        FindEdit(edits, RecordPath())->after = kRecordKey + before + "\n";
    }
    if (!CommitEdits(edits, error))
        return false;
    RefreshDatabase();
    return true;
}

bool CDesktopAssociation::Unassociate(std::string* error)
{
    if (!HasUserFolders(error))
        return false;
    const std::string previous = RecordedPrevious();
    std::vector<Edit> edits;
    if (!LoadEdit(RecordPath(), edits, error))
        return false;
    FindEdit(edits, RecordPath())->after.reset();
    bool wasFirst = false;
    for (const std::string& path : UserLists()) {
        if (!LoadEdit(path, edits, error))
            return false;
        Edit* edit = FindEdit(edits, path);
        if (!edit->after)
            continue;
        CMimeAppsList list(*edit->after);
        // Only our own choice is taken back: a handler another program put
        // first since then stays as it is.
        const auto defaults = list.Items(kDefaultGroup, kMimeType);
        if (!defaults.empty() && defaults[0] == kDesktopId) {
            wasFirst = true;
            list.SetItems(kDefaultGroup, kMimeType, Without(defaults, kDesktopId));
        }
        const auto added = list.Items(kAddedGroup, kMimeType);
        if (Contains(added, kDesktopId))
            list.SetItems(kAddedGroup, kMimeType, Without(added, kDesktopId));
        edit->after = list.Text();
    }
    const std::string mainList = UserListPath();
    const auto editMain = [&](const char* group, const std::string& id) {
        if (!LoadEdit(mainList, edits, error))
            return false;
        Edit* edit = FindEdit(edits, mainList);
        CMimeAppsList list(edit->after.value_or(""));
        auto items = Without(list.Items(group, kMimeType), id);
        items.insert(items.begin(), id);
        list.SetItems(group, kMimeType, items);
        edit->after = list.Text();
        return true;
    };
    // The handler from before comes back when taking ours away does not
    // lead to it by itself (it was, say, only a system-wide choice).
    if (wasFirst && !previous.empty() && previous != kDesktopId && !FindDesktopFile(previous).empty()
        && Resolve(&edits) != previous && !editMain(kDefaultGroup, previous))
        return false;
    // Still the handler through a system-wide list or as the only program
    // for the type: the user's list removes it.
    if (Resolve(&edits) == kDesktopId && !editMain(kRemovedGroup, kDesktopId))
        return false;
    if (!CommitEdits(edits, error))
        return false;
    RefreshDatabase();
    return true;
}
