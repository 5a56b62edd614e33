#pragma once
// Brings an Exif APP1 payload and an XMP packet in line with a turned
// picture, changing only what the turn changes: the Orientation tag, the
// picture's width and height tags, and the IFD1 thumbnail (turned by the
// caller). Every other byte stays where it was, so offsets into the block
// (a maker note's own) stay right; what grows is placed after the end.
//
// Thread rules: plain functions over their arguments.
// Errors: false with the reason in `error`; the payload is then unchanged.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ExifChanges {
    int orientation = 1;              // 1..8, written (or added when not 1)
    int oldWidth = 0, oldHeight = 0;  // the picture's size before
    int newWidth = 0, newHeight = 0;  // and after
    bool transposed = false;          // width and height changed places
    // Turns the thumbnail's JPEG bytes; false when it can't.
    std::function<bool(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, std::string* error)>
        thumbnail;
};

// Whether an APP1 payload is Exif ("Exif\0\0" and TIFF data) or XMP.
bool IsExifPayload(const std::vector<uint8_t>& payload);
bool IsXmpPayload(const std::vector<uint8_t>& payload);

// `payload` is a whole Exif APP1 payload, identifier included.
bool RewriteExif(std::vector<uint8_t>& payload, const ExifChanges& changes, std::string* error);

// The smallest Exif payload holding only an Orientation tag.
std::vector<uint8_t> ExifWithOrientation(int orientation);

// Sets tiff:Orientation in an XMP packet, as an attribute or an element,
// where it holds a value 1..8; the packet keeps its length.
void RewriteXmpOrientation(std::vector<uint8_t>& payload, int orientation);
