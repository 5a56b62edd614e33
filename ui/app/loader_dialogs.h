#pragma once
// CLoaderDialogs: the loader's file operations as the main window carries
// them out around it: the rename and trash questions and the trash failure
// as message boxes over the window, and the drag of images out of the
// thumbnail pane as a drag of file URLs that another program may move or
// copy.
//
// Ownership: owned by the main window, which outlives it and its loader's
// use of it. Thread rules: user-interface thread only, called from inside
// the loader's operations; the boxes and the drag run nested event loops.

#include "loader/loader_host.h"

class QWidget;

class CLoaderDialogs : public ILoaderHost {
public:
    // `window`: the owner of the boxes and the drag's source.
    explicit CLoaderDialogs(QWidget* window) : m_window(window) {}

    bool AskRenameWithoutJpegExtension(const std::string& newName) override;
    bool ConfirmTrash(const std::vector<std::string>& paths) override;
    void ReportTrashFailure(const std::string& path, const std::string& why) override;
    DragResult RunDrag(const std::vector<std::string>& paths) override;

private:
    QWidget* m_window;
};
