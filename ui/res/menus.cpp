#include "res/menus.h"

#include "res/command_table.h"

namespace res {
namespace {
    constexpr MenuEntry Popup(const char* title)
    {
        return {title, 0};
    }
    constexpr MenuEntry Item(int command)
    {
        return {nullptr, command};
    }
    constexpr MenuEntry Separator()
    {
        return {nullptr, kSeparator};
    }
    constexpr MenuEntry Nested(const char* title, std::span<const int> commands)
    {
        return {title, 0, commands};
    }

    // The lossless turns of the files, in the Tools menu and the thumbnail
    // pane's menu.
    constexpr int kTransformCommands[] = {
        kCmdLosslessRotateLeft,       kCmdLosslessRotateRight,    kCmdLosslessRotate180,
        kCmdLosslessFlipHorizontally, kCmdLosslessFlipVertically, kCmdLosslessApplyExif,
    };

    constexpr MenuEntry kMainMenu[] = {
        Popup("&File"),
        Item(kCmdSmallThumbnails),
        Item(kCmdBigThumbnails),
        Item(kCmdList),
        Separator(),
        Item(kCmdCopyImage),
        Separator(),
        Item(kCmdExit),
        Popup("&View"),
        Item(kCmdFullScreen),
        Item(kCmdNameBar),
        Separator(),
        Item(kCmdNoFitting),
        Item(kCmdFitHorizontally),
        Item(kCmdFitVertically),
        Item(kCmdFitBoth),
        Separator(),
        Item(kCmdIncreaseGamma),
        Item(kCmdDecreaseGamma),
        Item(kCmdResetGamma),
        Separator(),
        Item(kCmdNoRotation),
        Item(kCmdRotateClockwise),
        Item(kCmdRotateUpsideDown),
        Item(kCmdRotateCounterClockwise),
        Separator(),
        Item(kCmdFlipHorizontally),
        Item(kCmdFlipVertically),
        Separator(),
        Item(kCmdSortByName),
        Item(kCmdSortByDateTaken),
        Item(kCmdSortByDateModified),
        Item(kCmdSortBySize),
        Item(kCmdSortReverse),
        Separator(),
        Item(kCmdImageProperties),
        Popup("&Tools"),
        Item(kCmdAdjustSlideShow),
        Item(kCmdStartStopSlideShow),
        Separator(),
        Nested("&Transform", kTransformCommands),
        Separator(),
        Item(kCmdOptions),
        Popup("&Help"),
        Item(kCmdAbout),
    };

    constexpr MenuEntry kContextMenu[] = {
        Popup(""),
        Item(kCmdControlPanel),
        Item(kCmdFullScreen),
        Item(kCmdNameBar),
        Separator(),
        Item(kCmdCopyImage),
        Separator(),
        Item(kCmdNoFitting),
        Item(kCmdFitHorizontally),
        Item(kCmdFitVertically),
        Item(kCmdFitBoth),
        Separator(),
        Item(kCmdIncreaseGamma),
        Item(kCmdDecreaseGamma),
        Item(kCmdResetGamma),
        Separator(),
        Item(kCmdNoRotation),
        Item(kCmdRotateClockwise),
        Item(kCmdRotateUpsideDown),
        Item(kCmdRotateCounterClockwise),
        Separator(),
        Item(kCmdFlipHorizontally),
        Item(kCmdFlipVertically),
        Separator(),
        Item(kCmdStartStopSlideShow),
        Separator(),
        Item(kCmdImageProperties),
    };

    constexpr PaneMenuEntry kFolderTreeMenu[] = {
        {kCmdNewFolder, "New Folder"}, {kSeparator, nullptr},        {kCmdRenameFolder, "Rename"},
        {kSeparator, nullptr},         {kCmdDeleteFolder, "Delete"},
    };

    constexpr PaneMenuEntry kThumbnailMenu[] = {
        {kCmdRenameImage, "Rename"},
        {kCmdDeleteImage, "Delete"},
        {kSeparator, nullptr},
        {kSeparator, "&Transform", kTransformCommands},
    };

    struct ContextText {
        int command;
        const char* text;
    };

    // The context menu shows these without their mnemonic marks.
    constexpr ContextText kContextTexts[] = {
        {kCmdFullScreen, "Full Screen\tAlt+Enter"}, {kCmdNoFitting, "No fitting\t/"},
        {kCmdFitHorizontally, "Fit Horizontally"},  {kCmdFitVertically, "Fit Vertically"},
        {kCmdFitBoth, "Fit Both Directions\t*"},
    };
}  // namespace

std::span<const MenuEntry> MainMenu()
{
    return kMainMenu;
}

std::span<const MenuEntry> ContextMenu()
{
    return kContextMenu;
}

std::span<const PaneMenuEntry> FolderTreeMenu()
{
    return kFolderTreeMenu;
}

std::span<const PaneMenuEntry> ThumbnailMenu()
{
    return kThumbnailMenu;
}

const char* ContextMenuText(int command)
{
    for (const ContextText& t : kContextTexts)
        if (t.command == command)
            return t.text;
    const CommandEntry* entry = FindCommand(command);
    return entry ? entry->menuText : "";
}
}  // namespace res
