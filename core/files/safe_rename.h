#pragma once
// Renaming that never replaces an existing file or folder. Safe from any
// thread.

#include <cstdint>
#include <string>
#include <string_view>

// True for a name one directory entry may take: not empty, not "." or "..",
// no "/" and no NUL.
bool IsValidEntryName(std::string_view name);

// Renames `fromName` in the directory `fromDir` to `toName` in `toDir` (both
// descriptors of open directories, or AT_FDCWD). Returns 0, or an errno value;
// EEXIST when the target exists. A case-only change on a file system that
// ignores case is allowed, since the target is the item itself.
int RenameNoReplace(int fromDir, const char* fromName, int toDir, const char* toName);

// The way RenameNoReplace goes where the file system lacks an atomic
// no-replace rename: a hard link then removal of the old name for files; for
// folders (and files on file systems without hard links) a placeholder made
// exclusively under the new name, then renamed over. Exposed for tests.
int RenameNoReplaceFallback(int fromDir, const char* fromName, int toDir, const char* toName);

// The mount an open item lies on (statx's mount id); 0 when the system can't
// tell (kernels before 5.8).
uint64_t MountIdOf(int fd);

// True when a rename can go from one open folder to the other: both lie on
// one mount. Two mounts of one file system (a bind mount) share a device
// number, yet rename() can't cross between them. False when the system can't
// tell.
bool OnOneMount(int dirA, int dirB);

// A short text for an errno value from the functions above.
std::string RenameErrorText(int error);
