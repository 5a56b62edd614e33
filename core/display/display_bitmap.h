#pragma once
// CDisplayBitmap puts the pixels of a CImageBitmap on a QPainter in the
// screen's pixel format. It converts the image tile by tile into a small
// strip in that format (with integer zoom, gamma and ordered dithering) and
// draws the strip; on a 24- or 32-bit screen without gamma it draws the image
// itself, scaled without smoothing.
//
// Thread rules: one owner thread (the user-interface thread) creates and
// uses an instance; Blit holds the image's pixel lock while it reads pixels,
// so a decoder may fill the same image from another thread.

#include <array>
#include <cstdint>

#include <QImage>
#include <QList>
#include <QRgb>

#include "display/pixel_convert.h"

class CImageBitmap;
class QPainter;

// What a caller hands to Blit.
struct BlitParams {
    int factor = 1;       // zoom factor, at least 1
    bool reduce = false;  // false: each pixel as factor x factor; true: every factor-th pixel
    int sourceX = 0;      // source rectangle in image pixels
    int sourceY = 0;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int destX = 0;  // where the source rectangle's top-left corner goes
    int destY = 0;
    int ditherOffsetX = 0;  // the caller's scroll position: keeps the dither
    int ditherOffsetY = 0;  //   pattern fixed to the image while it scrolls
    bool gammaOn = false;
    std::array<uint8_t, 256> gammaTable {};
};

class CDisplayBitmap {
public:
    static constexpr int kDefaultStripSize = 256;
    static constexpr int kMaxStripSize = 4096;

    // The pixel format for a screen of the given depth (QScreen::depth()).
    static int FormatForDepth(int screenDepth);

    // (Re)builds the strip for a screen of the given depth. False, leaving the
    // instance empty, when the strip size is not within 1..kMaxStripSize or
    // the strip cannot be allocated.
    bool Create(int screenDepth, int stripWidth = kDefaultStripSize, int stripHeight = kDefaultStripSize,
                bool dithering = true);
    // The same with an explicit pixel format (0 to 4).
    bool CreateFormat(int format, int stripWidth = kDefaultStripSize, int stripHeight = kDefaultStripSize,
                      bool dithering = true);
    void Destroy();

    // Draws the source rectangle (clipped to the image) at the destination.
    // False when the instance is empty, the image has no pixels, the zoom
    // factor is below 1, an enlarged pixel would not fit the strip, or the
    // painter is not active.
    bool Blit(QPainter& target, CImageBitmap& image, const BlitParams& params);

    bool IsCreated() const { return m_format >= 0; }
    int PixelFormat() const { return m_format; }  // -1 while empty
    bool Dithering() const { return m_dithering; }
    int StripWidth() const { return m_stripWidth; }
    int StripHeight() const { return m_stripHeight; }
    // The 233-colour palette of format 1 (empty for the other formats).
    const QList<QRgb>& Palette() const { return m_palette; }
    // The strip itself, for tests and tools.
    const QImage& Strip() const { return m_strip; }

private:
    bool BlitDirect(QPainter& target, CImageBitmap& image, const BlitParams& p, int sx, int sy, int sw,
                    int sh, int dx, int dy);
    bool BlitTiles(QPainter& target, CImageBitmap& image, const BlitParams& p, int sx, int sy, int sw, int sh,
                   int dx, int dy);

    int m_stripWidth = 0;
    int m_stripHeight = 0;
    bool m_dithering = false;
    QImage m_strip;
    QList<QRgb> m_palette;
    int m_format = -1;
};
