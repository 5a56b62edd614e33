#pragma once
// The folder object behind CShellPidl::BindFolder: one bound folder of the
// namespace, listing its items and naming them.
//
// The namespace: the Desktop (the empty list) is the user's desktop directory
// and lists the virtual folder "Computer", the "Home" folder, then the
// desktop directory's own entries. "Computer" lists the file-system root and
// the mounted volumes a user would expect. Every other folder is a directory.
//
// Item kinds (the first byte after the count of each item; the name bytes
// follow):
//   'C' Computer (name "Computer"), only directly below the Desktop;
//   'H' Home (name "Home"), only directly below the Desktop;
//   'V' a volume (name = its absolute mount point), only inside Computer;
//   'E' a directory entry (name = the file name as the kernel stores it).
//
// A folder object never changes after it is made, so its const methods may be
// called from any thread (the loader's workers ask it for paths); it must
// outlive those calls.

#include "browse/shell_pidl.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr uint8_t kItemComputer = 'C';
inline constexpr uint8_t kItemHome = 'H';
inline constexpr uint8_t kItemVolume = 'V';
inline constexpr uint8_t kItemEntry = 'E';

class CShellFolder {
public:
    enum class Kind { Desktop, Computer, Directory };

    struct Item {
        CShellPidl relative;  // one-item list
        uint32_t attributes = 0;
    };

    // The folder a full list names, or null when it names no folder now.
    static std::unique_ptr<CShellFolder> Bind(const CShellPidl& absolute);
    // The path a full list names, without asking the file system whether it
    // exists; false for Computer and for a list of the wrong shape.
    static bool PathOf(const CShellPidl& absolute, std::string* path);

    Kind GetKind() const { return m_kind; }
    // The directory this folder shows; empty for Computer.
    const std::string& Path() const { return m_path; }
    // The full list of this folder.
    const CShellPidl& Pidl() const { return m_pidl; }

    // Every item of the folder, hidden ones included, in directory order.
    // False when the folder cannot be read.
    bool EnumObjects(std::vector<Item>* items) const;
    // kAttrFolder and kAttrFileSystem of an item; false when it does not exist.
    bool GetAttributesOf(const CShellPidl& relative, uint32_t* attributes) const;
    std::string GetDisplayNameOf(const CShellPidl& relative, NameKind kind) const;
    // The folder below this one that `relative` (one or more items) names.
    std::unique_ptr<CShellFolder> BindToObject(const CShellPidl& relative) const;
    // Renames an item of this folder without replacing anything; see
    // CShellPidl::Rename.
    bool SetNameOf(const CShellPidl& relative, const std::string& newName, CShellPidl* newRelative,
                   std::string* error) const;
    // The absolute path of an item of this folder; false for virtual items.
    bool ItemPath(const CShellPidl& relative, std::string* path) const;

private:
    CShellFolder(Kind kind, std::string path, CShellPidl pidl);

    const Kind m_kind;
    const std::string m_path;
    const CShellPidl m_pidl;
};
