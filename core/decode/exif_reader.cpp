#include "decode/exif_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

struct TagNameEntry {
    uint16_t tag;
    const char* name;
};

// Looked up linearly; the first pair with the tag wins.
constexpr TagNameEntry kTagNames[] = {
    {0x0001, "InteroperabilityIndex"},
    {0x0002, "InteroperabilityVersion"},
    {0x0100, "Image Width"},
    {0x0101, "Image Length"},
    {0x0102, "Bits per Sample"},
    {0x0103, "Compression"},
    {0x0106, "Photometric Interpretation"},
    {0x010A, "Fill Order"},
    {0x010D, "Document Name"},
    {0x010E, "Image Description"},
    {0x010F, "Manufacturer"},
    {0x0110, "Model"},
    {0x0111, "Strip Offsets"},
    {0x0112, "Orientation"},
    {0x0115, "Samples per Pixel"},
    {0x0116, "Rows per Strip"},
    {0x0117, "Strip Byte Count"},
    {0x011A, "x-Resolution"},
    {0x011B, "y-Resolution"},
    {0x011C, "Planar Configuration"},
    {0x0128, "Resolution Unit"},
    {0x012D, "Transfer Function"},
    {0x0131, "Software"},
    {0x0132, "Date and Time"},
    {0x013B, "Artist"},
    {0x013E, "White Point"},
    {0x013F, "Primary Chromaticities"},
    {0x0156, "Transfer Range"},
    {0x0200, "JPEGProc"},
    {0x0201, "JPEG Interchange Format"},
    {0x0202, "JPEG Interchange Format Length"},
    {0x0211, "YCbCr Coefficients"},
    {0x0212, "YCbCr Sub-Sampling"},
    {0x0213, "YCbCr Positioning"},
    {0x0214, "Reference Black/White"},
    {0x1000, "RelatedImageFileFormat"},
    {0x1001, "RelatedImageWidth"},
    {0x1002, "RelatedImageLength"},
    {0x828D, "CFARepeatPatternDim"},
    {0x828E, "CFA Pattern"},
    {0x828F, "Battery Level"},
    {0x8298, "Copyright"},
    {0x829A, "Exposure Time"},
    {0x829D, "FNumber"},
    {0x83BB, "IPTC/NAA"},
    {0x8769, "ExifIFDPointer"},
    {0x8773, "InterColorProfile"},
    {0x8822, "ExposureProgram"},
    {0x8824, "Spectral Sensitivity"},
    {0x8825, "GPSInfoIFDPointer"},
    {0x8827, "ISO Speed Ratings"},
    {0x8828, "OECF"},
    {0x9000, "Exif Version"},
    {0x9003, "Date and Time (original)"},
    {0x9004, "Date and Time (digitized)"},
    {0x9101, "ComponentsConfiguration"},
    {0x9102, "Compressed Bits per Pixel"},
    {0x9201, "Shutter speed"},
    {0x9202, "Aperture"},
    {0x9203, "Brightness"},
    {0x9204, "Exposure Bias"},
    {0x9205, "MaxApertureValue"},
    {0x9206, "Subject Distance"},
    {0x9207, "Metering Mode"},
    {0x9208, "Light Source"},
    {0x9209, "Flash"},
    {0x920A, "Focal Length"},
    {0x927C, "Maker Note"},
    {0x9286, "User Comment"},
    {0x9290, "SubsecTime"},
    {0x9291, "SubSecTimeOriginal"},
    {0x9292, "SubSecTimeDigitized"},
    {0xA000, "FlashPixVersion"},
    {0xA001, "Color Space"},
    {0xA002, "PixelXDimension"},
    {0xA003, "PixelYDimension"},
    {0xA004, "RelatedSoundFile"},
    {0xA005, "InteroperabilityIFDPointer"},
    {0xA20B, "Flash Energy"},
    {0xA20C, "Spatial Frequency Response"},
    {0xA20E, "Focal Plane x-Resolution"},
    {0xA20F, "Focal Plane y-Resolution"},
    {0xA210, "Focal Plane Resolution Unit"},
    {0xA214, "Subject Location"},
    {0xA215, "Exposure index"},
    {0xA217, "Sensing Method"},
    {0xA300, "File Source"},
    {0xA301, "Scene Type"},
    {0xA302, "CFA Pattern"},
    {0x9214, "Subject Area"},
    {0xA401, "Custom Rendered"},
    {0xA402, "Exposure Mode"},
    {0xA403, "White Balance"},
    {0xA404, "Digital Zoom Ratio"},
    {0xA405, "Focal Length In 35mm Film"},
    {0xA406, "Scene Capture Type"},
    {0xA407, "Gain Control"},
    {0xA408, "Contrast"},
    {0xA409, "Saturation"},
    {0xA40A, "Sharpness"},
    {0xA40B, "Device Setting Description"},
    {0xA40C, "Subject Distance Range"},
    {0xA420, "Image Unique ID"},
};
static_assert(std::size(kTagNames) == 103);

constexpr uint16_t kExifPointer = 0x8769;
constexpr uint16_t kInteropPointer = 0xA005;
constexpr char kIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr size_t kEntrySize = 12;

// Bytes per item of TIFF field types 1 to 12; 0 for anything else.
int ItemSize(int type)
{
    constexpr int kSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type >= 1 && type <= 12 ? kSizes[type] : 0;
}

std::string Fixed6(double v)
{
    char buf[400];
    // to_chars ignores the process locale, which a Qt program sets from the
    // environment; the text must read the same everywhere.
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    if (res.ec != std::errc())
        return {};
    return std::string(buf, res.ptr);
}

}  // namespace

uint16_t CExifReader::U16(size_t at) const
{
    const uint8_t* p = m_data.data() + at;
    return m_littleEndian ? uint16_t(p[0] | p[1] << 8) : uint16_t(p[0] << 8 | p[1]);
}

uint32_t CExifReader::U32(size_t at) const
{
    const uint8_t* p = m_data.data() + at;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(p[m_littleEndian ? i : 3 - i]) << (8 * i);
    return v;
}

uint64_t CExifReader::U64(size_t at) const
{
    const uint64_t first = U32(at), second = U32(at + 4);
    return m_littleEndian ? (second << 32 | first) : (first << 32 | second);
}

void CExifReader::Clear()
{
    m_data.clear();
    m_littleEndian = false;
    for (ExifIfd& ifd : m_ifd)
        ifd.entries.clear();
    m_budget = kMaxDecodedBytes;
}

void CExifReader::ParseApp1(const uint8_t* data, size_t length)
{
    if (!data || length < 14 || std::memcmp(data, kIdentifier, sizeof kIdentifier) != 0)
        return;
    // The first Exif segment is the file's Exif data, for every tag alike;
    // other viewers ignore a later one too.
    if (!m_data.empty())
        return;
    Clear();
    m_data.assign(data + 6, data + length);
    if (m_data[0] == 'I' && m_data[1] == 'I')
        m_littleEndian = true;
    else if (!(m_data[0] == 'M' && m_data[1] == 'M'))
        return;
    if (U16(2) != 42)
        return;
    const uint32_t ifd0 = U32(4);
    const uint64_t link = ReadDirectory(ifd0, m_ifd[Ifd0]);
    if (link + 4 <= m_data.size()) {
        if (const uint32_t next = U32(size_t(link)))
            ReadDirectory(next, m_ifd[Ifd1]);
    }
    // Each pointer read replaces the directory the one before it gave, so
    // only the last one counts; reading it once keeps the work linear.
    if (const auto exif = Pointer(m_ifd[Ifd0], kExifPointer))
        ReadDirectory(*exif, m_ifd[ExifIfd_]);
    if (const auto interop = Pointer(m_ifd[ExifIfd_], kInteropPointer))
        ReadDirectory(*interop, m_ifd[InteropIfd]);
}

uint64_t CExifReader::ReadDirectory(uint64_t cursor, ExifIfd& ifd)
{
    ifd.entries.clear();
    const uint64_t size = m_data.size();
    if (cursor >= size || cursor + 2 > size)
        return cursor;
    const uint64_t count = U16(size_t(cursor));
    cursor += 2;
    if (cursor + kEntrySize * count > size)
        return cursor;
    ifd.entries.resize(size_t(count));
    for (ExifEntry& entry : ifd.entries) {
        ReadEntry(size_t(cursor), entry);
        cursor += kEntrySize;
    }
    return cursor;
}

void CExifReader::ReadEntry(size_t at, ExifEntry& entry)
{
    entry.at = at;
    entry.tag = U16(at);
    entry.type = U16(at + 2);
    entry.count = U32(at + 4);
    const int itemSize = ItemSize(entry.type);
    if (entry.count == 0 || itemSize == 0)
        return;
    // At most 2^32 items of at most 8 bytes: no overflow in 64 bits.
    const uint64_t dataSize = uint64_t(entry.count) * uint64_t(itemSize);
    uint64_t offset = at + 8;
    if (dataSize > 4)
        offset = U32(at + 8);
    if (offset + dataSize > m_data.size())
        return;
    DecodeItems(size_t(offset), entry.count, entry);
}

void CExifReader::DecodeItems(size_t at, int64_t count, ExifEntry& entry)
{
    const uint8_t* p = m_data.data() + at;
    if (entry.type == 2 || entry.type == 7) {
        const size_t n = std::min(size_t(count), std::max<size_t>(m_budget, 1));
        m_budget -= std::min(m_budget, n);
        if (entry.type == 2)
            entry.text.assign(reinterpret_cast<const char*>(p), n);
        else
            entry.bytes.assign(p, p + n);
        return;
    }
    const size_t itemSize = size_t(ItemSize(entry.type));
    const size_t n = std::min(size_t(count), std::max<size_t>(m_budget / sizeof(ExifValue), 1));
    m_budget -= std::min(m_budget, n * sizeof(ExifValue));
    entry.values.resize(n);
    for (size_t i = 0; i < n; ++i, at += itemSize) {
        ExifValue& v = entry.values[i];
        switch (entry.type) {
        case 1: v.unsignedValue = m_data[at]; break;
        case 3: v.unsignedValue = U16(at); break;
        case 4: v.unsignedValue = U32(at); break;
        case 5:
            v.unsignedValue = U32(at);
            v.unsignedDenominator = U32(at + 4);
            break;
        case 6: v.signedValue = int8_t(m_data[at]); break;
        case 8: v.signedValue = int16_t(U16(at)); break;
        case 9: v.signedValue = int32_t(U32(at)); break;
        case 10:
            v.signedValue = int32_t(U32(at));
            v.signedDenominator = int32_t(U32(at + 4));
            break;
        case 11: {
            const uint32_t bits = U32(at);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            v.realValue = f;
            break;
        }
        case 12: {
            const uint64_t bits = U64(at);
            std::memcpy(&v.realValue, &bits, sizeof v.realValue);
            break;
        }
        }
    }
}

std::optional<uint32_t> CExifReader::Pointer(const ExifIfd& ifd, uint16_t tag)
{
    std::optional<uint32_t> last;
    for (const ExifEntry& e : ifd.entries)
        if (e.tag == tag && e.count > 0 && !e.values.empty())
            last = e.values.front().unsignedValue;
    return last;
}

const char* CExifReader::TagName(uint16_t tag)
{
    for (const TagNameEntry& e : kTagNames)
        if (e.tag == tag)
            return e.name;
    return nullptr;
}

std::optional<std::string> CExifReader::FormatValue(const ExifEntry& entry)
{
    if (entry.type == 2)
        return std::string(entry.text.c_str(), ::strnlen(entry.text.data(), entry.text.size()));
    if (ItemSize(entry.type) == 0 || entry.type == 7)
        return std::nullopt;
    if (entry.values.empty())
        return std::string();
    const ExifValue& v = entry.values.front();
    char buf[32];
    switch (entry.type) {
    case 1:
    case 3:
    case 4: std::snprintf(buf, sizeof buf, "%u", v.unsignedValue); break;
    case 6:
    case 8:
    case 9: std::snprintf(buf, sizeof buf, "%i", v.signedValue); break;
    case 5: std::snprintf(buf, sizeof buf, "%u/%u", v.unsignedValue, v.unsignedDenominator); break;
    case 10: std::snprintf(buf, sizeof buf, "%i/%i", v.signedValue, v.signedDenominator); break;
    default: return Fixed6(v.realValue);
    }
    return std::string(buf);
}

void CExifReader::ListIfd(Directory d, const AddRow& addRow) const
{
    if (d < Ifd0 || d > InteropIfd)
        return;
    for (const ExifEntry& entry : m_ifd[d].entries) {
        const char* name = TagName(entry.tag);
        if (!name)
            continue;
        if (const auto text = FormatValue(entry))
            addRow(name, *text);
    }
}
