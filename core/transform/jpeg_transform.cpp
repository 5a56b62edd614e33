#include "transform/jpeg_transform.h"

#include <cstring>

#include "decode/exif_reader.h"
#include "transform/coefficient_transform.h"
#include "transform/exif_rewrite.h"
#include "error_out.h"

namespace {

constexpr int kApp0 = 0xE0, kApp1 = 0xE1;

TransformResult Refused(std::string reason)
{
    TransformResult r;
    r.reason = std::move(reason);
    return r;
}

bool IsIdentity(const Orientation& o)
{
    return Compose(o, {}) == Orientation {};
}

bool IsTransposing(const Orientation& o)
{
    return (Compose(o, {}).rotation & 1) != 0;
}

int StoredTag(const std::vector<JpegMarker>& markers)
{
    for (const JpegMarker& m : markers)
        if (m.code == kApp1 && IsExifPayload(m.data)) {
            CExifReader exif;
            exif.ParseApp1(m.data.data(), m.data.size());
            return ExifOrientationTag(exif);
        }
    return 0;
}

bool TurnThumbnail(const Orientation& turn, const std::vector<uint8_t>& in, std::vector<uint8_t>& out,
                   std::string* error)
{
    // A thumbnail's edge is not worth a refusal: its partial blocks go.
    CCoefficientTransform t;
    return t.Open(in.data(), in.size(), error) && t.Write(turn, true, t.Markers(), out, error);
}

// The markers of the result: Exif and XMP rewritten, a JFIF pixel aspect
// exchanged for a quarter turn; false with the reason when Exif can't be.
bool RewriteMarkers(std::vector<JpegMarker>& markers, const ExifChanges& changes, std::string* error)
{
    bool exifSeen = false;
    for (JpegMarker& m : markers) {
        if (m.code == kApp1 && IsExifPayload(m.data) && !exifSeen) {
            exifSeen = true;
            if (!RewriteExif(m.data, changes, error))
                return false;
        } else if (m.code == kApp1) {
            RewriteXmpOrientation(m.data, changes.orientation);
        } else if (m.code == kApp0 && changes.transposed && m.data.size() >= 12
                   && std::memcmp(m.data.data(), "JFIF", 5) == 0) {
            std::swap(m.data[8], m.data[10]);
            std::swap(m.data[9], m.data[11]);
        }
    }
    if (!exifSeen && changes.orientation != 1) {
        const bool afterJfif = !markers.empty() && markers.front().code == kApp0;
        markers.insert(markers.begin() + (afterJfif ? 1 : 0),
                       {kApp1, ExifWithOrientation(changes.orientation)});
    }
    return true;
}

}  // namespace

Orientation OrientationOf(TransformOp op)
{
    switch (op) {
    case TransformOp::Rotate90: return {1, false, false};
    case TransformOp::Rotate180: return {2, false, false};
    case TransformOp::Rotate270: return {3, false, false};
    case TransformOp::FlipH: return {0, true, false};
    case TransformOp::FlipV: return {0, false, true};
    case TransformOp::Transpose: return {1, true, false};
    case TransformOp::Transverse: return {1, false, true};
    case TransformOp::ApplyExif: break;
    }
    return {};
}

int ExifTagOf(const Orientation& turn)
{
    for (int tag = 1; tag <= 8; ++tag)
        if (Compose(UprightOf(tag), {}) == Compose(turn, {}))
            return tag;
    return 1;
}

TransformResult TransformJpeg(const std::vector<uint8_t>& jpeg, TransformOp op, EdgeAnswer edges)
{
    CCoefficientTransform coefficients;
    std::string why;
    if (!coefficients.Open(jpeg.data(), jpeg.size(), &why))
        return Refused(why);
    const JpegFrame& frame = coefficients.Frame();
    std::vector<JpegMarker> markers = coefficients.Markers();
    const int storedTag = StoredTag(markers);
    // From the stored picture to the one wanted: upright, then the request.
    const Orientation wanted = Compose(UprightOf(storedTag), OrientationOf(op));
    Orientation pixels = wanted;
    int tag = 1;
    bool trim = false;
    if (PartialEdgesMove(frame, wanted)) {
        switch (edges) {
        case EdgeAnswer::Refuse: {
            TransformResult refused
                = Refused("its size " + std::to_string(frame.width) + "x" + std::to_string(frame.height)
                          + " is not a whole number of " + std::to_string(frame.mcuWidth) + "x"
                          + std::to_string(frame.mcuHeight) + " blocks, so its edge can't turn losslessly");
            refused.partialEdges = true;
            return refused;
        }
        case EdgeAnswer::Trim: trim = true; break;
        case EdgeAnswer::Tag:
            pixels = {};
            tag = ExifTagOf(wanted);
            break;
        }
    }
    if (IsIdentity(pixels) && tag == (storedTag ? storedTag : 1)) {
        TransformResult unchanged;
        unchanged.outcome = TransformResult::Outcome::Unchanged;
        return unchanged;
    }
    TransformResult r;
    TransformedSize(frame, pixels, trim, r.width, r.height);
    ExifChanges changes;
    changes.orientation = tag;
    changes.oldWidth = frame.width;
    changes.oldHeight = frame.height;
    changes.newWidth = r.width;
    changes.newHeight = r.height;
    changes.transposed = IsTransposing(pixels);
    if (!IsIdentity(pixels))
        changes.thumbnail = [&pixels](const std::vector<uint8_t>& in, std::vector<uint8_t>& out,
                                      std::string* error) { return TurnThumbnail(pixels, in, out, error); };
    if (!RewriteMarkers(markers, changes, &r.reason))
        return r;
    if (!coefficients.Write(pixels, trim, markers, r.jpeg, &why))
        return Refused(why);
    // A damaged source can hold coefficients no baseline code can carry;
    // nothing that does not read back cleanly is handed out.
    if (!JpegDecodesCleanly(r.jpeg.data(), r.jpeg.size(), r.width, r.height))
        return Refused("the turned picture does not read back cleanly");
    r.outcome = TransformResult::Outcome::Done;
    return r;
}
