#pragma once
// Writing a CImageBitmap out: the packed device-independent bitmap that the
// clipboard copy hands over (a 40-byte BITMAPINFOHEADER followed by 24-bit
// rows, bottom-up, each padded to 4 bytes), BMP, binary PPM and PNG files,
// and QImage views of the pixels.
//
// Thread rules: functions taking a const bitmap expect the caller to hold its
// pixel lock; those taking a mutable one take the lock themselves.

#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

#include "decode/image_bitmap.h"

// Header size and row size of a packed 24-bit DIB.
constexpr int kDibHeaderSize = 40;
constexpr int kBmpFileHeaderSize = 14;
inline size_t DibRowSize(int width)
{
    return (size_t(width) * 3 + 3) / 4 * 4;
}

// The packed DIB of the bitmap; the bytes that round a row up are zero.
std::vector<uint8_t> MakePackedDib(const CImageBitmap& bitmap);
// A BMP file: the 14-byte file header, then the packed DIB.
std::vector<uint8_t> MakeBmpFile(const CImageBitmap& bitmap);

// A QImage sharing the bitmap's pixels (Format_RGB32); valid while the bitmap
// keeps its pixels, and read under its pixel lock. Inline, like CopyBitmap,
// so that only the programs that use them need QtGui.
inline QImage WrapBitmap(const CImageBitmap& bitmap)
{
    if (bitmap.IsNull())
        return QImage();
    return QImage(reinterpret_cast<const uchar*>(bitmap.Pixels()), bitmap.Width(), bitmap.Height(),
                  qsizetype(bitmap.Width()) * 4, QImage::Format_RGB32);
}

// A deep copy of the pixels, taken under the pixel lock.
inline QImage CopyBitmap(CImageBitmap& bitmap)
{
    PixelLocker lock(bitmap);
    return WrapBitmap(bitmap).copy();
}

enum class ImageFileFormat { Unknown, Ppm, Bmp, Png };
// The format an output path asks for by its extension (.ppm, .bmp, .png).
ImageFileFormat FormatOfPath(const std::string& path);

// Writes the bitmap in the format of the path's extension. On failure the
// file is removed and `error` (may be null) says why.
bool WriteImageFile(CImageBitmap& bitmap, const std::string& path, std::string* error = nullptr);
