#include "display/display_bitmap.h"

#include <algorithm>
#include <climits>

#include <QLoggingCategory>
#include <QPainter>

#include "decode/image_bitmap.h"
#include "display/dither_tables.h"

Q_LOGGING_CATEGORY(lcDisplay, "lumvane.display", QtWarningMsg)

namespace {

// The strip's QImage format for each pixel format, in format order.
constexpr QImage::Format kStripFormats[pixelconv::kFormatCount] = {
    QImage::Format_BGR888,    // 0: any other screen
    QImage::Format_Indexed8,  // 1: 8 bits, the 233-colour palette
    QImage::Format_RGB555,    // 2: 16 bits 5-5-5
    QImage::Format_RGB16,     // 3: 16 bits 5-6-5
    QImage::Format_RGB32,     // 4: 24 or 32 bits
};

QList<QRgb> MakeColorTable()
{
    QList<QRgb> table;
    table.reserve(dither::kPaletteSize);
    for (const dither::PaletteEntry& e : dither::kPalette)
        table.append(qRgb(e.red, e.green, e.blue));
    return table;
}

// The part of a source rectangle that lies inside the image, and where it
// is drawn. Cutting the left or top edge moves the destination by the zoomed
// cut; when reducing, cuts and sizes are whole multiples of the factor so the
// kept pixels stay on the caller's grid.
struct ClippedBlit {
    int sx = 0, sy = 0, sw = 0, sh = 0;
    int dx = 0, dy = 0;
};

bool ClipAxis(int64_t pos, int64_t size, int64_t dest, int64_t limit, int factor, bool reduce, int& outPos,
              int& outSize, int& outDest)
{
    if (pos < 0) {
        int64_t cut = -pos;
        if (reduce)
            cut = (cut + factor - 1) / factor * factor;
        pos += cut;
        size -= cut;
        dest += reduce ? cut / factor : cut * factor;
    }
    size = std::min(size, limit - pos);
    if (reduce)
        size = size / factor * factor;
    if (size <= 0)
        return false;
    const int64_t zoomed = reduce ? size / factor : size * factor;
    if (dest < INT_MIN / 2 || dest > INT_MAX / 2 || zoomed > INT_MAX / 2)
        return false;
    outPos = int(pos);
    outSize = int(size);
    outDest = int(dest);
    return true;
}

bool Clip(const BlitParams& p, int width, int height, ClippedBlit& c)
{
    return ClipAxis(p.sourceX, p.sourceWidth, p.destX, width, p.factor, p.reduce, c.sx, c.sw, c.dx)
        && ClipAxis(p.sourceY, p.sourceHeight, p.destY, height, p.factor, p.reduce, c.sy, c.sh, c.dy);
}

}  // namespace

int CDisplayBitmap::FormatForDepth(int screenDepth)
{
    switch (screenDepth) {
    case 32:
    case 24: return pixelconv::kFormat32;
    case 16: return pixelconv::kFormat565;
    case 15: return pixelconv::kFormat555;
    case 8: return pixelconv::kFormat8;
    default: return pixelconv::kFormat24;
    }
}

bool CDisplayBitmap::Create(int screenDepth, int stripWidth, int stripHeight, bool dithering)
{
    return CreateFormat(FormatForDepth(screenDepth), stripWidth, stripHeight, dithering);
}

bool CDisplayBitmap::CreateFormat(int format, int stripWidth, int stripHeight, bool dithering)
{
    Destroy();
    if (format < 0 || format >= pixelconv::kFormatCount || stripWidth < 1 || stripHeight < 1
        || stripWidth > kMaxStripSize || stripHeight > kMaxStripSize)
        return false;
    QImage strip(stripWidth, stripHeight, kStripFormats[format]);
    if (strip.isNull()) {
        qCWarning(lcDisplay) << "cannot allocate a strip of" << stripWidth << "x" << stripHeight;
        return false;
    }
    if (format == pixelconv::kFormat8) {
        m_palette = MakeColorTable();
        strip.setColorTable(m_palette);
    }
    strip.fill(0);
    m_strip = std::move(strip);
    m_stripWidth = stripWidth;
    m_stripHeight = stripHeight;
    m_dithering = dithering;
    m_format = format;
    return true;
}

void CDisplayBitmap::Destroy()
{
    m_strip = QImage();
    m_palette.clear();
    m_stripWidth = m_stripHeight = 0;
    m_format = -1;
}

bool CDisplayBitmap::Blit(QPainter& target, CImageBitmap& image, const BlitParams& params)
{
    if (!IsCreated() || params.factor < 1 || !target.isActive())
        return false;
    PixelLocker lock(image);
    if (image.IsNull())
        return false;
    ClippedBlit c;
    if (!Clip(params, image.Width(), image.Height(), c))
        return true;  // nothing of the image lies in the source rectangle
    if (m_format == pixelconv::kFormat32 && !params.gammaOn)
        return BlitDirect(target, image, params, c.sx, c.sy, c.sw, c.sh, c.dx, c.dy);
    return BlitTiles(target, image, params, c.sx, c.sy, c.sw, c.sh, c.dx, c.dy);
}

// The screen takes the image's own pixels: no conversion, one scaled draw.
bool CDisplayBitmap::BlitDirect(QPainter& target, CImageBitmap& image, const BlitParams& p, int sx, int sy,
                                int sw, int sh, int dx, int dy)
{
    const QImage pixels(reinterpret_cast<const uchar*>(image.Pixels()), image.Width(), image.Height(),
                        qsizetype(image.Width()) * 4, QImage::Format_RGB32);
    const QRect dest(dx, dy, pixelconv::ZoomedExtent(sw, p.factor, p.reduce),
                     pixelconv::ZoomedExtent(sh, p.factor, p.reduce));
    const bool smooth = target.testRenderHint(QPainter::SmoothPixmapTransform);
    target.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (p.reduce && p.factor > 1) {
        // Unsmoothed scaling samples at pixel centres; moving the source by
        // half a factor makes it keep pixels sx, sx + f, ... as the strip does,
        // so switching gamma on or off does not shift the picture.
        const double shift = 0.5 - p.factor / 2.0;
        target.drawImage(QRectF(dest), pixels, QRectF(sx + shift, sy + shift, sw, sh));
    } else {
        target.drawImage(dest, pixels, QRect(sx, sy, sw, sh));
    }
    target.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    return true;
}

// Converts the rectangle tile by tile into the strip and draws each tile
// where it belongs; tiles of one row join edge to edge.
bool CDisplayBitmap::BlitTiles(QPainter& target, CImageBitmap& image, const BlitParams& p, int sx, int sy,
                               int sw, int sh, int dx, int dy)
{
    const int64_t f = p.factor;
    const int tileW = int(std::min<int64_t>(p.reduce ? m_stripWidth * f : m_stripWidth / f, sw));
    const int tileH = int(std::min<int64_t>(p.reduce ? m_stripHeight * f : m_stripHeight / f, sh));
    if (tileW < 1 || tileH < 1)
        return false;  // one enlarged pixel is larger than the strip

    const pixelconv::SourcePixels source {image.Pixels(), image.Width(), image.Height()};
    const pixelconv::StripPixels strip {m_strip.bits(), int(m_strip.bytesPerLine()), m_stripWidth,
                                        m_stripHeight};
    pixelconv::TileJob job;
    job.factor = p.factor;
    job.reduce = p.reduce;
    job.dither = m_dithering;
    job.gamma = p.gammaOn ? p.gammaTable.data() : nullptr;

    int y = dy;
    for (int ty = 0; ty < sh; ty += tileH) {
        job.y = sy + ty;
        job.height = std::min(tileH, sh - ty);
        job.ditherY = y + p.ditherOffsetY;
        const int blitH = pixelconv::ZoomedExtent(job.height, p.factor, p.reduce);
        int x = dx;
        for (int tx = 0; tx < sw; tx += tileW) {
            job.x = sx + tx;
            job.width = std::min(tileW, sw - tx);
            job.ditherX = x + p.ditherOffsetX;
            if (!pixelconv::ConvertTile(m_format, source, job, strip))
                return false;
            const int blitW = pixelconv::ZoomedExtent(job.width, p.factor, p.reduce);
            target.drawImage(QPoint(x, y), m_strip, QRect(0, 0, blitW, blitH));
            x += blitW;
        }
        y += blitH;
    }
    return true;
}
