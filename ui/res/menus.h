#pragma once
// Menu 132 (the main menu: File, View, Tools, Help) and menu 141 (the image
// view's context menu) as tables of entries: a pop-up title opens a new
// pop-up, a command adds its item, kSeparator a separator; an entry with a
// title and nested commands is a pop-up inside the current one. Menus 149
// (the folder tree's) and 150 (the thumbnail pane's) are single pop-ups
// whose items carry their own texts.

#include <span>

namespace res {

constexpr int kSeparator = 0;

struct MenuEntry {
    const char* popupTitle;  // non-null: starts a pop-up with this title
    int command;             // otherwise: the command, or kSeparator
    // With a title: the commands of a pop-up inside the current one.
    std::span<const int> nested = {};
};

std::span<const MenuEntry> MainMenu();     // menu 132
std::span<const MenuEntry> ContextMenu();  // menu 141, one pop-up

// A menu text as the context menu shows it: the "&" marks removed.
const char* ContextMenuText(int command);

struct PaneMenuEntry {
    int command;       // the command, or kSeparator
    const char* text;  // null for a separator
    // The commands of a pop-up titled `text`; their texts are the main menu's.
    std::span<const int> nested = {};
};

std::span<const PaneMenuEntry> FolderTreeMenu();  // menu 149
std::span<const PaneMenuEntry> ThumbnailMenu();   // menu 150

}  // namespace res
