// The lossless turns of the files themselves: which photos a command acts
// on, the run, and what the window renews after it.

#include <algorithm>

#include "app/control_panel.h"
#include "app/main_frame.h"
#include "app/shown_folder_watch.h"
#include "cache/thumbnail_cache.h"
#include "loader/thumb_loader.h"
#include "pane/thumbnail_pane.h"
#include "res/command_table.h"
#include "windows/transform_runner.h"

namespace {

TransformOp OperationOf(int command)
{
    switch (command) {
    case res::kCmdLosslessRotateLeft: return TransformOp::Rotate270;
    case res::kCmdLosslessRotateRight: return TransformOp::Rotate90;
    case res::kCmdLosslessRotate180: return TransformOp::Rotate180;
    case res::kCmdLosslessFlipHorizontally: return TransformOp::FlipH;
    case res::kCmdLosslessFlipVertically: return TransformOp::FlipV;
    default: return TransformOp::ApplyExif;
    }
}

}  // namespace

// The pane's selection when it holds several photos, else the shown one.
// The file opened alone gets its folder listed first, so that the folder's
// watch takes the turned file in.
void CMainFrame::TransformPhotos(int command)
{
    CompleteFolder();
    std::vector<ImageItem*> items;
    if (ControlPanelShown())
        items = m_controlPanel->ThumbnailPane()->SelectedItems();
    if (items.size() < 2)
        items = {m_currentItem};
    std::vector<std::string> paths;
    for (const ImageItem* item : items)
        if (std::string path = item ? m_loader->ItemPath(item) : std::string(); !path.empty())
            paths.push_back(std::move(path));
    if (paths.empty())
        return;

    CTransformRunner runner(this);
    const std::vector<std::string> turned
        = runner.Run(paths, OperationOf(command), m_settings->keepModificationTime != 0);
    if (turned.empty())
        return;
    // The desktop's cache knows a thumbnail by the file's name and time; a
    // photo turned with its time kept would come back unturned from there.
    const std::string cacheRoot = CThumbnailCache::DefaultRoot();
    if (m_settings->sharedThumbnailCache && !cacheRoot.empty())
        CThumbnailCache(cacheRoot).Forget(turned);
    // The folder's watch renews the items of the files replaced, their
    // thumbnails and the shown picture, which stays shown.
    std::vector<std::string> names;
    for (const std::string& path : turned)
        names.push_back(path.substr(path.rfind('/') + 1));
    m_folderWatch->TakeRewritten(names);
    // The view's own turn was meant for the photo as it was; it is shown as
    // it now is. (The list did not change during the run: the watches wait
    // for its nested event loops to end.)
    const std::string shownPath = m_currentItem ? m_loader->ItemPath(m_currentItem) : std::string();
    if (std::find(turned.begin(), turned.end(), shownPath) != turned.end()) {
        m_settings->rotation = 0;
        m_settings->flipHorizontally = 0;
        m_settings->flipVertically = 0;
        UpdateActions();
    }
}
