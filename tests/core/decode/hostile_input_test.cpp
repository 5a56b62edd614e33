// Files that are not what they claim: every one gets a clean answer, without
// a crash, a hang or unbounded memory.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <ostream>
#include <tuple>

#include "decode/jpeg_decoder.h"
#include "decode/sync_event.h"
#include "tests/core/decode/decode_test_util.h"
#include "tools/exif_builder.h"

using namespace decodetest;

namespace {

std::vector<uint8_t> SmallJpeg(bool progressive = false, bool subsample = true, int width = 64,
                               int height = 48, int components = 3)
{
    jpegwriter::EncodeOptions options;
    options.progressive = progressive;
    options.subsample = subsample;
    return jpegwriter::Encode(Pattern(width, height, components), options);
}

constexpr int64_t k50GiB = int64_t(50) << 30;

// Offset of the first marker `code` (after SOI), or 0.
size_t FindMarker(const std::vector<uint8_t>& jpeg, uint8_t code)
{
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code)
            return i;
    return 0;
}

// The frame header claims width x height.
std::vector<uint8_t> WithFrameSize(std::vector<uint8_t> jpeg, uint8_t sof, int width, int height)
{
    const size_t at = FindMarker(jpeg, sof);
    EXPECT_NE(at, 0u);
    jpeg[at + 5] = uint8_t(height >> 8);
    jpeg[at + 6] = uint8_t(height);
    jpeg[at + 7] = uint8_t(width >> 8);
    jpeg[at + 8] = uint8_t(width);
    return jpeg;
}

// A segment inserted right after SOI.
std::vector<uint8_t> WithSegment(std::vector<uint8_t> jpeg, std::vector<uint8_t> segment)
{
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

// A progressive file whose first scan is repeated `count` more times.
std::vector<uint8_t> WithRepeatedScans(const std::vector<uint8_t>& jpeg, int count)
{
    const size_t first = FindMarker(jpeg, 0xDA);
    size_t end = first + 2;
    while (!(jpeg[end] == 0xFF && jpeg[end + 1] != 0 && !(jpeg[end + 1] >= 0xD0 && jpeg[end + 1] <= 0xD7)))
        ++end;
    std::vector<uint8_t> out(jpeg.begin(), jpeg.end() - 2);  // without EOI
    for (int i = 0; i < count; ++i)
        out.insert(out.end(), jpeg.begin() + long(first), jpeg.begin() + long(end));
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

// Cut in the middle of the data of the second scan (the first AC scan).
std::vector<uint8_t> CutInSecondScan(std::vector<uint8_t> jpeg)
{
    std::vector<size_t> scans;
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            scans.push_back(i);
    jpeg.resize((scans.at(1) + scans.at(2)) / 2);
    return jpeg;
}

// Every restart interval empty up to the end: one interval per row of MCUs
// (the frame is 65500 pixels wide, 4094 MCUs of a 4:2:0 file).
std::vector<uint8_t> EmptyRestartIntervals(std::vector<uint8_t> jpeg)
{
    const size_t scan = FindMarker(jpeg, 0xDA);
    jpeg.resize(scan + 2 + size_t(jpeg[scan + 2] << 8 | jpeg[scan + 3]));
    jpeg.insert(jpeg.begin() + long(scan), {0xFF, 0xDD, 0x00, 0x04, 4094 >> 8, 4094 & 0xFF});
    for (int i = 0; i < 4094; ++i)
        jpeg.insert(jpeg.end(), {0xFF, uint8_t(i < 4093 ? 0xD0 + i % 8 : 0xD9)});
    return jpeg;
}

const std::vector<uint8_t> kPngStart
    = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I',  'H',  'D',  'R', 0,
       0,    1,   0,   0,   0,    1,    0,    8,    2, 0, 0, 0,  0x90, 0x77, 0x53, 0xDE};

struct Hostile {
    const char* name;
    std::vector<uint8_t> bytes;
    bool headerRead;  // ReadInfo finds the frame
    DecodeRequest request;
    bool opens;
    bool decodes;
    bool thumbnail;
    const char* refusal = nullptr;  // in the failures' reason
    int64_t holeTo = 0;             // extended by a hole to this size
};

// Named by the case alone (the default printer would dump the raw bytes,
// padding included).
void PrintTo(const Hostile& h, std::ostream* out)
{
    *out << h.name;
}

class HostileFile : public testing::TestWithParam<Hostile> {};

TEST_P(HostileFile, GetsACleanAnswer)
{
    const Hostile& h = GetParam();
    TempDir dir;
    const std::string path = dir.Write("x.jpg", h.bytes);
    if (h.holeTo) {
        ASSERT_EQ(::truncate(path.c_str(), h.holeTo), 0);
    }
    const auto refused
        = [&h](const std::string& why) { return !h.refusal || why.find(h.refusal) != why.npos; };
    {
        CJpegDecoder decoder;
        const ImageInfo& info = decoder.ReadInfo(path);
        EXPECT_EQ(info.fileSizeFull, h.holeTo ? h.holeTo : int64_t(h.bytes.size()));
        EXPECT_EQ(info.imageWidth != 0, h.headerRead);
        if (!h.headerRead) {
            EXPECT_EQ(info.imageHeight, 0);
            EXPECT_FALSE(info.color);
        }
        std::string error;
        EXPECT_EQ(decoder.MakeThumbnail(path, 80, true, nullptr, {}, &error), h.thumbnail);
        EXPECT_TRUE(h.thumbnail || refused(error)) << error;
    }
    CJpegDecoder decoder;
    DecodeRequest request = h.request;
    request.path = path;
    std::string error;
    ASSERT_EQ(decoder.OpenForDisplay(request, nullptr, &error), h.opens);
    if (h.opens) {
        EXPECT_EQ(decoder.Decode(nullptr, nullptr, &error), h.decodes);
    } else {
        EXPECT_TRUE(decoder.DisplayImage().IsNull());
    }
    if (!h.opens || !h.decodes) {
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(refused(error)) << error;
    }
}

std::vector<Hostile> Cases()
{
    const auto jpeg = SmallJpeg();
    const auto progressive = SmallJpeg(true);
    // Thumbnails of 640 x 480 pixels read the scans at 1/8, passing over the
    // AC scans of the luminance.
    const auto largerProgressive = SmallJpeg(true, true, 640, 480);
    const auto progressive444 = SmallJpeg(true, false);
    const auto grayProgressive = SmallJpeg(true, true, 16, 16, 1);
    const DecodeRequest own {};
    const DecodeRequest fitted {"", 100, 100};
    // Progressive files read pass by pass: the DC scans while opening.
    const DecodeRequest early {"", 100, 100, 0, false, false, false, false, true};
    return {
        {"ZeroBytes", {}, false, own, false, false, false},
        {"Text", std::vector<uint8_t>(100, 'a'), false, own, false, false, false},
        {"Png", kPngStart, false, own, false, false, false},
        {"OnlySoi", {0xFF, 0xD8}, false, own, false, false, false},
        {"CutInHeader", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 100), false, own, false, false,
         false},
        {"CutInData", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 2 / 3)), true, own,
         true, true, true},
        {"ProgressiveCut",
         std::vector<uint8_t>(progressive.begin(), progressive.begin() + long(progressive.size() / 2)), true,
         own, true, true, true},
        {"CommentLengthZero", WithSegment(jpeg, {0xFF, 0xFE, 0x00, 0x00}), true, own, true, true, true},
        {"App1LengthOne", WithSegment(jpeg, {0xFF, 0xE1, 0x00, 0x01}), true, own, true, true, true},
        {"App1LongerThanFile", WithSegment({0xFF, 0xD8}, {0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0}),
         false, own, false, false, false},
        {"HugeAtOwnSize", WithFrameSize(jpeg, 0xC0, 65500, 65500), true, own, false, false, true},
        {"HugeProgressiveFitted", WithFrameSize(progressive, 0xC2, 65500, 65500), true, fitted, false, false,
         false},
        {"ThousandsOfScans", WithRepeatedScans(progressive, 1500), true, own, false, false, false},
        {"ZeroWidth", WithFrameSize(jpeg, 0xC0, 0, 48), false, own, false, false, false},
        {"NeverEndingBaseline", std::vector<uint8_t>(jpeg.begin(), jpeg.end() - 2), true, fitted, true, true,
         true, nullptr, k50GiB},
        {"NeverEndingProgressive", CutInSecondScan(largerProgressive), true, fitted, true, true, true,
         nullptr, k50GiB},
        {"CoefficientsBeyondTheMemoryLimit", WithFrameSize(progressive444, 0xC2, 13000, 13000), true, fitted,
         false, false, false, "too large"},
        {"HeaderBombAtOwnSize", WithFrameSize(jpeg, 0xC0, 16384, 16384), true, own, false, false, true,
         "too large"},
        {"HeaderBombFitted", WithFrameSize(jpeg, 0xC0, 16384, 16384), true, fitted, true, true, true},
        {"CoefficientsUnderTheLimitOverLittleData", WithFrameSize(progressive444, 0xC2, 9200, 9200), true,
         fitted, false, false, false, "too large"},
        {"ScansBeyondTheWorkLimit", WithRepeatedScans(WithFrameSize(grayProgressive, 0xC2, 4096, 4096), 260),
         true, fitted, false, false, false, "too large"},
        {"ThousandsOfScansEarly", WithRepeatedScans(progressive, 1500), true, early, true, false, false,
         "scans"},
        {"NeverEndingProgressiveEarly", CutInSecondScan(largerProgressive), true, early, true, true, true,
         nullptr, k50GiB},
        {"CoefficientsBeyondTheMemoryLimitEarly", WithFrameSize(progressive444, 0xC2, 13000, 13000), true,
         early, false, false, false, "too large"},
        {"ScansBeyondTheWorkLimitEarly",
         WithRepeatedScans(WithFrameSize(grayProgressive, 0xC2, 4096, 4096), 260), true, early, true, false,
         false, "too large"},
        {"EmptyRestartIntervals", EmptyRestartIntervals(WithFrameSize(jpeg, 0xC0, 65500, 65500)), true,
         fitted, true, true, true},
    };
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFile, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileFile, TruncatedDecodeMatchesTheLibrarysCompletion)
{
    const auto jpeg = SmallJpeg();
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2));
    const auto ref = jpegwriter::DecodeReference(cut);
    ASSERT_EQ(ref.width, 64);
    TempDir dir;
    CJpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenForDisplay({dir.Write("cut.jpg", cut)}));
    ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(Rgb(decoder.DisplayImage().Row(y)[x]), Rgb(RefPixel(ref, x, y)));
}

TEST(HostileFile, ShortSegmentsRecordNothingAndEmptyCommentsCount)
{
    TempDir dir;
    const auto jpeg
        = WithSegment(WithSegment(SmallJpeg(), {0xFF, 0xFE, 0x00, 0x02}), {0xFF, 0xFE, 0x00, 0x01});
    CJpegDecoder decoder;
    const ImageInfo& info = decoder.ReadInfo(dir.Write("a.jpg", jpeg));
    EXPECT_EQ(info.comments, std::vector<std::string> {""});
    EXPECT_EQ(info.imageWidth, 64);
}

// A segment longer than the rest of the file keeps the bytes the file
// holds, not the end-of-image marker supplied after them.
TEST(HostileFile, SegmentCutByTheEndOfTheFile)
{
    TempDir dir;
    const std::vector<uint8_t> comment = {0xFF, 0xD8, 0xFF, 0xFE, 0x03, 0xE8, 'h', 'e', 'l', 'l', 'o'};
    CJpegDecoder decoder;
    const ImageInfo& info = decoder.ReadInfo(dir.Write("c.jpg", comment));
    EXPECT_EQ(info.comments, std::vector<std::string> {"hello"});
    EXPECT_EQ(info.imageWidth, 0);

    // An Exif segment cut inside its directory: the entries that fit are read.
    exifbuilder::Builder exif(exifbuilder::Order::Little);
    exif.Ascii(exifbuilder::Ifd0, 271, "Maker").Short(exifbuilder::Ifd0, 274, {6});
    const std::vector<uint8_t> payload = exif.Build();
    std::vector<uint8_t> cut
        = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t((payload.size() + 2) >> 8), uint8_t(payload.size() + 2)};
    cut.insert(cut.end(), payload.begin(), payload.end());
    cut.resize(cut.size() - 1);
    CJpegDecoder exifDecoder;
    const ImageInfo& exifInfo = exifDecoder.ReadInfo(dir.Write("e.jpg", cut));
    EXPECT_EQ(exifInfo.exif.TiffData().size(), payload.size() - 7);
}

TEST(HostileFile, MissingFile)
{
    CJpegDecoder decoder;
    const ImageInfo& info = decoder.ReadInfo("/nonexistent/dir/a.jpg");
    EXPECT_EQ(info.fileSizeFull, 0);
    EXPECT_EQ(info.modified, 0);
    EXPECT_FALSE(decoder.MakeThumbnail("/nonexistent/dir/a.jpg", 80, true, nullptr));
    EXPECT_FALSE(decoder.OpenForDisplay({"/nonexistent/dir/a.jpg"}));
}

// A FIFO named like a photo, with no writer: opening it for reading would
// wait for one forever, holding the information lock.
TEST(HostileFile, FifoIsNotWaitedFor)
{
    TempDir dir;
    const std::string path = dir.Path("pipe.jpg");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto answers = std::async(std::launch::async, [&path] {
        CJpegDecoder decoder;
        const int width = decoder.ReadInfo(path).imageWidth;
        const bool thumbnail = decoder.MakeThumbnail(path, 80, true, nullptr);
        std::string error;
        const bool opens = decoder.OpenForDisplay({path}, nullptr, &error);
        return std::make_tuple(width, thumbnail, opens, error);
    });
    if (answers.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Release every blocked open (a writer that comes and goes means end
        // of data), so that the test ends with its failure.
        while (answers.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        FAIL() << "the decoder waited for a writer";
    }
    const auto [width, thumbnail, opens, error] = answers.get();
    EXPECT_EQ(width, 0);
    EXPECT_FALSE(thumbnail);
    EXPECT_FALSE(opens);
    EXPECT_EQ(error, "not a regular file");
}

// Bytes this process has read from files so far.
int64_t BytesRead()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

// 4 MiB without a marker before the frame: given a signalled cancel event,
// every decode stops within about a MiB of reading.
TEST(HostileFile, CancelStopsTheReading)
{
    std::vector<uint8_t> jpeg = SmallJpeg();
    jpeg.insert(jpeg.begin() + 2, size_t(4) << 20, 0x01);
    TempDir dir;
    const std::string path = dir.Write("long.jpg", jpeg);
    CEvent cancel;
    cancel.Set();
    ReducedImage reduced;
    const std::pair<const char*, std::function<bool(CJpegDecoder&)>> decodes[] = {
        {"thumbnail", [&](CJpegDecoder& d) { return d.MakeThumbnail(path, 80, true, &cancel); }},
        {"reduced", [&](CJpegDecoder& d) { return d.DecodeReduced(path, 80, &cancel, &reduced); }},
        {"display", [&](CJpegDecoder& d) { return d.OpenForDisplay({path}, &cancel); }},
    };
    for (const auto& [name, decode] : decodes) {
        CJpegDecoder decoder;
        const int64_t before = BytesRead();
        EXPECT_FALSE(decode(decoder)) << name;
        EXPECT_LT(BytesRead() - before, int64_t(3) << 19) << name;
    }
}

TEST(HostileFile, NameThatIsNotUtf8)
{
    TempDir dir;
    const std::string path = dir.Write("bad\xff\xfe name.jpg", SmallJpeg());
    CJpegDecoder decoder;
    EXPECT_EQ(decoder.ReadInfo(path).imageWidth, 64);
    ASSERT_TRUE(decoder.OpenForDisplay({path}));
    EXPECT_TRUE(decoder.Decode(nullptr, nullptr));
}

}  // namespace
