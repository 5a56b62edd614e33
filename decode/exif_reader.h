#pragma once
// The Exif metadata of a JPEG file: a copy of the TIFF data of its Exif APP1
// segment and four decoded directories (IFD0, IFD1, Exif IFD, Interoperability
// IFD), with the tag-name table and the value rendering used by the
// properties report.
//
// Thread rules: filled once under the owning decoder's information lock;
// read-only afterwards.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ExifValue {
    int32_t signedValue = 0;      // types 6, 8, 9; numerator of 10
    uint32_t unsignedValue = 0;   // types 1, 3, 4; numerator of 5
    int32_t signedDenominator = 0;    // type 10
    uint32_t unsignedDenominator = 0; // type 5
    double realValue = 0;         // types 11, 12
};

struct ExifEntry {
    uint16_t tag = 0;
    int type = 0;
    int64_t count = 0;               // the 32-bit TIFF count, unsigned
    std::vector<ExifValue> values;   // numeric types only
    std::string text;                // type 2: count bytes as stored, unterminated
    std::vector<uint8_t> bytes;      // type 7: count bytes as stored
    bool HasData() const { return !values.empty() || !text.empty() || !bytes.empty(); }
};

struct ExifIfd {
    std::vector<ExifEntry> entries;
    int Count() const { return static_cast<int>(entries.size()); }
};

class CExifReader {
public:
    enum Directory { Ifd0 = 0, Ifd1 = 1, ExifIfd_ = 2, InteropIfd = 3 };

    // Parses one APP1 payload (identifier included). Payloads that are not
    // Exif are ignored; a later Exif payload replaces an earlier one.
    void ParseApp1(const uint8_t* data, size_t length);

    const ExifIfd& Ifd(Directory d) const { return m_ifd[d]; }
    const ExifIfd& Ifd0() const { return m_ifd[Ifd0]; }
    const ExifIfd& Ifd1() const { return m_ifd[Ifd1]; }
    const ExifIfd& ExifDir() const { return m_ifd[ExifIfd_]; }
    const ExifIfd& InteropDir() const { return m_ifd[InteropIfd]; }

    const std::vector<uint8_t>& TiffData() const { return m_data; }
    bool IsEmpty() const { return m_data.empty(); }

    // Display name of a tag from the 103-entry table, or nullptr.
    static const char* TagName(uint16_t tag);
    // The first item as text, or nothing when the entry is not shown.
    static std::optional<std::string> FormatValue(const ExifEntry& entry);

    using AddRow = std::function<void(const std::string& name, const std::string& text)>;
    // Calls addRow(name, text) for every entry, in stored order, that has
    // both a name and a shown value.
    void ListIfd(Directory d, const AddRow& addRow) const;

private:
    std::vector<uint8_t> m_data;
    bool m_littleEndian = false;
    ExifIfd m_ifd[4];
};
