#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "decode/exif_reader.h"
#include "tools/exif_builder.h"

namespace {

using exifbuilder::Builder;
using exifbuilder::Order;
using exifbuilder::RawTiff;
using Rows = std::vector<std::pair<std::string, std::string>>;

CExifReader Parse(const std::vector<uint8_t>& payload)
{
    CExifReader r;
    r.ParseApp1(payload.data(), payload.size());
    return r;
}

Rows List(const CExifReader& r, CExifReader::Directory d)
{
    Rows rows;
    r.ListIfd(d, [&](const std::string& name, const std::string& text) { rows.emplace_back(name, text); });
    return rows;
}

bool AllEmpty(const CExifReader& r)
{
    return r.Ifd0Dir().Count() == 0 && r.Ifd1Dir().Count() == 0 && r.ExifDir().Count() == 0
        && r.InteropDir().Count() == 0;
}

class ExifByteOrder : public testing::TestWithParam<Order> {};

TEST_P(ExifByteOrder, EveryTypeDecodesAndFormatsItsFirstItem)
{
    Builder b(GetParam());
    b.Byte(exifbuilder::Ifd0, 0x0102, {200, 7})                      // Bits per Sample
        .Ascii(exifbuilder::Ifd0, 0x010F, "Maker Inc.")              // Manufacturer
        .Short(exifbuilder::Ifd0, 0x0112, {6})                       // Orientation
        .Long(exifbuilder::Ifd0, 0x0100, {4000000000u, 1})           // Image Width
        .Rational(exifbuilder::Ifd0, 0x011A, {{72, 1}})              // x-Resolution
        .SByte(exifbuilder::Ifd0, 0x0115, {-5})                      // Samples per Pixel
        .Undefined(exifbuilder::Ifd0, 0x9000, {'0', '2', '2', '0'})  // Exif Version: hidden
        .SShort(exifbuilder::Ifd0, 0x0116, {-1})                     // Rows per Strip
        .SLong(exifbuilder::Ifd0, 0x0117, {-2000000000})             // Strip Byte Count
        .SRational(exifbuilder::Exif, 0x9204, {{-1, 3}, {5, 6}})     // Exposure Bias
        .Float(exifbuilder::Exif, 0x9203, {1.5f})                    // Brightness
        .Double(exifbuilder::Exif, 0x920A, {-0.125})                 // Focal Length
        .Rational(exifbuilder::Exif, 0x829D, {{28, 10}})             // FNumber
        .Ascii(exifbuilder::Interop, 0x0001, "R98");
    const CExifReader r = Parse(b.Build());

    EXPECT_EQ(
        List(r, CExifReader::Ifd0),
        (Rows {{"Bits per Sample", "200"},
               {"Manufacturer", "Maker Inc."},
               {"Orientation", "6"},
               {"Image Width", "4000000000"},
               {"x-Resolution", "72/1"},
               {"Samples per Pixel", "-5"},
               {"Rows per Strip", "-1"},
               {"Strip Byte Count", "-2000000000"},
               {"ExifIFDPointer", std::to_string(r.Ifd0Dir().entries.back().values[0].unsignedValue)}}));
    EXPECT_EQ(List(r, CExifReader::ExifIfd_),
              (Rows {{"Exposure Bias", "-1/3"},
                     {"Brightness", "1.500000"},
                     {"Focal Length", "-0.125000"},
                     {"FNumber", "28/10"},
                     {"InteroperabilityIFDPointer",
                      std::to_string(r.ExifDir().entries.back().values[0].unsignedValue)}}));
    EXPECT_EQ(List(r, CExifReader::InteropIfd), (Rows {{"InteroperabilityIndex", "R98"}}));

    // Every item is kept, not only the shown one.
    const ExifEntry& bias = r.ExifDir().entries[0];
    ASSERT_EQ(bias.values.size(), 2u);
    EXPECT_EQ(bias.values[1].signedValue, 5);
    EXPECT_EQ(bias.values[1].signedDenominator, 6);
    EXPECT_EQ(r.Ifd0Dir().entries[0].values[1].unsignedValue, 7u);
    EXPECT_EQ(r.Ifd0Dir().entries[6].bytes, (std::vector<uint8_t> {'0', '2', '2', '0'}));
    EXPECT_EQ(r.Ifd0Dir().entries[1].text, std::string("Maker Inc.", 11));
    EXPECT_EQ(r.TiffData()[0], GetParam() == Order::Little ? 'I' : 'M');
}

TEST_P(ExifByteOrder, ThumbnailDirectoryLocatesTheEmbeddedJpeg)
{
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 1, 2, 3, 4, 5, 0xFF, 0xD9};
    Builder b(GetParam());
    b.Short(exifbuilder::Ifd0, 0x0112, {1}).Thumbnail(jpeg);
    const CExifReader r = Parse(b.Build());
    const auto& e = r.Ifd1Dir().entries;
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].tag, 259);
    EXPECT_EQ(e[0].values[0].unsignedValue, 6u);
    const uint32_t offset = e[1].values[0].unsignedValue, length = e[2].values[0].unsignedValue;
    EXPECT_EQ(e[1].tag, 513);
    EXPECT_EQ(length, jpeg.size());
    ASSERT_LE(offset + length, r.TiffData().size());
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), r.TiffData().begin() + offset));
    EXPECT_TRUE(r.ExifDir().entries.empty());
}

TEST_P(ExifByteOrder, EntryWithoutDataKeepsTheFollowingEntriesAndTheLink)
{
    // Third entry has count 0; the link sits after all five entries.
    RawTiff t(GetParam(), 96);
    const size_t e = t.Directory(8, 5, 76);
    t.Field(e + 0, 0x0112, 3, 1, 0);
    t.Field(e + 12, 0x0100, 4, 1, 640);
    t.Field(e + 24, 0x0131, 2, 0, 0);
    t.Field(e + 36, 0x0101, 4, 1, 480);
    t.Field(e + 48, 0x0132, 2, 0xFFFFFFFF, 4);  // data far outside
    t.Directory(76, 0, 0);
    const CExifReader r = Parse(t.Payload());
    ASSERT_EQ(r.Ifd0Dir().Count(), 5);
    EXPECT_EQ(r.Ifd0Dir().entries[3].values[0].unsignedValue, 480u);
    EXPECT_FALSE(r.Ifd0Dir().entries[2].HasData());
    EXPECT_FALSE(r.Ifd0Dir().entries[4].HasData());
    EXPECT_EQ(r.Ifd0Dir().entries[4].count, 0xFFFFFFFFll);
    EXPECT_EQ(List(r, CExifReader::Ifd0),
              (Rows {{"Orientation", "0"},
                     {"Image Width", "640"},
                     {"Software", ""},
                     {"Image Length", "480"},
                     {"Date and Time", ""}}));

    EXPECT_EQ(r.Ifd1Dir().Count(), 0);

    // The same layout with a non-empty IFD1 behind the link.
    RawTiff t2 = t;
    t2.Directory(76, 1, 0);
    t2.Field(78, 0x0103, 3, 1, GetParam() == Order::Little ? 6 : 6u << 16);
    const CExifReader r2 = Parse(t2.Payload());
    ASSERT_EQ(r2.Ifd1Dir().Count(), 1);
    EXPECT_EQ(r2.Ifd1Dir().entries[0].values[0].unsignedValue, 6u);
}

INSTANTIATE_TEST_SUITE_P(Both, ExifByteOrder, testing::Values(Order::Little, Order::Big),
                         [](const auto& info) { return info.param == Order::Little ? "Little" : "Big"; });

TEST(ExifReader, TagNameTable)
{
    const std::pair<uint16_t, const char*> cases[] = {
        {0x0001, "InteroperabilityIndex"},
        {271, "Manufacturer"},
        {306, "Date and Time"},
        {0x828E, "CFA Pattern"},
        {0xA302, "CFA Pattern"},
        {0x9214, "Subject Area"},
        {0x8825, "GPSInfoIFDPointer"},
        {0x0214, "Reference Black/White"},
        {0xA420, "Image Unique ID"},
        {0xC4A5, nullptr},
        {0, nullptr},
        {0xFFFF, nullptr},
    };
    for (const auto& [tag, name] : cases) {
        SCOPED_TRACE(tag);
        if (name)
            EXPECT_STREQ(CExifReader::TagName(tag), name);
        else
            EXPECT_EQ(CExifReader::TagName(tag), nullptr);
    }
}

TEST(ExifReader, FormatValueEdgeCases)
{
    ExifEntry ascii {.tag = 0x010E,
                     .type = 2,
                     .count = 20,
                     .values = {},
                     .text = std::string("0123456789\0abcdefghi", 20),
                     .bytes = {}};
    EXPECT_EQ(CExifReader::FormatValue(ascii), "0123456789");
    ascii.text = "abc";  // no terminator
    EXPECT_EQ(CExifReader::FormatValue(ascii), "abc");
    ExifEntry unknownType {
        .tag = 0x0112, .type = 13, .count = 1, .values = {ExifValue {}}, .text = {}, .bytes = {}};
    EXPECT_EQ(CExifReader::FormatValue(unknownType), std::nullopt);
    ExifEntry noData {.tag = 0x0112, .type = 3, .count = 0, .values = {}, .text = {}, .bytes = {}};
    EXPECT_EQ(CExifReader::FormatValue(noData), "");
    ExifEntry big {.tag = 0x9203,
                   .type = 12,
                   .count = 1,
                   .values = {ExifValue {.realValue = 1e300}},
                   .text = {},
                   .bytes = {}};
    EXPECT_EQ(CExifReader::FormatValue(big)->size(), 301u + 7u);
}

TEST(ExifReader, PayloadsThatAreNotUsableLeaveNoDirectories)
{
    Builder good(Order::Little);
    good.Short(exifbuilder::Ifd0, 0x0112, {3});
    const std::vector<uint8_t> valid = good.Build();
    const std::vector<uint8_t> bad[] = {
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0},                       // 13 bytes
        {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', '.', 'x', 'm', 'p', '/', 0},  // XMP
        {'E', 'x', 'i', 'f', 0, 0},
    };
    for (const auto& payload : bad) {
        CExifReader r;
        r.ParseApp1(valid.data(), valid.size());
        r.ParseApp1(payload.data(), payload.size());  // ignored: the first stays
        EXPECT_EQ(r.TiffData().size(), valid.size() - 6);
        EXPECT_EQ(r.Ifd0Dir().Count(), 1);
    }
    const std::vector<uint8_t> broken[] = {
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0},        // IFD0 at the end
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'M', 42, 0, 8, 0, 0, 0, 0, 0},  // byte order
        {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 42, 0, 0, 0, 0, 8, 0, 0},  // not 42
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0},
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0},
        {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0xFF, 0xFF},  // 65535 entries
    };
    for (const auto& payload : broken) {
        CExifReader r;
        r.ParseApp1(payload.data(), payload.size());
        r.ParseApp1(valid.data(), valid.size());  // ignored: the first Exif stays
        EXPECT_EQ(r.TiffData().size(), payload.size() - 6);
        EXPECT_TRUE(AllEmpty(r));
    }
}

TEST(ExifReader, GpsPointerIsListedAsNumberAndNotFollowed)
{
    Builder b(Order::Big);
    b.Long(exifbuilder::Ifd0, 0x8825, {8});  // points at IFD0 itself
    const CExifReader r = Parse(b.Build());
    EXPECT_EQ(List(r, CExifReader::Ifd0), (Rows {{"GPSInfoIFDPointer", "8"}}));
    EXPECT_EQ(r.ExifDir().Count(), 0);
}

// Offsets and counts near 2^32, products that overflow 32 bits and data that
// ends one byte short: no data, no read outside, the next entries still read.
TEST(ExifReader, HostileEntriesGetNoData)
{
    struct Case {
        uint16_t type;
        uint32_t count;
        uint32_t value;
    };
    const Case cases[] = {
        {4, 0xFFFFFFFF, 0x7FFFFFF0}, {4, 0x40000000, 8}, {5, 0x20000000, 0}, {12, 0x20000000, 8},
        {3, 0x80000000, 0},          {2, 0xFFFFFFFF, 0}, {7, 0xFFFFFFFF, 8}, {5, 1, 0xFFFFFFFC},
        {2, 16, 0xFFFFFFF8},         {2, 41, 60},        {4, 2, 0x7FFFFFFF},
    };
    for (Order order : {Order::Little, Order::Big}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.type << " " << c.count << " " << c.value);
            RawTiff t(order, 100);
            const size_t e = t.Directory(8, 2, 0);
            t.Field(e, 0x010E, c.type, c.count, c.value);
            t.Field(e + 12, 0x0100, 4, 1, 77);
            const CExifReader r = Parse(t.Payload());
            ASSERT_EQ(r.Ifd0Dir().Count(), 2);
            EXPECT_FALSE(r.Ifd0Dir().entries[0].HasData());
            EXPECT_EQ(r.Ifd0Dir().entries[0].count, int64_t(c.count));
            EXPECT_EQ(r.Ifd0Dir().entries[1].values.at(0).unsignedValue, 77u);
        }
    }
}

// Directories that point at themselves or at each other are each read once.
TEST(ExifReader, DirectoryCyclesTerminate)
{
    RawTiff t(Order::Little, 64);
    const size_t e = t.Directory(8, 2, 8);  // IFD1 link back to IFD0
    t.Field(e, 0x8769, 4, 1, 8);            // Exif pointer to IFD0
    t.Field(e + 12, 0xA005, 4, 1, 8);       // Interop pointer to IFD0
    const CExifReader r = Parse(t.Payload());
    EXPECT_EQ(r.Ifd0Dir().Count(), 2);
    EXPECT_EQ(r.Ifd1Dir().Count(), 2);
    EXPECT_EQ(r.ExifDir().Count(), 2);
    EXPECT_EQ(r.InteropDir().Count(), 2);
}

// Thousands of pointers and large entries all aimed at the same bytes:
// bounded time and memory.
TEST(ExifReader, AmplificationIsBounded)
{
    const uint16_t n = 5000;
    RawTiff t(Order::Big, 8 + 2 + 12 * size_t(n) + 4);
    const size_t e = t.Directory(8, n, 8);
    for (size_t i = 0; i < n; ++i)
        t.Field(e + 12 * i, i % 2 ? 0x8769 : 0x010E, i % 2 ? 4 : (i % 4 ? 2 : 1), i % 2 ? 1 : 60000, 8);
    const auto start = std::chrono::steady_clock::now();
    const CExifReader r = Parse(t.Payload());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    size_t held = 0;
    for (const ExifIfd* ifd : {&r.Ifd0Dir(), &r.Ifd1Dir(), &r.ExifDir(), &r.InteropDir()})
        for (const ExifEntry& x : ifd->entries)
            held += x.values.size() * sizeof(ExifValue) + x.text.size() + x.bytes.size();
    EXPECT_EQ(r.ExifDir().Count(), n);
    EXPECT_LE(held, CExifReader::kMaxDecodedBytes + 4 * size_t(n) * sizeof(ExifValue));
    EXPECT_EQ(r.Ifd0Dir().entries[0].values.size(), 60000u);  // the first ones whole
    EXPECT_FALSE(r.ExifDir().entries.back().values.empty());  // the last one still shown
}

// Random damage to a well-formed payload never reads outside it (the
// sanitizer builds check) and never throws.
TEST(ExifReader, RandomDamageIsHarmless)
{
    Builder b(Order::Little);
    b.Ascii(exifbuilder::Ifd0, 0x010F, "A maker with a long name")
        .Short(exifbuilder::Ifd0, 0x0112, {6})
        .Rational(exifbuilder::Exif, 0x829D, {{28, 10}})
        .Double(exifbuilder::Exif, 0x920A, {5.0})
        .Ascii(exifbuilder::Interop, 1, "R98")
        .Thumbnail(std::vector<uint8_t>(40, 0xAB));
    const std::vector<uint8_t> base = b.Build();
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> p = base;
        const int flips = 1 + int(rng() % 8);
        for (int i = 0; i < flips; ++i)
            p[6 + rng() % (p.size() - 6)] = uint8_t(rng() % 4 ? rng() : 0xFF);
        p.resize(std::max<size_t>(14, p.size() - rng() % 16));
        CExifReader r;
        r.ParseApp1(p.data(), p.size());
        for (auto d : {CExifReader::Ifd0, CExifReader::ExifIfd_, CExifReader::InteropIfd})
            r.ListIfd(d, [](const std::string&, const std::string&) {});
    }
}

}  // namespace
