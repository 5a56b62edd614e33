#include "res/toolbar_table.h"

#include "res/command_table.h"

namespace res {
namespace {
    constexpr ToolbarEntry Check(int image, int command)
    {
        return {image, command, ButtonKind::Check};
    }
    constexpr ToolbarEntry Push(int image, int command)
    {
        return {image, command, ButtonKind::Push};
    }
    constexpr ToolbarEntry Separator()
    {
        return {-1, 0, ButtonKind::Separator};
    }

    constexpr ToolbarEntry kButtons[] = {
        Check(0, kCmdSmallThumbnails),
        Check(1, kCmdBigThumbnails),
        Check(2, kCmdList),
        Separator(),
        Check(3, kCmdNoFitting),
        Check(4, kCmdFitHorizontally),
        Check(5, kCmdFitVertically),
        Check(6, kCmdFitBoth),
        Separator(),
        Check(7, kCmdNoRotation),
        Check(8, kCmdRotateClockwise),
        Check(9, kCmdRotateUpsideDown),
        Check(10, kCmdRotateCounterClockwise),
        Separator(),
        Check(11, kCmdFlipHorizontally),
        Check(12, kCmdFlipVertically),
        Separator(),
        Push(13, kCmdIncreaseGamma),
        Push(14, kCmdDecreaseGamma),
        Push(15, kCmdResetGamma),
        Separator(),
        Check(16, kCmdStartStopSlideShow),
        Separator(),
        Push(17, kCmdImageProperties),
    };
}  // namespace

std::span<const ToolbarEntry> ToolbarButtons()
{
    return kButtons;
}

}  // namespace res
