#pragma once
// The Exif metadata of a JPEG file: a copy of the TIFF data of its Exif APP1
// segment and four decoded directories (IFD0, IFD1, Exif IFD, Interoperability
// IFD), with the tag-name table and the value rendering used by the
// properties report.
//
// Thread rules: filled once under the owning decoder's information lock;
// read-only afterwards.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ExifValue {
    int32_t signedValue = 0;           // types 6, 8, 9; numerator of 10
    uint32_t unsignedValue = 0;        // types 1, 3, 4; numerator of 5
    int32_t signedDenominator = 0;     // type 10
    uint32_t unsignedDenominator = 0;  // type 5
    double realValue = 0;              // types 11, 12
};

struct ExifEntry {
    uint16_t tag = 0;
    int type = 0;
    int64_t count = 0;              // the 32-bit TIFF count, unsigned
    size_t at = 0;                  // where its 12 bytes start in the TIFF data
    std::vector<ExifValue> values;  // numeric types only; see kMaxDecodedBytes
    std::string text;               // type 2: count bytes as stored, unterminated
    std::vector<uint8_t> bytes;     // type 7: count bytes as stored
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
    // Exif are ignored, and so is every Exif payload after the first.
    void ParseApp1(const uint8_t* data, size_t length);

    const ExifIfd& Ifd(Directory d) const { return m_ifd[d]; }
    // Named accessors (Ifd0/Ifd1 are taken by the Directory values).
    const ExifIfd& Ifd0Dir() const { return m_ifd[Ifd0]; }
    const ExifIfd& Ifd1Dir() const { return m_ifd[Ifd1]; }
    const ExifIfd& ExifDir() const { return m_ifd[ExifIfd_]; }
    const ExifIfd& InteropDir() const { return m_ifd[InteropIfd]; }

    const std::vector<uint8_t>& TiffData() const { return m_data; }
    bool IsEmpty() const { return m_data.empty(); }
    bool IsLittleEndian() const { return m_littleEndian; }

    // Display name of a tag from the 103-entry table, or nullptr.
    static const char* TagName(uint16_t tag);
    // The first item as text, or nothing when the entry is not shown.
    static std::optional<std::string> FormatValue(const ExifEntry& entry);

    // What one reader may hold, beyond the TIFF copy, in decoded values,
    // texts and bytes. Crafted data can point thousands of entries at the
    // same 64 KiB; past this budget an entry keeps only its first item.
    static constexpr size_t kMaxDecodedBytes = size_t(8) << 20;

    using AddRow = std::function<void(const std::string& name, const std::string& text)>;
    // Calls addRow(name, text) for every entry, in stored order, that has
    // both a name and a shown value.
    void ListIfd(Directory d, const AddRow& addRow) const;

private:
    void Clear();
    // Returns the cursor after the directory: at its link when it was read.
    uint64_t ReadDirectory(uint64_t cursor, ExifIfd& ifd);
    void ReadEntry(size_t at, ExifEntry& entry);
    void DecodeItems(size_t at, int64_t count, ExifEntry& entry);
    // The last entry with `tag` and a value: the directory it points at.
    static std::optional<uint32_t> Pointer(const ExifIfd& ifd, uint16_t tag);
    uint16_t U16(size_t at) const;
    uint32_t U32(size_t at) const;
    uint64_t U64(size_t at) const;

    std::vector<uint8_t> m_data;
    bool m_littleEndian = false;
    ExifIfd m_ifd[4];
    size_t m_budget = kMaxDecodedBytes;
};
