#pragma once
// The one loop over a folder's entries, shared by the namespace layer's
// listing and the loader's listing of image files.

#include <dirent.h>

#include <functional>
#include <string>

// Calls `visit(folderFd, entry)` for every entry of the folder at `path` but
// "." and ".."; `visit` returns false to stop the walk. False when the folder
// cannot be opened or read (errno says why, 0 when `visit` stopped it).
bool WalkDirectory(const std::string& path, const std::function<bool(int, const dirent&)>& visit);
