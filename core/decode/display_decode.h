#pragma once
// The display decode: source rows, read one at a time, are reduced or
// enlarged to the display size and written at their rotated and flipped
// place in the display image, each line marked dirty as it lands.
//
// Thread rules: runs on the decoding thread; takes the display image's pixel
// lock once per written line, so a painter can interleave.

#include <cstdint>
#include <functional>

class CColourTransform;
class CEvent;
class CImageBitmap;
class IDecodeProgress;

// What the decode needs besides the rows.
struct DisplayPlan {
    int sourceWidth = 0;   // W: pixels in a source row
    int sourceHeight = 0;  // H: source rows
    int rotation = 0;      // 0..3, quarter turns clockwise
    bool flipHorizontally = false;
    bool flipVertically = false;
    bool highQuality = false;  // average when reducing
    bool interpolate = false;  // ramp when enlarging
    // The reducing decode converts each reduced line (blue, green, red,
    // unused) with this before placing it: fewer pixels than the source
    // rows. Null: the lines are placed as they are.
    const CColourTransform* lineColour = nullptr;
};

// Reads the next source row into `rgb` (3 x W bytes); false on a failure.
using RowReader = std::function<bool(uint8_t* rgb)>;
// Reads the next source row as 32-bit pixels straight into `pixels`.
using PixelRowReader = std::function<bool(uint32_t* pixels)>;

// True when a source row is longer than the displayed extent along it, which
// selects the reducing decode.
bool DisplayReduces(const DisplayPlan& plan, int displayWidth, int displayHeight);

// True when every source row lands as one whole display row, left to right:
// the image at its own size, rotation 0 or 2, so the library can write the
// rows straight into the bitmap.
bool DisplayIsDirect(const DisplayPlan& plan, int displayWidth, int displayHeight);

// The three decodes. Each polls `cancel` before every source row and calls
// `progress` (when given) after it; false when cancelled, stopped or a row
// could not be read. The image keeps what was written.
bool ReducingDecode(const DisplayPlan& plan, CImageBitmap& image, const RowReader& read, CEvent* cancel,
                    IDecodeProgress* progress);
bool EnlargingDecode(const DisplayPlan& plan, CImageBitmap& image, const RowReader& read, CEvent* cancel,
                     IDecodeProgress* progress);
bool DirectDecode(const DisplayPlan& plan, CImageBitmap& image, const PixelRowReader& read, CEvent* cancel,
                  IDecodeProgress* progress);

// The display size of a w x h image (already exchanged for a quarter turn)
// asked to fit targetWidth x targetHeight (0: not constrained), keeping its
// aspect; enlarging is allowed. Worked in extended precision. False when a
// side comes out below 1 or the image would exceed kMaxDisplayPixels.
bool FitDisplaySize(int w, int h, int targetWidth, int targetHeight, int& displayWidth, int& displayHeight);
