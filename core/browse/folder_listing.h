#pragma once
// One enumerated folder: its items with their display names and flags.
//
// Owned by whoever enumerates; used on one thread at a time. Entries are in
// the folder's own order; each consumer sorts them as it needs.

#include "browse/shell_folder.h"
#include "browse/shell_pidl.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FolderEntry {
    std::string name;     // display name (NameKind::Normal, valid UTF-8), never empty
    CShellPidl relative;  // one-item list inside the folder
    bool isFolder = false;
    bool isFileSystem = false;
};

class CFolderListing {
public:
    // Binds and lists the folder a full list names, hidden items included.
    // Items with an empty display name are left out. False when the folder
    // cannot be bound or read; the listing is then empty and `error` (may be
    // null) gets the errno value (ENOTDIR for something that is no folder).
    bool Enumerate(const CShellPidl& folder, int* error = nullptr);

    const CShellPidl& Folder() const { return m_folder; }
    // The bound folder of the last successful Enumerate, or null.
    const CShellFolder* BoundFolder() const { return m_bound.get(); }
    const std::vector<FolderEntry>& Entries() const { return m_entries; }
    size_t Count() const { return m_entries.size(); }

private:
    CShellPidl m_folder;
    std::unique_ptr<CShellFolder> m_bound;
    std::vector<FolderEntry> m_entries;
};

// One file of a folder, as the photo list keeps it: its name inside the
// folder (bytes) and the size and modification time it had when listed.
struct FileStamp {
    int64_t size = -1;
    int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
struct FileEntry {
    std::string name;
    FileStamp stamp;
};

// The status of the file at `path` (links followed); false when it is gone,
// or is a folder.
bool StampFile(const std::string& path, FileStamp* stamp);

// Lists the files of the directory at `path` whose names `wanted` accepts:
// everything but folders (links followed), with their stamps; a file gone
// between the reading and its status is left out. Reads the directory alone,
// with no identifier lists or display names, so that a folder of a million
// files lists quickly; may run on any thread. A set `stop` ends the listing
// early (false). False when the folder cannot be read.
bool ListFiles(const std::string& path, const std::function<bool(std::string_view)>& wanted,
               std::vector<FileEntry>* files, const std::atomic<bool>* stop = nullptr);
