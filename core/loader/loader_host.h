#pragma once
// The decisions of the loader's file operations that belong to a window:
// questions, confirmations, failure reports and the drag itself. The main
// window implements it with dialogs and QDrag; the command-line tool and the
// tests implement their own. Called on the user-interface thread only, from
// inside the loader's operations.

#include <string>
#include <vector>

class ILoaderHost {
public:
    enum class DragResult { None, Copied, Moved };

    virtual ~ILoaderHost() = default;

    // A rename to a name without a ".jpg" or ".jpeg" extension: true to go on.
    // The host asks the user with its own text (string 23).
    virtual bool AskRenameWithoutJpegExtension(const std::string& newName) = 0;
    // Confirms moving these files (absolute paths, bytes) to the trash.
    virtual bool ConfirmTrash(const std::vector<std::string>& paths) = 0;
    // One file could not be trashed; it stays where it was and in the list.
    virtual void ReportTrashFailure(const std::string& path, const std::string& why) = 0;
    // Runs a drag of these files (absolute paths) and tells what the drop did.
    virtual DragResult RunDrag(const std::vector<std::string>& paths) = 0;
    // A rename was refused (the name is taken, not allowed, or the file system
    // said no); nothing changed.
    virtual void ReportRenameFailure(const std::string& newName, const std::string& why)
    {
        (void)newName;
        (void)why;
    }
};
