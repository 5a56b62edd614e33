#pragma once
// A fast PNG encoder for large clipboard images: 8-bit RGB, each row with
// the "Up" filter, deflated at the lowest level in bands that run on several
// threads and join into one zlib stream (each band ends on a byte boundary
// with an empty stored block, so the bands' bytes simply follow each other).
// It trades file size for time: a copy on the clipboard is read once and
// thrown away.
//
// Thread rules: reentrant; the image is only read. The cancel flag may be
// set from another thread and is checked between rows.

#include <atomic>

#include <QByteArray>
#include <QImage>

// The PNG file of the image (any format; alpha is dropped). Empty when the
// image is null, memory runs out or `cancel` was set. `threads` is how
// many deflate it (at most one per row); 0 is one per core, up to eight.
QByteArray EncodePngFast(const QImage& image, const std::atomic<bool>* cancel = nullptr, int threads = 0);
