#include "tools/exif_builder.h"

#include <cstring>

namespace exifbuilder {

std::vector<uint8_t> WithIdentifier(const std::vector<uint8_t>& tiff)
{
    std::vector<uint8_t> out = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), tiff.begin(), tiff.end());
    return out;
}

void Encoder::Put16(std::vector<uint8_t>& out, uint16_t v) const
{
    out.resize(out.size() + 2);
    Set16(out, out.size() - 2, v);
}

void Encoder::Put32(std::vector<uint8_t>& out, uint32_t v) const
{
    out.resize(out.size() + 4);
    Set32(out, out.size() - 4, v);
}

void Encoder::Put64(std::vector<uint8_t>& out, uint64_t v) const
{
    const uint32_t lo = uint32_t(v), hi = uint32_t(v >> 32);
    Put32(out, m_little ? lo : hi);
    Put32(out, m_little ? hi : lo);
}

void Encoder::Set16(std::vector<uint8_t>& out, size_t at, uint16_t v) const
{
    out[at + (m_little ? 0 : 1)] = uint8_t(v);
    out[at + (m_little ? 1 : 0)] = uint8_t(v >> 8);
}

void Encoder::Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) const
{
    for (int i = 0; i < 4; ++i)
        out[at + (m_little ? i : 3 - i)] = uint8_t(v >> (8 * i));
}

Builder& Builder::Entry(Dir dir, uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> items)
{
    m_dirs[dir].push_back({tag, type, count, std::move(items)});
    return *this;
}

Builder& Builder::Byte(Dir dir, uint16_t tag, std::vector<uint8_t> values)
{
    const uint32_t n = uint32_t(values.size());
    return Entry(dir, tag, 1, n, std::move(values));
}

Builder& Builder::Ascii(Dir dir, uint16_t tag, const std::string& text, bool terminate)
{
    std::vector<uint8_t> data(text.begin(), text.end());
    if (terminate)
        data.push_back(0);
    const uint32_t n = uint32_t(data.size());
    return Entry(dir, tag, 2, n, std::move(data));
}

Builder& Builder::Short(Dir dir, uint16_t tag, const std::vector<uint16_t>& values)
{
    std::vector<uint8_t> data;
    for (uint16_t v : values)
        m_enc.Put16(data, v);
    return Entry(dir, tag, 3, uint32_t(values.size()), std::move(data));
}

Builder& Builder::Long(Dir dir, uint16_t tag, const std::vector<uint32_t>& values)
{
    std::vector<uint8_t> data;
    for (uint32_t v : values)
        m_enc.Put32(data, v);
    return Entry(dir, tag, 4, uint32_t(values.size()), std::move(data));
}

Builder& Builder::Rational(Dir dir, uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& values)
{
    std::vector<uint8_t> data;
    for (const auto& [num, den] : values) {
        m_enc.Put32(data, num);
        m_enc.Put32(data, den);
    }
    return Entry(dir, tag, 5, uint32_t(values.size()), std::move(data));
}

Builder& Builder::SByte(Dir dir, uint16_t tag, const std::vector<int8_t>& values)
{
    std::vector<uint8_t> data;
    for (int8_t v : values)
        data.push_back(uint8_t(v));
    return Entry(dir, tag, 6, uint32_t(values.size()), std::move(data));
}

Builder& Builder::Undefined(Dir dir, uint16_t tag, std::vector<uint8_t> bytes)
{
    const uint32_t n = uint32_t(bytes.size());
    return Entry(dir, tag, 7, n, std::move(bytes));
}

Builder& Builder::SShort(Dir dir, uint16_t tag, const std::vector<int16_t>& values)
{
    std::vector<uint8_t> data;
    for (int16_t v : values)
        m_enc.Put16(data, uint16_t(v));
    return Entry(dir, tag, 8, uint32_t(values.size()), std::move(data));
}

Builder& Builder::SLong(Dir dir, uint16_t tag, const std::vector<int32_t>& values)
{
    std::vector<uint8_t> data;
    for (int32_t v : values)
        m_enc.Put32(data, uint32_t(v));
    return Entry(dir, tag, 9, uint32_t(values.size()), std::move(data));
}

Builder& Builder::SRational(Dir dir, uint16_t tag, const std::vector<std::pair<int32_t, int32_t>>& values)
{
    std::vector<uint8_t> data;
    for (const auto& [num, den] : values) {
        m_enc.Put32(data, uint32_t(num));
        m_enc.Put32(data, uint32_t(den));
    }
    return Entry(dir, tag, 10, uint32_t(values.size()), std::move(data));
}

Builder& Builder::Float(Dir dir, uint16_t tag, const std::vector<float>& values)
{
    std::vector<uint8_t> data;
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        m_enc.Put32(data, bits);
    }
    return Entry(dir, tag, 11, uint32_t(values.size()), std::move(data));
}

Builder& Builder::Double(Dir dir, uint16_t tag, const std::vector<double>& values)
{
    std::vector<uint8_t> data;
    for (double v : values) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        m_enc.Put64(data, bits);
    }
    return Entry(dir, tag, 12, uint32_t(values.size()), std::move(data));
}

Builder& Builder::Thumbnail(std::vector<uint8_t> jpeg)
{
    m_thumbnail = std::move(jpeg);
    return *this;
}

namespace {
    constexpr uint16_t kExifPointer = 0x8769;
    constexpr uint16_t kInteropPointer = 0xA005;
    constexpr uint16_t kThumbOffset = 513;

    bool HasTag(const auto& items, uint16_t tag)
    {
        for (const auto& i : items)
            if (i.tag == tag)
                return true;
        return false;
    }

    // Position of the value field of the first entry with `tag` in the directory at `dir`.
    size_t ValueField(size_t dir, const auto& items, uint16_t tag)
    {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].tag == tag)
                return dir + 2 + 12 * i + 8;
        return 0;
    }
}  // namespace

// Writes the directory and, after it, the data of its larger entries;
// returns the directory's offset.
size_t Builder::WriteDir(std::vector<uint8_t>& out, const std::vector<Item>& items) const
{
    if (out.size() % 2)
        out.push_back(0);
    const size_t start = out.size();
    m_enc.Put16(out, uint16_t(items.size()));
    out.resize(out.size() + 12 * items.size() + 4, 0);
    for (size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const size_t at = start + 2 + 12 * i;
        m_enc.Set16(out, at, item.tag);
        m_enc.Set16(out, at + 2, item.type);
        m_enc.Set32(out, at + 4, item.count);
        if (item.data.size() <= 4) {
            std::memcpy(out.data() + at + 8, item.data.data(), item.data.size());
            continue;
        }
        if (out.size() % 2)
            out.push_back(0);
        m_enc.Set32(out, at + 8, uint32_t(out.size()));
        out.insert(out.end(), item.data.begin(), item.data.end());
    }
    return start;
}

std::vector<uint8_t> Builder::BuildTiff() const
{
    std::vector<Item> dirs[4] = {m_dirs[0], m_dirs[1], m_dirs[2], m_dirs[3]};
    std::vector<uint8_t> placeholder(4, 0);
    const bool autoInterop = !dirs[Interop].empty() && !HasTag(dirs[Exif], kInteropPointer);
    if (autoInterop)
        dirs[Exif].push_back({kInteropPointer, 4, 1, placeholder});
    const bool autoExif = !dirs[Exif].empty() && !HasTag(dirs[Ifd0], kExifPointer);
    if (autoExif)
        dirs[Ifd0].push_back({kExifPointer, 4, 1, placeholder});
    if (!m_thumbnail.empty()) {
        std::vector<uint8_t> six, length;
        m_enc.Put16(six, 6);
        six.resize(4, 0);
        m_enc.Put32(length, uint32_t(m_thumbnail.size()));
        dirs[Ifd1].push_back({259, 3, 1, six});
        dirs[Ifd1].push_back({kThumbOffset, 4, 1, placeholder});
        dirs[Ifd1].push_back({514, 4, 1, length});
    }

    std::vector<uint8_t> out;
    out.push_back(m_enc.Little() ? 'I' : 'M');
    out.push_back(m_enc.Little() ? 'I' : 'M');
    m_enc.Put16(out, 42);
    m_enc.Put32(out, 8);
    const size_t ifd0 = WriteDir(out, dirs[Ifd0]);
    if (!dirs[Exif].empty()) {
        const size_t exif = WriteDir(out, dirs[Exif]);
        if (autoExif)
            m_enc.Set32(out, ValueField(ifd0, dirs[Ifd0], kExifPointer), uint32_t(exif));
        if (!dirs[Interop].empty()) {
            const size_t interop = WriteDir(out, dirs[Interop]);
            if (autoInterop)
                m_enc.Set32(out, ValueField(exif, dirs[Exif], kInteropPointer), uint32_t(interop));
        }
    }
    if (!dirs[Ifd1].empty()) {
        const size_t ifd1 = WriteDir(out, dirs[Ifd1]);
        m_enc.Set32(out, ifd0 + 2 + 12 * dirs[Ifd0].size(), uint32_t(ifd1));
        if (!m_thumbnail.empty()) {
            m_enc.Set32(out, ValueField(ifd1, dirs[Ifd1], kThumbOffset), uint32_t(out.size()));
            out.insert(out.end(), m_thumbnail.begin(), m_thumbnail.end());
        }
    }
    return out;
}

RawTiff::RawTiff(Order order, size_t size, uint32_t ifd0Offset)
    : m_enc(order), m_bytes(size < 8 ? 8 : size, 0)
{
    m_bytes[0] = m_bytes[1] = m_enc.Little() ? 'I' : 'M';
    m_enc.Set16(m_bytes, 2, 42);
    m_enc.Set32(m_bytes, 4, ifd0Offset);
}

void RawTiff::Grow(size_t end)
{
    if (m_bytes.size() < end)
        m_bytes.resize(end, 0);
}

void RawTiff::U16(size_t at, uint16_t v)
{
    Grow(at + 2);
    m_enc.Set16(m_bytes, at, v);
}

void RawTiff::U32(size_t at, uint32_t v)
{
    Grow(at + 4);
    m_enc.Set32(m_bytes, at, v);
}

void RawTiff::Bytes(size_t at, const std::vector<uint8_t>& bytes)
{
    Grow(at + bytes.size());
    std::copy(bytes.begin(), bytes.end(), m_bytes.begin() + long(at));
}

void RawTiff::Field(size_t at, uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    U16(at, tag);
    U16(at + 2, type);
    U32(at + 4, count);
    U32(at + 8, value);
}

size_t RawTiff::Directory(size_t at, uint16_t entries, uint32_t next)
{
    U16(at, entries);
    U32(at + 2 + 12 * size_t(entries), next);
    return at + 2;
}

}  // namespace exifbuilder
