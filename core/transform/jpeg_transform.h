#pragma once
// A lossless turn of a whole JPEG file in memory: the coefficients turned,
// the Exif and XMP orientation, size and thumbnail brought in line, every
// other marker kept byte for byte.
//
// A turn acts on the picture as it is shown, after its Exif orientation; the
// result is stored upright with Orientation 1. When the turn would move the
// partial blocks of the right or bottom edge, the caller's answer decides:
// refuse, trim them, or keep the pixels and write the composed turn into the
// Orientation tag instead.
//
// Thread rules: plain functions over their arguments; any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "decode/exif_orientation.h"

enum class TransformOp { Rotate90, Rotate180, Rotate270, FlipH, FlipV, Transpose, Transverse, ApplyExif };
enum class EdgeAnswer { Refuse, Trim, Tag };

// The turn of the shown picture an operation asks for; ApplyExif asks for
// none (the stored orientation alone is applied).
Orientation OrientationOf(TransformOp op);

// The Exif Orientation value (1..8) that shows a stored picture turned so.
int ExifTagOf(const Orientation& turn);

struct TransformResult {
    enum class Outcome { Done, Unchanged, Refused };
    Outcome outcome = Outcome::Refused;
    std::vector<uint8_t> jpeg;  // Done: the new file
    int width = 0;              // Done: its size
    int height = 0;
    std::string reason;         // Refused: why, in words for the user
    bool partialEdges = false;  // Refused because the edges would move
};

// A result that is done has been decoded once more and read cleanly.
TransformResult TransformJpeg(const std::vector<uint8_t>& jpeg, TransformOp op, EdgeAnswer edges);
