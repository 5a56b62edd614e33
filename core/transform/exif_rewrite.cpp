#include "transform/exif_rewrite.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "decode/exif_reader.h"
#include "error_out.h"

namespace {

constexpr char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr char kXmpId[] = "http://ns.adobe.com/xap/1.0/";  // and its NUL
constexpr size_t kIdSize = sizeof kExifId;
constexpr size_t kMaxPayload = 65533;  // a segment's length field counts itself

constexpr uint16_t kOrientation = 274;
constexpr uint16_t kImageWidth = 256, kImageLength = 257;
constexpr uint16_t kPixelX = 0xA002, kPixelY = 0xA003;
constexpr uint16_t kThumbOffset = 0x0201, kThumbLength = 0x0202;
constexpr size_t kEntry = 12;

// The TIFF data being changed, written in its own byte order.
class CTiffPatch {
public:
    CTiffPatch(std::vector<uint8_t> bytes, bool little) : m_bytes(std::move(bytes)), m_little(little) {}
    std::vector<uint8_t>& Bytes() { return m_bytes; }

    uint32_t U16(size_t at) const { return Get(at, 2); }
    uint32_t U32(size_t at) const { return Get(at, 4); }
    void Put(size_t at, uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            m_bytes[at + size_t(m_little ? i : size - 1 - i)] = uint8_t(value >> (8 * i));
    }
    // An inline integer value of one item; false for any other entry.
    bool SetValue(const ExifEntry& e, uint32_t value)
    {
        if (e.count != 1 || e.at + kEntry > m_bytes.size())
            return false;
        if ((e.type == 3 && value <= 0xFFFF) || (e.type == 8 && value <= 0x7FFF)) {
            Put(e.at + 8, value, 2);
            return true;
        }
        if (e.type == 4 || e.type == 9) {
            Put(e.at + 8, value, 4);
            return true;
        }
        return false;
    }
    // Appends at an even offset, as TIFF wants; returns where.
    size_t Append(const std::vector<uint8_t>& data)
    {
        if (m_bytes.size() % 2)
            m_bytes.push_back(0);
        const size_t at = m_bytes.size();
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        return at;
    }

private:
    uint32_t Get(size_t at, int size) const
    {
        uint32_t v = 0;
        for (int i = 0; i < size; ++i)
            v |= uint32_t(m_bytes[at + size_t(m_little ? i : size - 1 - i)]) << (8 * i);
        return v;
    }
    std::vector<uint8_t> m_bytes;
    bool m_little;
};

const ExifEntry* Find(const ExifIfd& ifd, uint16_t tag)
{
    for (const ExifEntry& e : ifd.entries)
        if (e.tag == tag)
            return &e;
    return nullptr;
}

uint32_t ValueOf(const ExifEntry* e)
{
    return e && !e->values.empty() ? e->values.front().unsignedValue : 0;
}

// A directory reached twice (a link back, a pointer into another) is a
// loop or a trap; such a block is not changed.
bool DirectoriesOverlap(const CExifReader& exif)
{
    std::set<size_t> seen;
    for (int d = CExifReader::Ifd0; d <= CExifReader::InteropIfd; ++d)
        for (const ExifEntry& e : exif.Ifd(CExifReader::Directory(d)).entries)
            if (!seen.insert(e.at).second)
                return true;
    return false;
}

// A width and a height tag: the new size where they held the old one, else
// exchanged for a quarter turn (a camera may store a size of its own).
void ResizeTags(CTiffPatch& tiff, const ExifIfd& ifd, uint16_t xTag, uint16_t yTag, const ExifChanges& c)
{
    const ExifEntry* x = Find(ifd, xTag);
    const ExifEntry* y = Find(ifd, yTag);
    if (!x || !y)
        return;
    if (ValueOf(x) == uint32_t(c.oldWidth) && ValueOf(y) == uint32_t(c.oldHeight)) {
        tiff.SetValue(*x, uint32_t(c.newWidth));
        tiff.SetValue(*y, uint32_t(c.newHeight));
    } else if (c.transposed && x->count == 1 && y->count == 1) {
        // Type, count and value change places; the tags keep their order.
        auto& b = tiff.Bytes();
        std::swap_ranges(b.begin() + long(x->at + 2), b.begin() + long(x->at + kEntry),
                         b.begin() + long(y->at + 2));
    }
}

bool ReplaceThumbnail(CTiffPatch& tiff, const CExifReader& exif, const ExifChanges& c, std::string* error)
{
    const ExifEntry* offsetTag = Find(exif.Ifd1Dir(), kThumbOffset);
    const ExifEntry* lengthTag = Find(exif.Ifd1Dir(), kThumbLength);
    if (!offsetTag || !lengthTag || !c.thumbnail)
        return true;
    const uint64_t offset = ValueOf(offsetTag), length = ValueOf(lengthTag);
    auto& bytes = tiff.Bytes();
    if (length == 0 || offset + length > bytes.size())
        return Fail(error, "its Exif thumbnail lies outside the Exif block");
    std::vector<uint8_t> turned;
    const std::vector<uint8_t> old(bytes.begin() + long(offset), bytes.begin() + long(offset + length));
    std::string why;
    if (!c.thumbnail(old, turned, &why))
        return Fail(error, "its Exif thumbnail can't be turned: " + why);
    uint64_t at = offset;
    if (offset + length == bytes.size()) {
        bytes.resize(size_t(offset));
        bytes.insert(bytes.end(), turned.begin(), turned.end());
    } else if (turned.size() <= length) {
        std::copy(turned.begin(), turned.end(), bytes.begin() + long(offset));
        std::fill(bytes.begin() + long(offset + turned.size()), bytes.begin() + long(offset + length), 0);
    } else {
        at = tiff.Append(turned);
    }
    if (!tiff.SetValue(*offsetTag, uint32_t(at)) || !tiff.SetValue(*lengthTag, uint32_t(turned.size())))
        return Fail(error, "its Exif thumbnail tags can't be rewritten");
    return true;
}

// IFD0 again with an Orientation entry, in tag order, after the end; the
// header points at it and the old one becomes unused bytes.
bool AddOrientation(CTiffPatch& tiff, int orientation, std::string* error)
{
    auto& bytes = tiff.Bytes();
    const size_t ifd0 = tiff.U32(4);
    if (ifd0 + 2 > bytes.size() || ifd0 + 2 + tiff.U16(ifd0) * kEntry + 4 > bytes.size())
        return Fail(error, "its Exif block is damaged");
    const size_t count = tiff.U16(ifd0);
    if (count >= 0xFFFF)
        return Fail(error, "its Exif block has no room for an Orientation tag");
    const auto first = bytes.begin() + long(ifd0 + 2);
    size_t before = 0;
    while (before < count && tiff.U16(ifd0 + 2 + before * kEntry) < kOrientation)
        ++before;
    std::vector<uint8_t> dir(2 + (count + 1) * kEntry + 4, 0);
    std::copy(first, first + long(before * kEntry), dir.begin() + 2);
    std::copy(first + long(before * kEntry), first + long(count * kEntry + 4),
              dir.begin() + long(2 + (before + 1) * kEntry));
    const size_t at = tiff.Append(dir);
    tiff.Put(at, uint32_t(count + 1), 2);
    const size_t entry = at + 2 + before * kEntry;
    tiff.Put(entry, kOrientation, 2);
    tiff.Put(entry + 2, 3, 2);
    tiff.Put(entry + 4, 1, 4);
    tiff.Put(entry + 8, uint32_t(orientation), 2);
    tiff.Put(4, uint32_t(at), 4);
    return true;
}

}  // namespace

bool IsExifPayload(const std::vector<uint8_t>& payload)
{
    return payload.size() >= kIdSize && std::memcmp(payload.data(), kExifId, kIdSize) == 0;
}

bool IsXmpPayload(const std::vector<uint8_t>& payload)
{
    return payload.size() >= sizeof kXmpId && std::memcmp(payload.data(), kXmpId, sizeof kXmpId) == 0;
}

bool RewriteExif(std::vector<uint8_t>& payload, const ExifChanges& changes, std::string* error)
{
    CExifReader exif;
    exif.ParseApp1(payload.data(), payload.size());
    const auto& data = exif.TiffData();
    const bool header = data.size() >= 8 && (data[0] == 'I' || data[0] == 'M') && data[0] == data[1];
    if (!header || exif.Ifd0Dir().entries.empty() || DirectoriesOverlap(exif))
        return Fail(error, "its Exif block is damaged");
    CTiffPatch tiff(data, exif.IsLittleEndian());
    ResizeTags(tiff, exif.Ifd0Dir(), kImageWidth, kImageLength, changes);
    ResizeTags(tiff, exif.ExifDir(), kPixelX, kPixelY, changes);
    if (!ReplaceThumbnail(tiff, exif, changes, error))
        return false;
    if (const ExifEntry* tag = Find(exif.Ifd0Dir(), kOrientation)) {
        if (!tiff.SetValue(*tag, uint32_t(changes.orientation)))
            return Fail(error, "its Exif Orientation tag can't be rewritten");
    } else if (changes.orientation != 1 && !AddOrientation(tiff, changes.orientation, error)) {
        return false;
    }
    if (kIdSize + tiff.Bytes().size() > kMaxPayload)
        return Fail(error, "its Exif block would grow past 64 KiB");
    payload.resize(kIdSize);
    payload.insert(payload.end(), tiff.Bytes().begin(), tiff.Bytes().end());
    return true;
}

std::vector<uint8_t> ExifWithOrientation(int orientation)
{
    // Little-endian TIFF: IFD0 with the orientation and the four tags every
    // Exif JPEG must have (72 dpi, centred chroma), then the two rationals.
    CTiffPatch tiff(std::vector<uint8_t>(90, 0), true);
    tiff.Bytes()[0] = tiff.Bytes()[1] = 'I';
    tiff.Put(2, 42, 2);
    tiff.Put(4, 8, 4);
    tiff.Put(8, 5, 2);
    const uint32_t entries[5][4] = {
        {kOrientation, 3, 1, uint32_t(orientation)},
        {0x011A, 5, 1, 74},
        {0x011B, 5, 1, 82},
        {0x0128, 3, 1, 2},
        {0x0213, 3, 1, 1},
    };
    for (size_t i = 0; i < 5; ++i) {
        const size_t at = 10 + i * kEntry;
        tiff.Put(at, entries[i][0], 2);
        tiff.Put(at + 2, entries[i][1], 2);
        tiff.Put(at + 4, entries[i][2], 4);
        tiff.Put(at + 8, entries[i][3], entries[i][1] == 3 ? 2 : 4);
    }
    for (size_t at : {74, 82}) {
        tiff.Put(at, 72, 4);
        tiff.Put(at + 4, 1, 4);
    }
    std::vector<uint8_t> payload(kExifId, kExifId + kIdSize);
    payload.insert(payload.end(), tiff.Bytes().begin(), tiff.Bytes().end());
    return payload;
}

void RewriteXmpOrientation(std::vector<uint8_t>& payload, int orientation)
{
    if (!IsXmpPayload(payload) || orientation < 1 || orientation > 8)
        return;
    static constexpr char kName[] = "tiff:Orientation";
    const auto nameEnd = std::end(kName) - 1;
    for (auto it = payload.begin();;) {
        it = std::search(it, payload.end(), std::begin(kName), nameEnd);
        if (it == payload.end())
            return;
        it += long(nameEnd - std::begin(kName));
        // tiff:Orientation="6" or <tiff:Orientation>6</...>
        auto value = it;
        if (value != payload.end() && *value == '=')
            ++value;
        if (value != payload.end() && (*value == '"' || *value == '\'' || *value == '>'))
            ++value;
        if (payload.end() - value >= 2 && *value >= '1' && *value <= '8'
            && (value[1] == '"' || value[1] == '\'' || value[1] == '<'))
            *value = uint8_t('0' + orientation);
    }
}
