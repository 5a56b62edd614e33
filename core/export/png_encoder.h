#pragma once
// A fast PNG encoder for large clipboard images and the command line's
// output files: 8-bit RGB, each row with
// the "Up" filter, deflated at the lowest level in bands that run on several
// threads and join into one zlib stream (each band ends on a byte boundary
// with an empty stored block, so the bands' bytes simply follow each other).
// It trades file size for time: a copy on the clipboard is read once and
// thrown away.
//
// Thread rules: reentrant; the image is only read. The cancel flag may be
// set from another thread and is checked between rows.

#include <atomic>
#include <cstdint>

#include <QByteArray>
#include <QImage>

// The PNG file of width x height pixels of QImage::Format_RGB32 (alpha is
// dropped), rows bytesPerLine apart. Empty when there are no pixels, memory
// runs out or `cancel` was set. `threads` is how many deflate it (at most
// one per row); 0 is one per core, up to eight.
QByteArray EncodePngPixels(const uint32_t* pixels, int width, int height, qsizetype bytesPerLine,
                           const std::atomic<bool>* cancel = nullptr, int threads = 0);

// The same for a QImage of any format. Inline, so that a program that
// encodes only plain pixels does not need QtGui.
inline QByteArray EncodePngFast(const QImage& source, const std::atomic<bool>* cancel = nullptr,
                                int threads = 0)
{
    if (source.isNull())
        return {};
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    return EncodePngPixels(reinterpret_cast<const uint32_t*>(image.constBits()), image.width(),
                           image.height(), image.bytesPerLine(), cancel, threads);
}
