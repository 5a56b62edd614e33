#pragma once
// Writes Exif APP1 payloads ("Exif\0\0" + TIFF) by hand, in either byte
// order, for the tests and the sample maker.
//
// Usage, a well-formed payload:
//     exifbuilder::Builder b(exifbuilder::Order::Big);
//     b.Ascii(exifbuilder::Ifd0, 271, "Maker")           // count includes the NUL
//      .Short(exifbuilder::Ifd0, 274, {6})
//      .Rational(exifbuilder::Exif, 33437, {{28, 10}})    // adds the Exif IFD pointer
//      .Ascii(exifbuilder::Interop, 1, "R98")             // adds the Interop pointer
//      .Thumbnail(jpegBytes);                             // IFD1: 259 = 6, 513, 514
//     options.app1.push_back(b.Build());                  // jpegwriter::EncodeOptions
// Any type and count:  b.Entry(dir, tag, type, count, itemBytesInFileOrder).
//
// Usage, a hostile layout (every byte placed by hand):
//     exifbuilder::RawTiff t(exifbuilder::Order::Little, 64);  // header, IFD0 at 8
//     t.U16(8, 1);                                        // one entry
//     t.Field(10, 271, 2, 0xFFFFFFFF, 0x7FFFFFF0);        // tag, type, count, value field
//     t.U32(22, 8);                                       // IFD1 link back to IFD0
//     options.app1.push_back(t.Payload());
//
// Not thread-safe; each builder owns its bytes.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace exifbuilder {

enum class Order { Little, Big };
enum Dir { Ifd0 = 0, Ifd1 = 1, Exif = 2, Interop = 3 };

// "Exif\0\0" followed by the TIFF bytes.
std::vector<uint8_t> WithIdentifier(const std::vector<uint8_t>& tiff);

// Every 16- and 32-bit item in the chosen byte order.
class Encoder {
public:
    explicit Encoder(Order order) : m_little(order == Order::Little) {}
    void Put16(std::vector<uint8_t>& out, uint16_t v) const;
    void Put32(std::vector<uint8_t>& out, uint32_t v) const;
    void Put64(std::vector<uint8_t>& out, uint64_t v) const;
    void Set16(std::vector<uint8_t>& out, size_t at, uint16_t v) const;
    void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) const;
    bool Little() const { return m_little; }

private:
    bool m_little;
};

// A well-formed TIFF structure: IFD0 at offset 8, then its data, the Exif
// IFD, the Interoperability IFD, IFD1 and the thumbnail. Entries keep the
// order in which they were added; the Exif and Interoperability pointers are
// appended to IFD0 and the Exif IFD when those directories have entries
// (unless the caller wrote a pointer tag itself).
class Builder {
public:
    explicit Builder(Order order) : m_enc(order) {}

    Builder& Entry(Dir dir, uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> items);
    Builder& Byte(Dir dir, uint16_t tag, std::vector<uint8_t> values);
    Builder& Ascii(Dir dir, uint16_t tag, const std::string& text, bool terminate = true);
    Builder& Short(Dir dir, uint16_t tag, const std::vector<uint16_t>& values);
    Builder& Long(Dir dir, uint16_t tag, const std::vector<uint32_t>& values);
    Builder& Rational(Dir dir, uint16_t tag, const std::vector<std::pair<uint32_t, uint32_t>>& values);
    Builder& SByte(Dir dir, uint16_t tag, const std::vector<int8_t>& values);
    Builder& Undefined(Dir dir, uint16_t tag, std::vector<uint8_t> bytes);
    Builder& SShort(Dir dir, uint16_t tag, const std::vector<int16_t>& values);
    Builder& SLong(Dir dir, uint16_t tag, const std::vector<int32_t>& values);
    Builder& SRational(Dir dir, uint16_t tag, const std::vector<std::pair<int32_t, int32_t>>& values);
    Builder& Float(Dir dir, uint16_t tag, const std::vector<float>& values);
    Builder& Double(Dir dir, uint16_t tag, const std::vector<double>& values);
    // IFD1 gets Compression 6 and the thumbnail's offset and length.
    Builder& Thumbnail(std::vector<uint8_t> jpeg);

    std::vector<uint8_t> BuildTiff() const;
    std::vector<uint8_t> Build() const { return WithIdentifier(BuildTiff()); }
    const Encoder& Enc() const { return m_enc; }

private:
    struct Item {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        std::vector<uint8_t> data;  // items in file order
    };
    size_t WriteDir(std::vector<uint8_t>& out, const std::vector<Item>& items) const;

    Encoder m_enc;
    std::vector<Item> m_dirs[4];
    std::vector<uint8_t> m_thumbnail;
};

// Free-form TIFF bytes for hostile layouts: a header with the given IFD0
// offset, then whatever the caller writes at whatever offset.
class RawTiff {
public:
    RawTiff(Order order, size_t size, uint32_t ifd0Offset = 8);
    void U16(size_t at, uint16_t v);
    void U32(size_t at, uint32_t v);
    void Bytes(size_t at, const std::vector<uint8_t>& bytes);
    // One 12-byte directory entry; the value field is written as one 32-bit
    // item (a SHORT stored in it big-endian is value << 16).
    void Field(size_t at, uint16_t tag, uint16_t type, uint32_t count, uint32_t value);
    // A directory at `at` with `entries` entries of 12 bytes and link `next`;
    // returns the offset of the first entry.
    size_t Directory(size_t at, uint16_t entries, uint32_t next);
    std::vector<uint8_t>& Tiff() { return m_bytes; }
    std::vector<uint8_t> Payload() const { return WithIdentifier(m_bytes); }

private:
    void Grow(size_t end);
    Encoder m_enc;
    std::vector<uint8_t> m_bytes;
};

}  // namespace exifbuilder
