#include "res/accelerators.h"

#include "res/command_table.h"

namespace res {
namespace {
    constexpr int kNone = Qt::NoModifier;
    constexpr int kCtrl = Qt::ControlModifier;
    constexpr int kAlt = Qt::AltModifier;
    constexpr int kShift = Qt::ShiftModifier;
    constexpr int kPad = Qt::KeypadModifier;

    // Enter is both the main Return key and the keypad's Enter.
    constexpr AcceleratorEntry kAccelerators[] = {
        {Qt::Key_C, kCtrl, kCmdCopyImage},
        {Qt::Key_Insert, kCtrl, kCmdCopyImage},
        {Qt::Key_F7, kNone, kCmdSmallThumbnails},
        {Qt::Key_F8, kNone, kCmdBigThumbnails},
        {Qt::Key_F9, kNone, kCmdList},
        {Qt::Key_Space, kNone, kCmdControlPanel},
        {Qt::Key_Return, kNone, kCmdControlPanel},
        {Qt::Key_Enter, kPad, kCmdControlPanel},
        {Qt::Key_Return, kAlt, kCmdFullScreen},
        {Qt::Key_Enter, kAlt | kPad, kCmdFullScreen},
        {Qt::Key_N, kCtrl, kCmdNameBar},
        {Qt::Key_Asterisk, kPad, kCmdFitBoth},
        {Qt::Key_Slash, kPad, kCmdNoFitting},
        {Qt::Key_Up, kCtrl, kCmdIncreaseGamma},
        {Qt::Key_Down, kCtrl, kCmdDecreaseGamma},
        {Qt::Key_Left, kCtrl, kCmdResetGamma},
        {Qt::Key_Right, kCtrl, kCmdResetGamma},
        {Qt::Key_F3, kNone, kCmdNoRotation},
        {Qt::Key_F4, kNone, kCmdRotateClockwise},
        {Qt::Key_F5, kNone, kCmdRotateUpsideDown},
        {Qt::Key_F6, kNone, kCmdRotateCounterClockwise},
        {Qt::Key_H, kCtrl, kCmdFlipHorizontally},
        {Qt::Key_V, kCtrl, kCmdFlipVertically},
        {Qt::Key_F2, kNone, kCmdImageProperties},
        {Qt::Key_L, kCtrl | kShift, kCmdLosslessRotateLeft},
        {Qt::Key_R, kCtrl | kShift, kCmdLosslessRotateRight},
    };
}  // namespace

std::span<const AcceleratorEntry> Accelerators()
{
    return kAccelerators;
}
}  // namespace res
