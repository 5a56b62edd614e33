#pragma once
// Moves files and folders to the user's trash, following the freedesktop
// Trash specification: the home trash ($XDG_DATA_HOME/Trash) for items on its
// mount, $topdir/.Trash/$uid or $topdir/.Trash-$uid for items on other file
// systems or other mounts (a bind mount) of its own, $topdir being the top of
// the item's mount. Items are only ever renamed, never copied or deleted: when
// something fails the item stays where it was and no stray info file is left.
// An item of a trash's files or info folder is refused: trashed again, it
// would leave its info file behind, and the trash deletes nothing for good.
//
// Safe to call from any thread; no state is kept between calls.

#include <string>

// Moves `path` (bytes; file, folder or link) to the trash. False with a short
// reason in `error` (may be null) when it could not be trashed.
bool MoveToTrash(const std::string& path, std::string* error = nullptr);

// The home trash directory (XdgDataHome()/Trash); empty when there is no
// home, and then only the trash of an item's own volume is used.
std::string HomeTrashDirectory();
