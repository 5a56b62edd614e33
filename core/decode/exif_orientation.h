#pragma once
// Which way up a photo is shown: the Exif Orientation tag (IFD0, tag 274,
// values 1 to 8) as a rotation and mirror, and the composition of that with
// the view's own rotation and flips into the single rotation and flip the
// display decode applies while it writes its lines.
//
// Thread rules: plain values and functions; OrientPixels touches only its
// arguments.

#include <cstdint>
#include <vector>

class CExifReader;

// Quarter turns clockwise, then mirrors of the turned picture: left and right
// (flipHorizontally) and top and bottom (flipVertically). The same meaning as
// the rotation and flips of a DecodeRequest.
struct Orientation {
    int rotation = 0;  // 0..3
    bool flipHorizontally = false;
    bool flipVertically = false;
    bool operator==(const Orientation&) const = default;
};

// The Orientation tag of IFD0 when it holds a value from 1 to 8 as a SHORT,
// LONG, SSHORT or SLONG; 0 when the tag is missing, of another type, or out
// of range (shown as stored).
int ExifOrientationTag(const CExifReader& exif);

// What shows a photo stored with this tag upright; no change for a tag
// outside 1..8.
Orientation UprightOf(int tag);

// One orientation doing `first` and then `then`, with flipVertically folded
// into the rotation (a vertical mirror is a half turn and a horizontal one).
Orientation Compose(const Orientation& first, const Orientation& then);

// Rewrites a width x height block of 32-bit pixels turned and mirrored;
// width and height are exchanged for a quarter turn. Meant for thumbnails,
// which are small enough to copy.
void OrientPixels(std::vector<uint32_t>& pixels, int& width, int& height, const Orientation& orientation);
