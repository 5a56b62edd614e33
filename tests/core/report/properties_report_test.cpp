#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "decode/jpeg_decoder.h"
#include "tools/exif_builder.h"
#include "tools/jpeg_writer.h"
#include "report/properties_report.h"

namespace {

using Rows = std::vector<ReportRow>;

TEST(PropertiesReport, FileSizeGroupsDigitsByThree)
{
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0 bytes"},
        {999, "999 bytes"},
        {1000, "1 000 bytes"},
        {1234567, "1 234 567 bytes"},
        {100000, "100 000 bytes"},
        {5000000000, "5 000 000 000 bytes"},
    };
    for (const auto& [size, text] : cases)
        EXPECT_EQ(FormatFileSize(size), text);
}

TEST(PropertiesReport, CommentsSplitIntoLines)
{
    struct Case {
        std::string comment;
        Rows rows;
    };
    const Case cases[] = {
        {"a\nb", {{"Comment", "a"}, {"", "b"}}},
        {"first\r\nsecond", {{"Comment", "first\r"}, {"", "second"}}},
        {"", {{"Comment", ""}}},
        {"one", {{"Comment", "one"}}},
        {"a\rb", {{"Comment", "a"}, {"", "b"}}},
        {"a\rb\nc", {{"Comment", "a\rb"}, {"", "c"}}},
        {"\n\nx\r\r", {{"Comment", ""}, {"", "x"}}},
        {"end\n\n\n", {{"Comment", "end"}}},
        {std::string("cut\0hidden", 10), {{"Comment", "cut"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comment);
        Rows rows;
        AddCommentRows(c.comment, rows);
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(PropertiesReport, ReportPadsTagsToTheLongestPlusFour)
{
    const Rows rows = {{"Name", "a.jpg"}, {"Read-only file", "No"}, {"", "second line"}};
    EXPECT_EQ(FormatReport(rows, "\r\n"),
              "Name              a.jpg\r\n"
              "Read-only file    No\r\n"
              "                  second line\r\n");
    EXPECT_EQ(FormatReport(rows, "\n").find("No\n"), 24u + 18u);  // second line, column 18
    EXPECT_EQ(FormatReport({}, "\n"), "");
}

TEST(PropertiesReport, FolderIsAbsoluteAndNamesKeepTheirBytes)
{
    const std::string odd = "caf\xE9 \xFF.jpg";  // not UTF-8
    EXPECT_EQ(NameOf("/tmp/x/" + odd), odd);
    EXPECT_EQ(FolderOf("/tmp/x/" + odd), "/tmp/x");
    EXPECT_EQ(FolderOf("/tmp/x/../y/./a.jpg"), "/tmp/y");
    EXPECT_EQ(FolderOf("/a.jpg"), "/");
    EXPECT_EQ(FolderOf("sub/a.jpg"), (std::filesystem::current_path() / "sub").native());
    EXPECT_EQ(NameOf("a.jpg"), "a.jpg");
}

TEST(PropertiesReport, TimesInLocalTimeLongForm)
{
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(FormatFileTime(31536000 + 3 * 3600 + 4 * 60 + 5), "Friday, January 01, 1971, 03:04:05");
    EXPECT_EQ(FormatFileTime(0), "");
    if (oldTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

class PropertiesRows : public testing::TestWithParam<exifbuilder::Order> {};

TEST_P(PropertiesRows, FileRowsThenCommentsThenExifOfThreeDirectories)
{
    exifbuilder::Builder b(GetParam());
    b.Ascii(exifbuilder::Ifd0, 271, "Maker")
        .Short(exifbuilder::Ifd0, 274, {6})
        .Undefined(exifbuilder::Ifd0, 0x9000, {'0', '2', '3', '0'})
        .Short(exifbuilder::Ifd0, 0xC4A5, {1})
        .Rational(exifbuilder::Exif, 33437, {{28, 10}})
        .Double(exifbuilder::Exif, 37378, {2.5})
        .Ascii(exifbuilder::Interop, 1, "R98")
        .Short(exifbuilder::Ifd1, 259, {6});  // the thumbnail's directory is not listed
    ImageInfo info;
    const std::vector<uint8_t> payload = b.Build();
    info.exif.ParseApp1(payload.data(), payload.size());
    info.fileSizeFull = 1234567;
    info.attributes = 0x01;
    info.imageWidth = 640;
    info.imageHeight = 480;
    info.color = true;
    info.comments = {"a\nb", "second"};

    Rows rows = BuildPropertiesRows("/photos/2024/a.jpg", info);
    ASSERT_EQ(rows.size(), 9u + 3u + 3u + 3u + 1u);
    rows[3].value = rows[4].value = "";  // times depend on the zone
    const std::string exifAt = rows[14].value, interopAt = rows[17].value;
    EXPECT_EQ(rows,
              (Rows {{"Name", "a.jpg"},
                     {"Folder", "/photos/2024"},
                     {"File Size", "1 234 567 bytes"},
                     {"File Created", ""},
                     {"File Modified", ""},
                     {"Read-only file", "Yes"},
                     {"Image Width", "640 pixels"},
                     {"Image Height", "480 pixels"},
                     {"Image Type", "Color"},
                     {"Comment", "a"},
                     {"", "b"},
                     {"Comment", "second"},
                     {"Manufacturer", "Maker"},
                     {"Orientation", "6"},
                     {"ExifIFDPointer", exifAt},
                     {"FNumber", "28/10"},
                     {"Aperture", "2.500000"},
                     {"InteroperabilityIFDPointer", interopAt},
                     {"InteroperabilityIndex", "R98"}}));
}

// The whole road: a made file through the decoder's information to the rows.
TEST_P(PropertiesRows, MadeJpegThroughReadInfo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    exifbuilder::Builder b(GetParam());
    b.Ascii(exifbuilder::Ifd0, 306, "2024:05:06 07:08:09").SShort(exifbuilder::Exif, 0x9204, {-1});
    jpegwriter::EncodeOptions options;
    options.app1 = {std::vector<uint8_t> {'h', 't', 't', 'p', ':', '/', '/', 'x'}, b.Build()};
    options.comments = {"line one\r\nline two", ""};
    const std::string path = dir.path().toStdString() + "/made \xFF.jpg";
    ASSERT_TRUE(
        jpegwriter::WriteFile(path, jpegwriter::Encode(jpegwriter::MakePhotoLike(64, 48, 3, true), options)));

    CJpegDecoder decoder;
    Rows rows = BuildPropertiesRows(path, decoder.ReadInfo(path));
    ASSERT_EQ(rows.size(), 9u + 3u + 2u + 1u);
    EXPECT_EQ(rows[0].value, "made \xFF.jpg");
    EXPECT_EQ(rows[1].value, dir.path().toStdString());
    EXPECT_EQ(rows[2].value, FormatFileSize(int64_t(jpegwriter::ReadFile(path).size())));
    EXPECT_FALSE(rows[3].value.empty());
    EXPECT_EQ(rows[5].value, "No");
    EXPECT_EQ(Rows(rows.begin() + 6, rows.end()),
              (Rows {{"Image Width", "64 pixels"},
                     {"Image Height", "48 pixels"},
                     {"Image Type", "Gray-scale"},
                     {"Comment", "line one\r"},
                     {"", "line two"},
                     {"Comment", ""},
                     {"Date and Time", "2024:05:06 07:08:09"},
                     {"ExifIFDPointer", rows[13].value},
                     {"Exposure Bias", "-1"}}));
}

TEST(PropertiesReport, FileThatIsNotJpegKeepsItsFileRows)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/notes.jpg";
    ASSERT_TRUE(jpegwriter::WriteFile(path, std::vector<uint8_t>(1500, 'x')));
    CJpegDecoder decoder;
    const Rows rows = BuildPropertiesRows(path, decoder.ReadInfo(path));
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[2].value, "1 500 bytes");
    EXPECT_EQ(rows[6].value, "0 pixels");
    EXPECT_EQ(rows[8].value, "Gray-scale");
}

INSTANTIATE_TEST_SUITE_P(Both, PropertiesRows,
                         testing::Values(exifbuilder::Order::Little, exifbuilder::Order::Big),
                         [](const auto& info) {
                             return info.param == exifbuilder::Order::Little ? "Little" : "Big";
                         });

// Crafted files ask for millions of rows; the report shows what a camera's
// photo has and counts exactly what it leaves out.
TEST(PropertiesReport, LongReportsAreCutAndSaySo)
{
    const std::string kb(1024, 'c');
    const std::vector<std::string> many(1000, "c");
    std::string lines;  // 1500 of them
    for (int i = 0; i < 1500; ++i)
        lines += "b\n";
    struct Case {
        Rows last;
        size_t rows;  // after the nine file rows
        std::vector<std::string> comments;
        int64_t notKept = 0;
        int exifEntries = 0;
    };
    const Case cases[] = {
        {{{"Comment", kb + " \u2026 3 976 more bytes not shown"}}, 1, {kb + std::string(3976, 'c')}},
        {{{"Comment", kb.substr(1) + " \u2026 3 more bytes not shown"}}, 1, {kb.substr(1) + "\xC3\xA9x"}},
        {{{"", "\u2026 999 000 more comment segments not shown"}}, 1001, many, 999000},
        {{{"", "\u2026 1 more comment segment not shown"}}, 1001, {"a", lines.substr(0, 2 * 999), "z"}},
        {{{"", "\u2026 500 more comment lines not shown"}}, 1001, {lines}},
        {{{"", "\u2026 100 more Exif entries not shown"}}, 501, {}, 0, 600},
        {{{"Image Description", "v"}}, 500, {}, 0, 500},
    };
    for (const Case& c : cases) {
        ImageInfo info;
        info.comments = c.comments;
        info.commentsNotKept = c.notKept;
        exifbuilder::Builder b(exifbuilder::Order::Little);
        for (int i = 0; i < c.exifEntries; ++i)
            b.Ascii(exifbuilder::Ifd0, 270, "v");
        const std::vector<uint8_t> payload = b.Build();
        info.exif.ParseApp1(payload.data(), payload.size());
        const Rows rows = BuildPropertiesRows("x.jpg", info);
        ASSERT_EQ(rows.size(), 9 + c.rows);
        EXPECT_EQ(Rows(rows.end() - long(c.last.size()), rows.end()), c.last);
    }
}

TEST(PropertiesReport, ImageWithoutExifListsNineFileRows)
{
    ImageInfo info;  // what an unreadable file leaves
    const Rows rows = BuildPropertiesRows("x.jpg", info);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[2].value, "0 bytes");
    EXPECT_EQ(rows[5].value, "No");
    EXPECT_EQ(rows[6].value, "0 pixels");
    EXPECT_EQ(rows[8].value, "Gray-scale");
}

}  // namespace
