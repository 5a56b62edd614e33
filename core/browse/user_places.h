#pragma once
// Where the user's places are: the home and desktop directories and the
// mounted volumes shown under "Computer". Read afresh on each call, so a
// change of environment or of the mounts is seen; safe from any thread as
// long as nobody changes the environment meanwhile.

#include <string>
#include <string_view>
#include <vector>

struct MountedVolume {
    std::string mountPoint;  // absolute, escapes of the mount table decoded
    std::string fsType;
    std::string source;
};

// HomeDir(), else "/": the namespace always has a home to show (it is only
// browsed, never written to, through this).
std::string HomeDirectory();
// XDG_DESKTOP_DIR from user-dirs.dirs when that directory exists, else home.
std::string DesktopDirectory();

// Every mount of a /proc/self/mountinfo text, in its order; malformed lines
// are skipped.
std::vector<MountedVolume> ParseMountInfo(std::string_view text);
// The volumes a user would expect under "Computer": "/" first, then the real
// file systems mounted outside the system's own trees, sorted by mount point,
// each mount point once.
std::vector<MountedVolume> UserVolumes(const std::vector<MountedVolume>& mounts);
std::vector<MountedVolume> UserVolumes();
// Index of the volume whose mount point is the longest one containing the
// absolute, normalised `path`; -1 when none does.
int LongestMountFor(const std::vector<MountedVolume>& volumes, std::string_view path);
