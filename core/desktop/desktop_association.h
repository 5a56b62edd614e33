#pragma once
// CDesktopAssociation: Lumvane as the desktop's handler of JPEG files, the
// freedesktop way. Associate writes the desktop entry lumvane.desktop to the
// user's applications folder and makes it the default for image/jpeg in the
// user's mimeapps.list; Unassociate makes Lumvane no longer the handler,
// giving the type back to the handler it had before when that one is still
// installed. IsAssociated resolves the handler as the desktop does, every
// time it is asked: desktop-specific lists, user and system folders, then
// the caches and the desktop entries that declare the type.
//
// Every file is replaced atomically (a new file renamed over the old one),
// and a symbolic link to mimeapps.list is followed, not replaced. A failed
// Associate or Unassociate leaves every file as it found it.
//
// Thread rules: no shared state; call from one thread at a time (the files
// are the platform's, so two instances must not edit at once).

#include <optional>
#include <string>
#include <vector>

// The freedesktop base folders, absolute paths as bytes; the homes are empty
// when the user has no home, and nothing is then written.
struct XdgDirs {
    std::string dataHome;                 // $XDG_DATA_HOME or ~/.local/share
    std::string configHome;               // $XDG_CONFIG_HOME or ~/.config
    std::vector<std::string> dataDirs;    // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    std::vector<std::string> configDirs;  // $XDG_CONFIG_DIRS or /etc/xdg
    std::vector<std::string> desktops;    // $XDG_CURRENT_DESKTOP, lowercase, in order

    static XdgDirs FromEnvironment();
};

class CDesktopAssociation {
public:
    static constexpr char kDesktopId[] = "lumvane.desktop";
    static constexpr char kMimeType[] = "image/jpeg";

    // programPath: the program's absolute path, written into the entry's Exec.
    CDesktopAssociation(XdgDirs dirs, std::string programPath);

    // The desktop id that opens image/jpeg files now; empty when none does.
    std::string DefaultHandler() const;
    bool IsAssociated() const { return DefaultHandler() == kDesktopId; }

    // False, with every file as it was and `error` (may be null) saying why,
    // when a file can't be read or written.
    bool Associate(std::string* error = nullptr);
    bool Unassociate(std::string* error = nullptr);

    // The desktop entry Associate writes; empty when the program path can't
    // be written in one (not UTF-8, or not absolute).
    std::string DesktopEntryText() const;
    // Where the entry, the user's list and the record of the previous
    // handler live.
    std::string DesktopEntryPath() const;
    std::string UserListPath() const;
    std::string RecordPath() const;
    // The file of an installed desktop id; empty when it is not installed.
    std::string FindDesktopFile(const std::string& id) const;

private:
    struct Edit;
    // The user's own lists, highest precedence first.
    std::vector<std::string> UserLists() const;
    // Every list in the order the desktop consults them.
    std::vector<std::string> ListsInOrder() const;
    // The handler as it is, or as it will be once `pending` is written.
    std::string Resolve(const std::vector<Edit>* pending) const;
    std::optional<std::string> Read(const std::string& path, const std::vector<Edit>* pending) const;
    std::string FallbackHandler(const std::vector<std::string>& removed) const;
    // Adds the file's current text to the edits; false when it can't be read.
    bool LoadEdit(const std::string& path, std::vector<Edit>& edits, std::string* error);
    static Edit* FindEdit(std::vector<Edit>& edits, const std::string& path);
    bool CommitEdits(std::vector<Edit>& edits, std::string* error);
    // False, with `error` saying why, when there is no home to write in.
    bool HasUserFolders(std::string* error) const;
    std::string RecordedPrevious() const;
    void RefreshDatabase() const;

    XdgDirs m_dirs;
    std::string m_program;
};
