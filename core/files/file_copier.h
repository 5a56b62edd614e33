#pragma once
// CFileCopier: copies one regular file or one symbolic link into a folder.
// The copy is written as an unnamed file of the target folder (or under a
// temporary name where the file system has no unnamed files) and takes its
// real name only when it is complete and checked, so no partial file ever
// appears under a real name; on failure or cancel the temporary goes.
//
// Thread rules: one copier per transfer, used on the transfer's thread only.
// The cancel flag it watches may be set from any thread.

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CopyOutcome {
    int error = 0;                 // an errno value; 0 without one
    const char* reason = nullptr;  // a reason of our own, when there is no errno value
    bool atSource = false;         // the failure concerns the source, not the target
    bool cancelled = false;
    bool Ok() const { return !error && !reason && !cancelled; }
    std::string Text() const;
};

enum class Publish {
    NoReplace,  // an item of that name makes the copy fail (EEXIST)
    Replace,    // an item of that name (not a folder) is replaced, atomically
};

class CFileCopier {
public:
    // `onBytes` hears of every few megabytes copied, on the copier's thread.
    CFileCopier(const std::atomic<bool>& cancel, std::function<void(uint64_t)> onBytes, bool unnamedFiles);

    // Copies the regular file `name` of `fromDir`, which lstat gave as `seen`,
    // to `toName` in `toDir`, with its permissions and times. Fails when the
    // file is no longer that file or changes while it is read. `durable`:
    // the copy and its name are on disk before this returns. `copied` gets the
    // source's status as it was copied.
    CopyOutcome CopyFile(int fromDir, const std::string& name, const struct stat& seen, int toDir,
                         const std::string& toName, Publish publish, bool durable, struct stat* copied);
    // Makes the same link (its text unchanged) as `toName` in `toDir`.
    CopyOutcome CopyLink(int fromDir, const std::string& name, const struct stat& seen, int toDir,
                         const std::string& toName, Publish publish, bool durable);

    // Gives a folder (or file) the permissions, owner where allowed, and
    // times of `source`. Best effort: file systems that can't keep them
    // still get the copy.
    static void KeepAttributes(int fd, const struct stat& source);
    // Flushes a folder's entries to disk; 0 or an errno value.
    static int SyncFolder(int dirFd);

private:
    CopyOutcome CopyData(int in, int out, uint64_t size, uint64_t* copied);
    CopyOutcome ReadWrite(int in, int out, uint64_t* copied);

    const std::atomic<bool>& m_cancel;
    std::function<void(uint64_t)> m_onBytes;
    bool m_unnamedFiles;
    bool m_kernelCopy = true;  // off once the kernel can't copy between these file systems
    std::vector<char> m_buffer;
};
