#pragma once
// Item identifier lists and their owning holder.
//
// A list is a run of items, each starting with a 16-bit little-endian byte
// count that includes the count itself, followed by opaque bytes; a 16-bit
// zero ends the list. The empty list (2 bytes) is the Desktop, the root of
// the namespace. A full list names an item from the Desktop down; a relative
// list names an item within its parent folder.
//
// Our items carry one kind byte followed by the item's name as raw bytes (see
// shell_folder.h). A holder owns its bytes; it is a plain value that may be
// copied and moved. Holders are not shared between threads while one of them
// changes; a const holder may be read from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CShellFolder;

// Attribute bits asked for and returned by ParseName and the folder object.
inline constexpr uint32_t kAttrFolder = 0x20000000;      // the item can be bound and listed
inline constexpr uint32_t kAttrFileSystem = 0x40000000;  // the item is a path in the file system

// The three display-name forms the program uses.
enum class NameKind : uint32_t {
    Normal = 0x0000,              // label for trees and listings, valid UTF-8
    ForParsing = 0x8000,          // absolute path (bytes); empty for virtual items
    InFolderForParsing = 0x8001,  // the item's name inside its folder (bytes)
};

class CShellPidl {
public:
    CShellPidl() = default;  // holds nothing

    // Builds a holder from raw list bytes; false (holding nothing) when the
    // bytes are not one well-formed list ending at its terminator.
    bool FromBytes(const void* data, size_t size);
    // Checks that `data` holds one well-formed list of exactly `size` bytes.
    static bool IsWellFormed(const uint8_t* data, size_t size);

    void Copy(const CShellPidl& list);
    void SetEmpty();
    // Holds a one-item list made of the first item of `list` (the empty list
    // when `list` is empty or holds nothing).
    void SetSingle(const CShellPidl& list);
    // Holds `a` followed by `b`; either may be this holder.
    void Concat(const CShellPidl& a, const CShellPidl& b);
    // The child gets the last item, the parent everything before it, and this
    // holder is truncated to the parent. False (nothing changed) when the
    // held list is empty or nothing is held: the Desktop has no parent.
    // Either output may be null.
    bool Split(CShellPidl* parent, CShellPidl* child);
    bool Equals(const CShellPidl& list) const;
    bool operator==(const CShellPidl& list) const { return Equals(list); }

    // The folder object of this full list, or null when it names no folder
    // that can be listed now.
    std::unique_ptr<CShellFolder> BindFolder() const;

    // Parses an absolute path (bytes; a relative one is taken from the current
    // directory) into the full list Desktop, Computer, volume, folders below.
    // False, holding nothing, when the path does not exist. `attributes`, when
    // given, holds on entry the bits asked for and on return those that apply.
    bool ParseName(const std::string& path, uint32_t* attributes = nullptr);

    // Renames the item this full list names, never replacing an existing
    // file or folder. On success this holder names the renamed item and
    // `newRelative` (may be null) holds its new one-item list. On failure
    // nothing changes and `error` (may be null) gets a short reason.
    bool Rename(const std::string& newName, CShellPidl* newRelative, std::string* error = nullptr);

    // The absolute path of this full list; false for virtual items (Computer).
    bool GetPath(std::string* path) const;

    bool IsNull() const { return m_bytes.empty(); }
    bool IsEmpty() const { return m_bytes.size() == 2; }  // the Desktop
    const uint8_t* Data() const { return m_bytes.empty() ? nullptr : m_bytes.data(); }
    size_t Size() const { return m_bytes.size(); }
    int ItemCount() const;

    // One item: its kind byte and its name bytes.
    static CShellPidl MakeItem(uint8_t kind, std::string_view name);
    // Kind and name of the first item; false for an empty or null list.
    bool FirstItem(uint8_t* kind, std::string_view* name) const;

private:
    std::vector<uint8_t> m_bytes;  // whole list including the terminator; empty = holds nothing
};

// The display name of `relative` inside the folder `folder` (an empty string
// when it has none in that form).
std::string GetDisplayName(const CShellFolder& folder, const CShellPidl& relative, NameKind kind);
// The display name of the item a full list names.
std::string GetDisplayName(const CShellPidl& absolute, NameKind kind);

// Bytes as valid UTF-8: each byte that is not part of a valid sequence becomes
// U+FFFD, so every name can be shown.
std::string DisplayUtf8(std::string_view bytes);
