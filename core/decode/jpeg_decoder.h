#pragma once
// One JPEG file: its information (read once), its thumbnail and its display
// image decoded at the fitted size, rotated and flipped while it decodes.
// A decode whose buffers or scans would pass the limits of decode_limits.h
// fails at once with a reason that says "too large"; one given a cancel
// event notices it between reads of the file as well as between rows.
// Each call that can fail gives its reason through a nullable `error` last
// (see error_out.h).
//
// Thread rules: ReadInfo may be called from any thread and is serialised by
// the information lock. OpenForDisplay and Decode of one decoder run on one
// thread. MakeThumbnail runs on one thread at a time. Every pixel access to
// the two bitmaps holds that bitmap's pixel lock.

#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QImage>

#include "decode/exif_orientation.h"
#include "decode/exif_reader.h"
#include "decode/image_bitmap.h"

class CColourTransform;
class CEvent;
class CJpegSource;

// How a photo is rendered beyond its stored pixels. Both off gives the
// pixels and the orientation as stored.
struct PictureOptions {
    bool autoOrient = false;        // upright as the Exif Orientation tag says
    bool useColourProfile = false;  // converted to sRGB from an embedded ICC profile
    bool operator==(const PictureOptions&) const = default;
};

// What the view wants to see.
struct DecodeRequest {
    std::string path;      // full path, bytes as the kernel stores them
    int targetWidth = 0;   // 0: not constrained
    int targetHeight = 0;  // 0: not constrained
    int rotation = 0;      // 0 none, 1 clockwise 90, 2 180, 3 counter-clockwise 90
    bool flipHorizontally = false;
    bool flipVertically = false;
    bool highQuality = false;  // average source pixels when reducing
    bool interpolate = false;  // interpolate linearly when enlarging
    // A progressive file is shown first as the picture its DC scans give,
    // once they are read, then whole: two passes over the display image.
    // Off: one pass once every scan is read (for an image decoded ahead).
    bool earlyPicture = false;
    // With autoOrient the rotation and flips act on the upright photo; the
    // decode composes both into the one rotation and flip it applies.
    PictureOptions picture {};
};

struct ImageInfo {
    uint32_t fileSize = 0;     // low 32 bits of the size
    int64_t fileSizeFull = 0;  // the whole size, for reports
    std::time_t created = 0;   // birth time where known, else change time
    std::time_t modified = 0;
    uint8_t attributes = 0;  // 0x01: read-only for this user
    int imageWidth = 0;      // frame size from the header, unrotated
    int imageHeight = 0;
    bool color = false;  // components != 1
    CExifReader exif;
    std::vector<std::string> comments;  // the COM segments, in file order
    int64_t commentsNotKept = 0;        // COM segments after the kept ones
    std::vector<uint8_t> iccProfile;    // the embedded ICC profile; empty when none
};

// Called after each source row of Decode; returning false stops the decode.
class IDecodeProgress {
public:
    virtual ~IDecodeProgress() = default;
    virtual bool Progress(int totalRows, int row) = 0;
};

// A file decoded at a reduced scale, for thumbnails that are filtered
// rather than sampled (those of the shared thumbnail cache).
struct ReducedImage {
    QImage pixels;       // Format_RGB32, at the library's scale
    int imageWidth = 0;  // the file's own size
    int imageHeight = 0;
};

// The largest reduced image DecodeReduced makes, in pixels (64 MB); a larger
// one would stand for an image of over 250 megapixels at 1/8.
constexpr int64_t kMaxReducedPixels = int64_t(1) << 24;

// The largest display image OpenForDisplay will create, in pixels
// (about 1 GiB of 32-bit pixels); thumbnails are held to it as well.
constexpr int64_t kMaxDisplayPixels = int64_t(1) << 28;

class CJpegDecoder {
public:
    CJpegDecoder();
    ~CJpegDecoder();
    CJpegDecoder(const CJpegDecoder&) = delete;
    CJpegDecoder& operator=(const CJpegDecoder&) = delete;

    // Fills the information once; later calls return what is there.
    const ImageInfo& ReadInfo(const std::string& path);
    // Fills the thumbnail with the image fitted to a size x size square.
    // The picture options turn it upright and convert its colours like the
    // display image.
    bool MakeThumbnail(const std::string& path, int size, bool useExif, CEvent* cancel,
                       const PictureOptions& picture = {}, std::string* error = nullptr);
    // Decodes the file at the library scale that keeps its longer side at
    // least `minSize` (a progressive file's scans only as far as they matter).
    // Leaves the thumbnail alone; an image larger than kMaxReducedPixels
    // fails with "too large to filter". The picture options apply as to
    // thumbnails (the original's size is then the upright one).
    bool DecodeReduced(const std::string& path, int minSize, CEvent* cancel, ReducedImage* out,
                       const PictureOptions& picture = {}, std::string* error = nullptr);
    // Opens the file and creates the display image at its final size, black.
    // A signalled cancel stops the library's absorbing of a progressive
    // file's scans, which happens here, before the first row (with an early
    // picture, of its DC scans only).
    bool OpenForDisplay(const DecodeRequest& request, CEvent* cancel = nullptr, std::string* error = nullptr);
    // Decodes every row into the display image; closes the decompressor.
    // With an early picture the rows are written twice: coarse, then, after
    // the rest of the scans (cancel polled between their rows of blocks),
    // final; progress is called for the rows of each pass.
    bool Decode(CEvent* cancel, IDecodeProgress* progress, std::string* error = nullptr);

    CImageBitmap& DisplayImage() { return m_display; }
    CImageBitmap& Thumbnail() { return m_thumbnail; }
    const DecodeRequest& Request() const { return m_request; }
    bool Reduces() const { return m_reduce; }
    // The rotation and flips the display decode applies: the request's,
    // composed with the Exif orientation when it asks to be upright.
    const Orientation& Placement() const { return m_placement; }
    // True when the last MakeThumbnail left scans of a progressive file
    // unread, its pixels being fixed by the scans before (tools and tests).
    bool ThumbnailSkippedScans() const { return m_thumbSkippedScans; }

private:
    // The Exif data of the information when it was read (then fixed), else
    // null; `profile` (when given) gets the embedded ICC profile with it.
    const CExifReader* KeptExif(std::vector<uint8_t>* profile = nullptr);
    // One pass of rows from the open source into the display image.
    bool DecodePass(CEvent* cancel, IDecodeProgress* progress, std::string& why);

    CImageBitmap m_display;
    CImageBitmap m_thumbnail;
    std::unique_ptr<CJpegSource> m_source;  // open between OpenForDisplay and the end of Decode
    DecodeRequest m_request;
    bool m_reduce = false;
    Orientation m_placement;
    // A reducing decode of an RGB photo converts its reduced lines rather
    // than its source rows: the same colours for a fraction of the work.
    std::shared_ptr<const CColourTransform> m_lineColour;
    bool m_direct = false;  // the library writes rows straight into the display image
    bool m_passes = false;  // an early picture, then the final one (buffered-image mode)
    bool m_thumbSkippedScans = false;
    std::unique_ptr<ImageInfo> m_info;  // made by the first ReadInfo, fixed after
    std::mutex m_infoLock;
};
