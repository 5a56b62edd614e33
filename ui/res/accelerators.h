#pragma once
// Accelerator table 128: the keys that run commands wherever the focus is in
// the program, before the focused window sees them.

#include <span>

#include <Qt>

namespace res {

struct AcceleratorEntry {
    int key;        // Qt::Key
    int modifiers;  // Qt::KeyboardModifiers; KeypadModifier for the keypad keys
    int command;
};

// In table order; a command's first entry is the key its menu text names.
std::span<const AcceleratorEntry> Accelerators();

}  // namespace res
