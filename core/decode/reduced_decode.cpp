// CJpegDecoder::DecodeReduced: a file decoded at a reduced scale into a
// QImage, in a file of its own so that programs that make only sampled
// thumbnails and display images do not need QtGui.

#include <algorithm>
#include <cstring>

#include "decode/jpeg_decoder.h"
#include "decode/jpeg_source.h"
#include "decode/sync_event.h"
#include "decode/thumbnail_sampler.h"
#include "error_out.h"

namespace {

// The image turned and mirrored; pixels of Format_RGB32 lie in one block.
QImage Oriented(const QImage& image, const Orientation& orientation)
{
    int w = image.width(), h = image.height();
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        std::memcpy(pixels.data() + size_t(y) * size_t(w), image.constScanLine(y), size_t(w) * 4);
    OrientPixels(pixels, w, h, orientation);
    QImage turned(w, h, QImage::Format_RGB32);
    if (turned.isNull())
        return image;
    for (int y = 0; y < h; ++y)
        std::memcpy(turned.scanLine(y), pixels.data() + size_t(y) * size_t(w), size_t(w) * 4);
    return turned;
}

}  // namespace

bool CJpegDecoder::DecodeReduced(const std::string& path, int minSize, CEvent* cancel, ReducedImage* out,
                                 const PictureOptions& picture, std::string* error)
{
    m_thumbSkippedScans = false;
    CJpegSource source;
    CExifReader exif;
    if (!source.OpenFile(path, picture.autoOrient ? &exif : nullptr, nullptr, error))
        return false;
    source.SetCancel(cancel);
    source.SetColourManaged(picture.useColourProfile);
    std::string why;  // the library's, when a step failed with one
    auto fail = [&](const char* otherwise) { return Fail(error, why.empty() ? otherwise : why); };
    if (!source.ReadHeader(&why))
        return fail("no image in the file");
    const int scale
        = CThumbnailSampler::ReducedScale(std::max(source.ImageWidth(), source.ImageHeight()), minSize);
    // The library's 32-bit output has the bitmap's byte order.
    if (!source.StartReducedDecompress(JCS_EXT_BGRX, scale, &why))
        return fail("cannot decode");
    const int w = source.OutputWidth(), h = source.OutputHeight();
    if (w <= 0 || h <= 0 || int64_t(w) * h > kMaxReducedPixels)
        return Fail(error, "too large to filter");
    QImage pixels(w, h, QImage::Format_RGB32);
    if (pixels.isNull())
        return fail("out of memory");
    for (int y = 0; y < h; ++y) {
        if (cancel && cancel->IsSet())
            return fail("cancelled");
        if (!source.ReadScanline(pixels.scanLine(y), &why))
            return fail("cannot decode");
    }
    m_thumbSkippedScans = source.SkippedScans();
    out->pixels = std::move(pixels);
    out->imageWidth = source.ImageWidth();
    out->imageHeight = source.ImageHeight();
    const Orientation upright = picture.autoOrient ? UprightOf(ExifOrientationTag(exif)) : Orientation {};
    if (upright != Orientation {}) {
        out->pixels = Oriented(out->pixels, upright);
        if (upright.rotation & 1)
            std::swap(out->imageWidth, out->imageHeight);
    }
    return true;
}
