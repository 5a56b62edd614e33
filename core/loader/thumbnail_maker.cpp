// Thumbnails through the desktop's shared cache: a valid cached one is scaled
// to the thumbnail size; otherwise the file is decoded at a reduced scale and
// filtered down, once for the thumbnail and once for the cache's "normal"
// size, which is stored for the next visit and for other programs.

#include "loader/thumbnail_maker.h"

#include <algorithm>
#include <cstring>

#include "decode/image_bitmap.h"
#include "decode/thumbnail_sampler.h"
#include "error_out.h"
#include "cache/thumbnail_cache.h"
#include "loader/thumbs_log.h"

namespace {

// The image scaled with area averaging to fit size x size the way every
// thumbnail fits, its proportion taken from the original's size.
QImage Fit(const QImage& image, int size, int originalWidth, int originalHeight)
{
    int width = 0, height = 0;
    if (!CThumbnailSampler::FitSize(originalWidth, originalHeight, size, &width, &height))
        return {};
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

bool CopyToBitmap(const QImage& image, CImageBitmap& bitmap)
{
    bitmap.Clear();
    if (image.isNull() || !bitmap.Create(image.width(), image.height()))
        return false;
    PixelLocker lock(bitmap);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.Row(y), image.constScanLine(y), size_t(image.width()) * 4);
    return true;
}

// The original's size as the cached thumbnail tells it, else its own.
void OriginalSize(const QImage& cached, int* width, int* height)
{
    bool okWidth = false, okHeight = false;
    *width = cached.text("Thumb::Image::Width").toInt(&okWidth);
    *height = cached.text("Thumb::Image::Height").toInt(&okHeight);
    if (!okWidth || !okHeight || *width <= 0 || *height <= 0) {
        *width = cached.width();
        *height = cached.height();
    }
}

}  // namespace

bool CThumbnailMaker::Make(CItemDecoder& decoder, const std::string& path, CEvent* stop,
                           std::string* error) const
{
    return m_cache ? MakeThroughCache(decoder, path, stop, error)
                   : decoder.MakeThumbnail(path, m_size, m_exifThumbnails, stop, m_picture, error);
}

bool CThumbnailMaker::MakeThroughCache(CItemDecoder& item, const std::string& path, CEvent* stop,
                                       std::string* error) const
{
    CJpegDecoder& decoder = item;
    CacheSource source;
    // The shared cache holds thumbnails upright and in sRGB, as the desktop
    // expects; with either option off they are made here alone.
    if (!(m_picture.autoOrient && m_picture.useColourProfile) || !m_cache->Describe(path, &source))
        return decoder.MakeThumbnail(path, m_size, m_exifThumbnails, stop, m_picture, error);
    if (const QImage cached = m_cache->Read(source, m_size); !cached.isNull()) {
        int width = 0, height = 0;
        OriginalSize(cached, &width, &height);
        if (CopyToBitmap(Fit(cached, m_size, width, height), decoder.Thumbnail()))
            return true;
    }
    if (m_cache->HasFailure(source)) {
        qCDebug(lcThumbs) << "failed before:" << path.c_str();
        return false;
    }
    // Thumbnails taken from Exif data are the user's choice of speed over
    // quality; they are neither filtered nor stored.
    if (m_exifThumbnails)
        return decoder.MakeThumbnail(path, m_size, true, stop, m_picture, error);
    ReducedImage reduced;
    std::string why;
    if (!decoder.DecodeReduced(path, std::max(m_size, int(CThumbnailCache::kNormalSize)), stop, &reduced,
                               m_picture, &why)) {
        if (stop->IsSet())
            return false;
        // An image too large to filter in memory is sampled as row by row.
        if (why == "too large to filter")
            return decoder.MakeThumbnail(path, m_size, false, stop, m_picture, error);
        // A lack of memory says nothing about the file.
        if (why != "out of memory")
            m_cache->WriteFailure(source);
        return Fail(error, why);
    }
    const int width = reduced.pixels.width(), height = reduced.pixels.height();
    if (!CopyToBitmap(Fit(reduced.pixels, m_size, width, height), decoder.Thumbnail()))
        return false;
    // Only originals larger than the cache's size are worth a thumbnail there.
    if (std::max(reduced.imageWidth, reduced.imageHeight) > CThumbnailCache::kNormalSize)
        m_cache->WriteNormal(source, Fit(reduced.pixels, CThumbnailCache::kNormalSize, width, height),
                             reduced.imageWidth, reduced.imageHeight);
    return true;
}
