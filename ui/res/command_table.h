#pragma once
// The command set: every command's number and menu text. Every command is
// always enabled; the main window decides the check marks.

#include <span>

namespace res {

enum CommandId : int {
    kCmdControlPanel = 133,
    kCmdSmallThumbnails = 500,
    kCmdBigThumbnails = 501,
    kCmdList = 502,
    kCmdExit = 503,
    kCmdFullScreen = 600,
    kCmdNameBar = 601,
    kCmdNoFitting = 610,
    kCmdFitHorizontally = 611,
    kCmdFitVertically = 612,
    kCmdFitBoth = 613,
    kCmdIncreaseGamma = 620,
    kCmdDecreaseGamma = 621,
    kCmdResetGamma = 622,
    kCmdNoRotation = 630,
    kCmdRotateClockwise = 631,
    kCmdRotateUpsideDown = 632,
    kCmdRotateCounterClockwise = 633,
    kCmdFlipHorizontally = 640,
    kCmdFlipVertically = 641,
    kCmdImageProperties = 650,
    // The sort orders of the folder's photos (a group), and reversing it.
    kCmdSortByName = 660,
    kCmdSortByDateTaken = 661,
    kCmdSortByDateModified = 662,
    kCmdSortBySize = 663,
    kCmdSortReverse = 664,
    kCmdAdjustSlideShow = 700,
    kCmdStartStopSlideShow = 701,
    kCmdOptions = 702,
    // Lossless turns of the files themselves (the "Transform" pop-up).
    kCmdLosslessRotateLeft = 710,
    kCmdLosslessRotateRight = 711,
    kCmdLosslessRotate180 = 712,
    kCmdLosslessFlipHorizontally = 713,
    kCmdLosslessFlipVertically = 714,
    kCmdLosslessApplyExif = 715,
    kCmdAbout = 800,
    // The panes' own context-menu commands (menus 149 and 150); the panes run
    // them, so they have no main-window action.
    kCmdNewFolder = 900,
    kCmdRenameFolder = 901,
    kCmdDeleteFolder = 902,
    kCmdRenameImage = 910,
    kCmdDeleteImage = 911,
    kCmdCopyImage = 57634,
};

// One of the lossless turns of the files (kCmdLosslessRotateLeft..ApplyExif).
constexpr bool IsLosslessTransform(int id)
{
    return id >= kCmdLosslessRotateLeft && id <= kCmdLosslessApplyExif;
}

struct CommandEntry {
    int id;
    // The text as the main menu shows it; the part after "\t" names the keys.
    const char* menuText;
    // The command has a check mark (and a pressed toolbar button) rule.
    bool checkable;
};

std::span<const CommandEntry> Commands();
// The entry of a command number; null for an unknown number.
const CommandEntry* FindCommand(int id);

}  // namespace res
