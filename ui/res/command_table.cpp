#include "res/command_table.h"

namespace res {
namespace {
    constexpr CommandEntry kCommands[] = {
        {kCmdControlPanel, "Control Panel\tSpace", false},
        {kCmdSmallThumbnails, "Small Thumbnails\tF7", true},
        {kCmdBigThumbnails, "Big Thumbnails\tF8", true},
        {kCmdList, "List\tF9", true},
        {kCmdCopyImage, "Copy Image\tCtrl+C", false},
        {kCmdExit, "&Exit", false},
        {kCmdFullScreen, "&Full Screen\tAlt+Enter", true},
        {kCmdNameBar, "Name Bar\tCtrl+N", true},
        {kCmdNoFitting, "No &fitting\t/", true},
        {kCmdFitHorizontally, "Fit &Horizontally", true},
        {kCmdFitVertically, "Fit &Vertically", true},
        {kCmdFitBoth, "Fit &Both Directions\t*", true},
        {kCmdIncreaseGamma, "Increase Gamma\tCtrl+Up", false},
        {kCmdDecreaseGamma, "Decrease Gamma\tCtrl+Down", false},
        {kCmdResetGamma, "Reset Gamma\tCtrl+Left", false},
        {kCmdNoRotation, "No &Rotation\tF3", true},
        {kCmdRotateClockwise, "Rotate Clockwise\tF4", true},
        {kCmdRotateUpsideDown, "Rotate Upside-down\tF5", true},
        {kCmdRotateCounterClockwise, "Rotate Counter-clockwise\tF6", true},
        {kCmdFlipHorizontally, "Flip Horizontally\tCtrl+H", true},
        {kCmdFlipVertically, "Flip Vertically\tCtrl+V", true},
        {kCmdImageProperties, "Image Properties...\tF2", false},
        {kCmdSortByName, "Sort by Name", true},
        {kCmdSortByDateTaken, "Sort by Date Taken", true},
        {kCmdSortByDateModified, "Sort by Date Modified", true},
        {kCmdSortBySize, "Sort by Size", true},
        {kCmdSortReverse, "Reverse", true},
        {kCmdAdjustSlideShow, "Adjust Slide Show...", false},
        {kCmdStartStopSlideShow, "Start/Stop Slide Show", true},
        {kCmdOptions, "Options...", false},
        {kCmdLosslessRotateLeft, "Rotate Left (lossless)\tCtrl+Shift+L", false},
        {kCmdLosslessRotateRight, "Rotate Right (lossless)\tCtrl+Shift+R", false},
        {kCmdLosslessRotate180, "Rotate 180° (lossless)", false},
        {kCmdLosslessFlipHorizontally, "Flip Horizontally (lossless)", false},
        {kCmdLosslessFlipVertically, "Flip Vertically (lossless)", false},
        {kCmdLosslessApplyExif, "Apply Exif Orientation (lossless)", false},
        {kCmdAbout, "&About Lumvane...", false},
    };
}  // namespace

std::span<const CommandEntry> Commands()
{
    return kCommands;
}

const CommandEntry* FindCommand(int id)
{
    for (const CommandEntry& e : kCommands)
        if (e.id == id)
            return &e;
    return nullptr;
}
}  // namespace res
