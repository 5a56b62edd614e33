#pragma once
// Lists a folder whole on a thread of its own, so that a folder of a
// million files read again after its changes went unreported (an inotify
// overflow) leaves the window responsive.
//
// Ownership: owned by the user-interface thread's caller; owns its thread,
// which it stops (the listing ends at its next file) and joins when
// destroyed or started again. Thread rules: every public operation is
// called on the user-interface thread. The listing thread touches nothing
// but its own result; the done event carries its end, and the caller tests
// it without waiting before taking the result.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "browse/folder_listing.h"
#include "decode/sync_event.h"

class CFolderRelisting {
public:
    CFolderRelisting() = default;
    ~CFolderRelisting() { Stop(); }
    CFolderRelisting(const CFolderRelisting&) = delete;
    CFolderRelisting& operator=(const CFolderRelisting&) = delete;

    // Lists the JPEG files of the folder at `path` (bytes), dropping a
    // listing under way.
    void Start(const std::string& path);
    // Ends a listing under way; nothing is running after.
    void Stop();
    bool Running() const { return m_thread.joinable(); }
    // True once a started listing has ended; `files` then gets it, and
    // false when the folder could not be read. Nothing runs after.
    bool Done() { return Running() && m_done.IsSet(); }
    bool Take(std::vector<FileEntry>* files);

private:
    std::thread m_thread;
    std::atomic<bool> m_stop {false};
    CEvent m_done {CEvent::Reset::Manual};
    // Written by the listing thread before it sets the done event.
    std::vector<FileEntry> m_files;
    bool m_listed = false;
};
