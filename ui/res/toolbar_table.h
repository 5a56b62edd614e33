#pragma once
// The control panel's toolbar: its 24 entries in order, each naming the
// picture it shows (an index into the toolbar pictures) and the command it
// runs. Check buttons stay pressed while their command's check rule holds.

#include <span>

namespace res {

enum class ButtonKind { Check, Push, Separator };

struct ToolbarEntry {
    int image;    // picture index; -1 for a separator
    int command;  // command number; 0 for a separator
    ButtonKind kind;
};

std::span<const ToolbarEntry> ToolbarButtons();

}  // namespace res
