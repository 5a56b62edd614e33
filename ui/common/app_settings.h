#pragma once
// The settings of one run: options, slide show parameters, window geometry,
// fit, rotation, flips and thumbnail mode. Nothing is read from or written to
// disk; every start begins with the defaults below.
//
// Ownership: a member of CImageApp, alive for the whole process. The main
// window is the only writer after start-up. User-interface thread only; the
// loader's workers never see it (the loader keeps copies of its flags).

#include <cstdint>
#include <string>

#include <QRect>

#include "decode/jpeg_decoder.h"
#include "loader/sort_order.h"

// A rectangle as left, top, right, bottom (right and bottom exclusive),
// in screen coordinates.
struct SettingsRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
    static SettingsRect FromQRect(const QRect& r)
    {
        return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    bool operator==(const SettingsRect&) const = default;
};

// How the thumbnail pane shows the folder: thumbnails of 80 or 120 pixels,
// or a list of names with small icons.
enum class ThumbnailMode : int32_t { Small = 0, Big = 1, List = 2 };

// The thumbnail size of a mode in pixels; 0 for the list.
constexpr int ThumbnailSizeOf(ThumbnailMode mode)
{
    return mode == ThumbnailMode::Small ? 80 : mode == ThumbnailMode::Big ? 120 : 0;
}

struct AppSettings {
    uint8_t dithering = 1;
    uint8_t highQualitySubsampling = 1;
    uint8_t zoomInterpolation = 1;
    uint8_t exitByEsc = 1;
    uint8_t exifThumbnails = 0;
    uint8_t sharedThumbnailCache = 1;  // thumbnails from and to the desktop's cache
    uint8_t autoOrient = 1;            // upright by the Exif Orientation tag
    uint8_t useColourProfiles = 1;     // true colours from embedded ICC profiles
    uint8_t keepModificationTime = 0;  // a photo turned losslessly keeps its time
    int32_t slideDelay = 5;            // seconds, 1 to 10 when set by the dialog
    uint8_t slideBackward = 0;
    uint8_t slideRepeat = 1;
    uint8_t fullScreen = 1;
    SettingsRect windowRect;    // the window outside full-screen mode
    int32_t mainSplitPos = 0;   // initial height of the control panel
    int32_t panelSplitPos = 0;  // initial width of the folder tree
    uint8_t nameBar = 1;
    std::string commandLineFile;  // bytes; empty when none was named
    std::string startFolder;      // bytes; the current directory at start
    uint8_t fitHorizontally = 1;
    uint8_t fitVertically = 1;
    int32_t rotation = 0;  // 0 none, 1 clockwise, 2 upside-down, 3 counter-clockwise
    uint8_t flipHorizontally = 0;
    uint8_t flipVertically = 0;
    ThumbnailMode thumbnailMode = ThumbnailMode::Small;
    SortOrder sortOrder;  // the folder's order until the user picks one

    // The picture options as the decoders take them.
    PictureOptions Picture() const { return {autoOrient != 0, useColourProfiles != 0}; }
    SettingsRect propertiesRect;  // where the properties window is created

    // The defaults for a primary screen of width x height pixels.
    static AppSettings Defaults(int screenWidth, int screenHeight, std::string currentDirectory);
};

// The process's current directory as bytes; empty when it can't be read.
std::string CurrentDirectory();
