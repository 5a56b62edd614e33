#include "decode/jpeg_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLoggingCategory>

#include "decode/colour_profile.h"
#include "decode/display_decode.h"
#include "decode/jpeg_source.h"
#include "decode/sync_event.h"
#include "decode/thumbnail_sampler.h"
#include "error_out.h"

Q_LOGGING_CATEGORY(lcDecode, "lumvane.decode", QtWarningMsg)

namespace {

constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagThumbnailOffset = 513;
constexpr uint16_t kTagThumbnailLength = 514;
constexpr int kTypeShort = 3;
constexpr int kTypeLong = 4;

const ExifEntry* FindEntry(const ExifIfd& ifd, uint16_t tag, int type)
{
    for (const ExifEntry& e : ifd.entries)
        if (e.tag == tag && e.type == type && !e.values.empty())
            return &e;
    return nullptr;
}

// Decodes every row of an open source into the sampler; false on a library
// failure, cancel, or a thumbnail too large to hold.
bool SampleRows(CJpegSource& source, int size, CEvent* cancel, std::vector<uint32_t>& pixels, int& width,
                int& height, std::string* error)
{
    const int w = source.OutputWidth(), h = source.OutputHeight();
    if (int64_t(w) * h > kMaxDisplayPixels)
        return Fail(error, "image too large");
    CThumbnailSampler sampler(w, h, size);
    if (!sampler.Valid())
        return Fail(error, "thumbnail too large");
    // Every row up to the last one the thumbnail takes is read, with cancel
    // polled before each. The library's own row skipping would save some
    // colour work, but a skip that starts inside a row group can hand back
    // rows from before it; at the reduced scales used here reading costs
    // about a tenth more.
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int y = sampler.NextSourceRow(); y >= 0; y = sampler.NextSourceRow()) {
        while (source.OutputScanline() <= y) {
            if (cancel && cancel->IsSet())
                return Fail(error, "cancelled");
            if (!source.ReadScanline(row.data(), error))
                return false;
        }
        sampler.AddRow(y, row.data());
    }
    width = sampler.Width();
    height = sampler.Height();
    pixels = sampler.Pixels();
    return true;
}

// The embedded thumbnail of the Exif data, when it is sound: JPEG
// compression (6) and its bytes within the TIFF data.
// False without a reason when there is none.
bool ExifThumbnail(const CExifReader& exif, int size, std::vector<uint32_t>& pixels, int& width, int& height,
                   std::string* error)
{
    const ExifIfd& ifd1 = exif.Ifd1Dir();
    const ExifEntry* compression = FindEntry(ifd1, kTagCompression, kTypeShort);
    const ExifEntry* offset = FindEntry(ifd1, kTagThumbnailOffset, kTypeLong);
    const ExifEntry* length = FindEntry(ifd1, kTagThumbnailLength, kTypeLong);
    const std::vector<uint8_t>& tiff = exif.TiffData();
    if (!compression || compression->values[0].unsignedValue != 6 || !offset || !length)
        return false;
    const uint32_t at = offset->values[0].unsignedValue, bytes = length->values[0].unsignedValue;
    if (bytes == 0 || uint64_t(at) + bytes > tiff.size())
        return false;
    CJpegSource source;
    return source.OpenMemory(tiff.data() + at, bytes, error) && source.ReadHeader(error)
        && source.StartDecompress(JCS_RGB, 1, 0, error)
        && SampleRows(source, size, nullptr, pixels, width, height, error);
}

// The file decoded at the library scale that keeps it at least `size` on
// its longer side, then sampled.
// The Exif data goes to `exif` when one is given, read with the header.
// A failure that comes without a reason leaves `error` as it was.
bool ReducedThumbnail(const std::string& path, int size, bool useProfile, CExifReader* exif, CEvent* cancel,
                      std::vector<uint32_t>& pixels, int& width, int& height, bool& skippedScans,
                      std::string* error)
{
    CJpegSource source;
    if (!source.OpenFile(path, exif, nullptr, error))
        return false;
    source.SetCancel(cancel);
    source.SetColourManaged(useProfile);
    // A progressive file's scans are read only as far as they change the
    // reduced pixels; the rest is never decoded.
    std::string why;
    const bool made = source.ReadHeader(&why)
        && source.StartReducedDecompress(
            JCS_RGB,
            CThumbnailSampler::ReducedScale(std::max(source.ImageWidth(), source.ImageHeight()), size), &why)
        && SampleRows(source, size, cancel, pixels, width, height, &why);
    if (!made && !why.empty())
        Fail(error, why);
    skippedScans = made && source.SkippedScans();
    return made;
}

// The Exif thumbnail shows the photo's colours in the photo's profile; the
// main image's conversion applies to it too.
void ConvertExifThumbnail(const std::vector<uint8_t>& profile, std::vector<uint32_t>& pixels)
{
    if (const auto transform = ColourTransformFor(profile, RowLayout::Bgrx, RowLayout::Bgrx)) {
        auto* bytes = reinterpret_cast<uint8_t*>(pixels.data());
        transform->Apply(bytes, bytes, int(pixels.size()));
    }
}

}  // namespace

bool FitDisplaySize(int w, int h, int targetWidth, int targetHeight, int& displayWidth, int& displayHeight)
{
    if (w <= 0 || h <= 0)
        return false;
    using Real = long double;
    const Real W = w, H = h;
    Real tw = std::max(targetWidth, 0), th = std::max(targetHeight, 0);
    if (tw == 0 && th == 0) {
        tw = W;
        th = H;
    } else if (tw == 0) {
        // At least one pixel: a sliver asked for by its other side still shows.
        tw = std::max(std::trunc(th / H * W), Real(1));
    } else if (th == 0) {
        th = std::max(std::trunc(tw / W * H), Real(1));
    }
    const Real aspect = W / H;
    Real dw, dh;
    if (th > 0 && aspect >= tw / th) {
        dw = tw;
        dh = std::trunc(tw / aspect + 0.5L);
    } else {
        dh = th;
        dw = std::trunc(th * aspect + 0.5L);
    }
    // A side that rounds to nothing keeps one pixel, so a sliver still shows.
    dw = std::max(dw, Real(1));
    dh = std::max(dh, Real(1));
    if (dw * dh > Real(kMaxDisplayPixels))
        return false;
    displayWidth = int(dw);
    displayHeight = int(dh);
    return true;
}

CJpegDecoder::CJpegDecoder() = default;
CJpegDecoder::~CJpegDecoder() = default;

const ImageInfo& CJpegDecoder::ReadInfo(const std::string& path)
{
    std::lock_guard lock(m_infoLock);
    if (m_info)
        return *m_info;
    // Made on first use only: most decoders of a large folder never show
    // their information.
    m_info = std::make_unique<ImageInfo>();
    ImageInfo& info = *m_info;
    struct statx st {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return info;
    info.fileSizeFull = int64_t(st.stx_size);
    info.fileSize = uint32_t(st.stx_size);
    info.created = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_ctime.tv_sec;
    info.modified = st.stx_mtime.tv_sec;
    info.attributes = ::access(path.c_str(), W_OK) == 0 ? 0 : 0x01;

    CJpegSource source;
    if (!source.OpenFile(path, &info.exif, &info.comments))
        return info;
    std::string why;
    if (source.ReadHeader(&why)) {
        info.iccProfile = source.IccProfile();
        info.imageWidth = source.ImageWidth();
        info.imageHeight = source.ImageHeight();
        info.color = source.Components() != 1;
    } else {
        qCDebug(lcDecode, "no header in %s: %s", path.c_str(), why.c_str());
    }
    info.commentsNotKept = source.CommentsNotKept();
    return info;
}

const CExifReader* CJpegDecoder::KeptExif(std::vector<uint8_t>* profile)
{
    std::lock_guard lock(m_infoLock);
    if (!m_info)
        return nullptr;
    if (profile)
        *profile = m_info->iccProfile;
    return &m_info->exif;
}

bool CJpegDecoder::MakeThumbnail(const std::string& path, int size, bool useExif, CEvent* cancel,
                                 const PictureOptions& picture, std::string* error)
{
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    // Why the thumbnail failed: what the Exif thumbnail lacked, unless the
    // decode after it tells more.
    std::string why;
    m_thumbSkippedScans = false;
    bool made = false;
    // The information, once read, is kept for the properties; the Exif data
    // a thumbnail needs is read for it alone, so that a folder of thousands
    // of files does not hold every file's Exif data.
    CExifReader read;
    const CExifReader* exif = nullptr;
    if (useExif) {
        std::vector<uint8_t> profile;
        exif = KeptExif(&profile);
        if (!exif) {
            CJpegSource source;
            if (source.OpenFile(path, &read, nullptr)) {
                source.SetCancel(cancel);
                if (source.ReadHeader())
                    profile = source.IccProfile();
            }
            exif = &read;
        }
        made = ExifThumbnail(*exif, size, pixels, width, height, &why);
        if (made && picture.useColourProfile)
            ConvertExifThumbnail(profile, pixels);
    }
    if (!made) {
        // The orientation comes with the header the decode reads anyway.
        CExifReader* target = nullptr;
        if (!exif && picture.autoOrient)
            exif = target = &read;
        made = ReducedThumbnail(path, size, picture.useColourProfile, target, cancel, pixels, width, height,
                                m_thumbSkippedScans, &why);
    }
    if (!made)
        return Fail(error, why);
    // The thumbnail is small: turning the finished pixels costs less than
    // placing every decoded row.
    if (picture.autoOrient && exif)
        OrientPixels(pixels, width, height, UprightOf(ExifOrientationTag(*exif)));

    m_thumbnail.Clear();
    if (width == 0 || height == 0)
        return true;  // a sliver of an image: no pixels, but nothing failed
    if (!m_thumbnail.Create(width, height))
        return Fail(error, "out of memory");
    PixelLocker lock(m_thumbnail);
    std::copy(pixels.begin(), pixels.end(), m_thumbnail.Pixels());
    return true;
}

bool CJpegDecoder::OpenForDisplay(const DecodeRequest& request, CEvent* cancel, std::string* error)
{
    m_request = request;
    m_request.rotation &= 3;
    m_display.Clear();
    m_source = std::make_unique<CJpegSource>();
    std::string why;  // of the source's step that failed
    auto fail = [this, error](const std::string& reason) {
        m_source.reset();
        m_display.Clear();
        return Fail(error, reason);
    };
    // The Exif data is read with the header only when the orientation is
    // wanted; the decode stays one pass over the file.
    CExifReader exif;
    if (!m_source->OpenFile(m_request.path, m_request.picture.autoOrient ? &exif : nullptr, nullptr, &why))
        return fail(why);
    m_source->SetCancel(cancel);
    m_source->SetColourManaged(m_request.picture.useColourProfile);
    if (!m_source->ReadHeader(&why))
        return fail(why);
    const Orientation asked {m_request.rotation, m_request.flipHorizontally, m_request.flipVertically};
    m_placement = m_request.picture.autoOrient ? Compose(UprightOf(ExifOrientationTag(exif)), asked) : asked;
    // At scale 1/1 the output size is the frame size.
    const int w = m_source->ImageWidth(), h = m_source->ImageHeight();
    const bool quarter = m_placement.rotation & 1;
    int displayWidth = 0, displayHeight = 0;
    if (!FitDisplaySize(quarter ? h : w, quarter ? w : h, m_request.targetWidth, m_request.targetHeight,
                        displayWidth, displayHeight))
        return fail("the display size is empty or too large");
    const DisplayPlan plan {w,
                            h,
                            m_placement.rotation,
                            m_placement.flipHorizontally,
                            m_placement.flipVertically,
                            m_request.highQuality,
                            m_request.interpolate};
    m_direct = DisplayIsDirect(plan, displayWidth, displayHeight);
    m_reduce = DisplayReduces(plan, displayWidth, displayHeight);
    m_lineColour.reset();
    if (m_reduce && m_request.picture.useColourProfile && m_source->Components() == 3) {
        m_lineColour = ColourTransformFor(m_source->IccProfile(), RowLayout::Bgrx, RowLayout::Bgrx);
        m_source->SetColourManaged(false);
    }
    // The library's 32-bit output is its RGB output with the bytes in the
    // bitmap's order, so the direct path gives the same pixels.
    const J_COLOR_SPACE space = m_direct ? JCS_EXT_BGRX : JCS_RGB;
    const int64_t imageBytes = int64_t(displayWidth) * displayHeight * 4;
    m_passes = m_request.earlyPicture && m_source->IsProgressive();
    const bool started = m_passes
        ? m_source->StartBufferedDecompress(space, 1, imageBytes, &why) && m_source->ReadScans(false, &why)
        : m_source->StartDecompress(space, 1, imageBytes, &why);
    if (!started)
        return fail(why);
    if (!m_display.CreateBlack(displayWidth, displayHeight))
        return fail("out of memory");
    return true;
}

bool CJpegDecoder::Decode(CEvent* cancel, IDecodeProgress* progress, std::string* error)
{
    if (!m_source || !m_source->IsOpen() || m_display.IsNull())
        return false;
    CJpegSource& source = *m_source;
    source.SetCancel(cancel);
    std::string why;  // of the step that failed
    const auto pass
        = [&] { return (!m_passes || source.StartOutputPass(&why)) && DecodePass(cancel, progress, why); };
    bool done = pass();
    // The early picture stays on the screen while the rest of the scans are
    // read; the final pass then writes every row again.
    while (done && m_passes && !source.InputComplete())
        done = source.FinishOutputPass(&why) && source.ReadScans(true, &why) && pass();
    if (done) {
        // Every row is placed: the rest of the file is not read.
        source.FinishDecompress();
    } else {
        Fail(error, why.empty() ? "cancelled" : why);
    }
    m_source.reset();
    return done;
}

bool CJpegDecoder::DecodePass(CEvent* cancel, IDecodeProgress* progress, std::string& why)
{
    CJpegSource& source = *m_source;
    const DisplayPlan plan {source.OutputWidth(),         source.OutputHeight(),      m_placement.rotation,
                            m_placement.flipHorizontally, m_placement.flipVertically, m_request.highQuality,
                            m_request.interpolate,        m_lineColour.get()};
    if (m_direct) {
        return DirectDecode(
            plan, m_display,
            [&source, &why](uint32_t* pixels) {
                return source.ReadScanline(reinterpret_cast<uint8_t*>(pixels), &why);
            },
            cancel, progress);
    }
    const RowReader read = [&source, &why](uint8_t* rgb) { return source.ReadScanline(rgb, &why); };
    return m_reduce ? ReducingDecode(plan, m_display, read, cancel, progress)
                    : EnlargingDecode(plan, m_display, read, cancel, progress);
}
