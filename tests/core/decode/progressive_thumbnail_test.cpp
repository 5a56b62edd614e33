// A thumbnail of a progressive file reads its scans only as far as they fix
// the reduced pixels. Whatever the scan script, the chroma subsampling, a
// cut-off end or damage, its pixels are exactly those of the library's full
// decode at the same scale; the test rows also say where scans must be left
// unread, so that the shortcut is known to work, not merely to be harmless.
// The display decode's early picture reads the same scripts pass by pass and
// must end with exactly the pixels of its one-pass decode.

#include <gtest/gtest.h>

#include <ostream>

#include "decode/jpeg_decoder.h"
#include "tests/core/decode/decode_test_util.h"

using namespace decodetest;
using jpegwriter::Scan;

namespace {

enum class Chroma { S420, S422, S444, Gray };

struct ScriptCase {
    const char* name;
    std::vector<Scan> scans;  // empty: the library's own script
    Chroma chroma;
    bool skips;  // scans are left unread
};

std::ostream& operator<<(std::ostream& out, const ScriptCase& c)
{
    return out << c.name;
}

const std::vector<int> kAll {0, 1, 2};

// The DC exact at once, then each component's AC in one band.
const std::vector<Scan> kSpectral {
    {kAll, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}, {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}};
// The DC's last bit comes last of all.
const std::vector<Scan> kDcLast {
    {kAll, 0, 0, 0, 1}, {{0}, 1, 63, 0, 0}, {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}, {kAll, 0, 0, 1, 0}};
// Chroma without any AC data: the library's smoothing then adjusts the
// chroma DC itself, so no scan may be skipped.
const std::vector<Scan> kNoChromaAc {{kAll, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}};
// One DC scan per component, luma AC split in two bands.
const std::vector<Scan> kSeparateDc {{{0}, 0, 0, 0, 0}, {{1}, 0, 0, 0, 0},  {{2}, 0, 0, 0, 0},
                                     {{0}, 1, 5, 0, 0}, {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0},
                                     {{0}, 6, 63, 0, 0}};
// The DC refined in two steps, the last one between AC scans.
const std::vector<Scan> kDcSteps {{kAll, 0, 0, 0, 2}, {{0}, 1, 63, 0, 1}, {kAll, 0, 0, 2, 1},
                                  {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}, {kAll, 0, 0, 1, 0},
                                  {{0}, 1, 63, 1, 0}};

// Luma never refined to its last bit, so the library smooths at the end; the
// chroma's AC came in one scan each. Should the last scan be cut short, the
// rows after the cut are smoothed by the state before that scan, in which
// the chroma had no AC yet and its DC gets adjusted: no scan may be skipped.
const std::vector<Scan> kUnrefinedLuma {
    {kAll, 0, 0, 0, 0}, {{0}, 1, 63, 0, 2}, {{1}, 1, 63, 0, 0}, {{2}, 1, 63, 0, 0}, {{0}, 1, 63, 2, 1}};

// The same for a 4:2:0 file, whose chroma is read whole: it was refined in
// two scans, and in the state before its last one its AC was not exact.
const std::vector<Scan> kRefinedChroma {{kAll, 0, 0, 0, 0}, {{1}, 1, 63, 0, 1}, {{2}, 1, 63, 0, 1},
                                        {{1}, 1, 63, 1, 0}, {{2}, 1, 63, 1, 0}, {{0}, 1, 63, 0, 2},
                                        {{0}, 1, 63, 2, 1}};

const ScriptCase kCases[] = {
    {"library_420", {}, Chroma::S420, true},  // the chroma is complete before the last luma scan
    {"library_422", {}, Chroma::S422, true},
    {"library_444", {}, Chroma::S444, true},
    {"library_gray", {}, Chroma::Gray, true},
    {"spectral_420", kSpectral, Chroma::S420, false},  // the last scan completes the chroma
    {"spectral_422", kSpectral, Chroma::S422, true},
    {"spectral_444", kSpectral, Chroma::S444, true},
    {"dc_last_422", kDcLast, Chroma::S422, false},
    {"dc_last_420", kDcLast, Chroma::S420, false},
    {"no_chroma_ac_422", kNoChromaAc, Chroma::S422, false},
    {"no_chroma_ac_444", kNoChromaAc, Chroma::S444, false},
    {"separate_dc_422", kSeparateDc, Chroma::S422, true},
    {"separate_dc_420", kSeparateDc, Chroma::S420, true},
    {"dc_steps_422", kDcSteps, Chroma::S422, true},
    {"dc_steps_420", kDcSteps, Chroma::S420, true},
    {"unrefined_luma_444", kUnrefinedLuma, Chroma::S444, false},
    {"unrefined_luma_422", kUnrefinedLuma, Chroma::S422, false},
    {"refined_chroma_420", kRefinedChroma, Chroma::S420, false},
    {"refined_chroma_422", kRefinedChroma, Chroma::S422, true},
};

// 1024 x 768 decodes at 1/8 to 128 x 96, which a 128-pixel thumbnail takes
// pixel for pixel.
constexpr int kWidth = 1024, kHeight = 768, kSize = 128;

std::vector<uint8_t> Encode(const ScriptCase& c, uint32_t seed, int restartRows = 0)
{
    jpegwriter::EncodeOptions options;
    options.progressive = c.scans.empty();
    options.scans = c.scans;
    options.subsample = c.chroma == Chroma::S420 || c.chroma == Chroma::S422;
    options.subsampleVertically = c.chroma == Chroma::S420;
    options.restartRows = restartRows;
    if (c.chroma == Chroma::Gray)
        for (Scan& scan : options.scans)
            scan.components = {0};
    return jpegwriter::Encode(jpegwriter::MakePhotoLike(kWidth, kHeight, seed, c.chroma == Chroma::Gray),
                              options);
}

// The thumbnail against the library's whole decode at 1/8. False when that
// decode fails outright (damage in a later scan's header, say): the thumbnail
// may then still be made from the scans before the damage, or not.
bool ExpectSameAsFullDecode(const TempDir& dir, const std::vector<uint8_t>& jpeg, bool* skipped)
{
    const jpegwriter::RawImage reference = jpegwriter::DecodeReference(jpeg, 8);
    CJpegDecoder decoder;
    const bool made = decoder.MakeThumbnail(dir.Write("p.jpg", jpeg), kSize, false, nullptr);
    if (reference.width == 0)
        return false;
    const CImageBitmap& thumb = decoder.Thumbnail();
    EXPECT_TRUE(made);
    EXPECT_EQ(thumb.Width(), reference.width);
    EXPECT_EQ(thumb.Height(), reference.height);
    if (!made || thumb.Width() != reference.width || thumb.Height() != reference.height)
        return true;
    int differing = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x)
            differing += Rgb(thumb.Row(y)[x]) != Rgb(RefPixel(reference, x, y));
    EXPECT_EQ(differing, 0);
    *skipped = decoder.ThumbnailSkippedScans();
    return true;
}

class ProgressiveThumbnailTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ProgressiveThumbnailTest, SamePixelsAsTheFullDecode)
{
    const ScriptCase& c = GetParam();
    TempDir dir;
    for (uint32_t seed : {1u, 7u}) {
        bool skipped = false;
        ASSERT_TRUE(ExpectSameAsFullDecode(dir, Encode(c, seed), &skipped));
        EXPECT_EQ(skipped, c.skips) << "seed " << seed;
    }
    bool skipped = false;
    ASSERT_TRUE(ExpectSameAsFullDecode(dir, Encode(c, 3, 2), &skipped));
    EXPECT_EQ(skipped, c.skips) << "with restart markers";
}

TEST_P(ProgressiveThumbnailTest, CutOffOrDamagedFilesStillMatch)
{
    const ScriptCase& c = GetParam();
    TempDir dir;
    const std::vector<uint8_t> whole = Encode(c, 5);
    bool skipped = false;
    int compared = 0;
    // Cut inside each part of the file, early scans to the last one.
    for (int percent : {15, 35, 55, 75, 90, 98}) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(whole.size() * size_t(percent) / 100));
        SCOPED_TRACE(percent);
        compared += ExpectSameAsFullDecode(dir, cut, &skipped);
    }
    // Bytes overwritten in the middle: the scan they hit decodes to garbage
    // or stops early, the same for both.
    for (int percent : {20, 50, 80}) {
        std::vector<uint8_t> damaged = whole;
        const size_t at = whole.size() * size_t(percent) / 100;
        for (size_t i = at; i < at + 40 && i < damaged.size(); ++i)
            damaged[i] = uint8_t(i * 37);
        SCOPED_TRACE(percent);
        compared += ExpectSameAsFullDecode(dir, damaged, &skipped);
    }
    EXPECT_GE(compared, 5);
}

INSTANTIATE_TEST_SUITE_P(Scripts, ProgressiveThumbnailTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ScriptCase>& info) { return info.param.name; });

// The offset of the marker that ends the data of the scan at `sos` (the
// offset of its SOS marker).
size_t EndOfScanData(const std::vector<uint8_t>& jpeg, size_t sos)
{
    size_t at = sos + 2 + ((size_t(jpeg[sos + 2]) << 8) | jpeg[sos + 3]);
    for (; at + 1 < jpeg.size(); ++at)
        if (jpeg[at] == 0xFF && jpeg[at + 1] != 0x00 && (jpeg[at + 1] < 0xD0 || jpeg[at + 1] > 0xD7))
            return at;
    return jpeg.size();
}

std::vector<size_t> ScanStarts(const std::vector<uint8_t>& jpeg)
{
    std::vector<size_t> starts;
    for (size_t at = 0; at + 1 < jpeg.size(); ++at)
        if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xDA)
            starts.push_back(at);
    return starts;
}

// A comment segment right after SOI moves the rest of the file by `shift`
// bytes (at least 4).
std::vector<uint8_t> Shifted(const std::vector<uint8_t>& jpeg, size_t shift)
{
    const size_t length = shift - 2;
    std::vector<uint8_t> out {0xFF, 0xD8, 0xFF, 0xFE, uint8_t(length >> 8), uint8_t(length)};
    out.resize(out.size() + shift - 4, uint8_t('c'));
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// The file is read 32768 bytes at a time; the data of a scan that is passed
// over may end with its marker's 0xFF the last byte of one read and the code
// the first of the next, or right before or after that.
TEST(ProgressiveThumbnail, APassedOverScanEndingAcrossTwoReads)
{
    TempDir dir;
    const std::vector<uint8_t> jpeg = Encode(kCases[1], 11);  // the library's script, 4:2:2
    const std::vector<size_t> starts = ScanStarts(jpeg);
    ASSERT_GE(starts.size(), 3u);
    // The second scan (luma AC) is passed over; its data ends before the third.
    const size_t end = EndOfScanData(jpeg, starts[1]);
    ASSERT_LT(end, starts[2] + 1);
    for (size_t at : {32766u, 32767u, 32768u}) {
        size_t shift = (at + 2 * 32768 - end % 32768) % 32768;
        if (shift < 4)
            shift += 32768;
        const std::vector<uint8_t> moved = Shifted(jpeg, shift);
        ASSERT_EQ((end + shift) % 32768, at % 32768);
        bool skipped = false;
        SCOPED_TRACE(at);
        ASSERT_TRUE(ExpectSameAsFullDecode(dir, moved, &skipped));
        EXPECT_TRUE(skipped);
    }
}

TEST(ProgressiveThumbnail, BaselineAndSmallScalesReadEverything)
{
    TempDir dir;
    const auto photo = jpegwriter::MakePhotoLike(kWidth, kHeight, 2);
    CJpegDecoder decoder;
    ASSERT_TRUE(decoder.MakeThumbnail(dir.Write("b.jpg", jpegwriter::Encode(photo)), kSize, false, nullptr));
    EXPECT_FALSE(decoder.ThumbnailSkippedScans());
    // At 1/4 every block goes through a 2 x 2 transform, which reads AC data.
    jpegwriter::EncodeOptions options;
    options.progressive = true;
    const std::vector<uint8_t> jpeg = jpegwriter::Encode(photo, options);
    CJpegDecoder quarter;
    ASSERT_TRUE(quarter.MakeThumbnail(dir.Write("q.jpg", jpeg), 200, false, nullptr));
    EXPECT_FALSE(quarter.ThumbnailSkippedScans());
    EXPECT_EQ(quarter.Thumbnail().Width(), 200);
}

// The DC of the chroma comes last: the first picture is the whole file.
const std::vector<Scan> kChromaDcLast {{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}, {{1, 2}, 0, 0, 0, 0}};

struct PassCase {
    const char* name;
    std::vector<Scan> scans;
    Chroma chroma;
    DecodeRequest request;  // path left empty
    int cutPercent;         // 0: the whole file
    int passes;
};

const PassCase kPassCases[] = {
    {"library_fit", {}, Chroma::S420, {"", 400, 300}, 0, 2},
    {"library_own_size", {}, Chroma::S420, {"", 0, 0}, 0, 2},
    {"library_own_rotated", {}, Chroma::S422, {"", 0, 0, 1, false, true}, 0, 2},
    {"library_enlarged_flipped", {}, Chroma::S444, {"", 1500, 0, 2, true, false, false, true}, 0, 2},
    {"library_fit_cut", {}, Chroma::S420, {"", 400, 300, 3, false, false, true}, 60, 2},
    {"library_gray_turned", {}, Chroma::Gray, {"", 500, 500, 1, true, true}, 0, 2},
    {"dc_last_fit", kDcLast, Chroma::S420, {"", 400, 300, 0, true}, 0, 2},
    {"dc_steps_own_size", kDcSteps, Chroma::S422, {"", 0, 0, 2, true}, 0, 2},
    {"unrefined_luma_fit", kUnrefinedLuma, Chroma::S444, {"", 640, 480, 0, false, false, true}, 0, 2},
    {"unrefined_luma_cut", kUnrefinedLuma, Chroma::S422, {"", 0, 0}, 85, 2},
    {"no_chroma_ac_rotated", kNoChromaAc, Chroma::S420, {"", 300, 400, 3}, 0, 2},
    {"chroma_dc_last", kChromaDcLast, Chroma::S420, {"", 400, 300}, 0, 1},
};

struct RowCount : IDecodeProgress {
    int rows = 0;
    bool Progress(int, int) override { return ++rows > 0; }
};

class EarlyPictureTest : public ::testing::TestWithParam<PassCase> {};

TEST_P(EarlyPictureTest, EndsWithTheOnePassPixels)
{
    const PassCase& c = GetParam();
    TempDir dir;
    std::vector<uint8_t> jpeg = Encode({c.name, c.scans, c.chroma, false}, 9);
    if (c.cutPercent)
        jpeg.resize(jpeg.size() * size_t(c.cutPercent) / 100);
    DecodeRequest request = c.request;
    request.path = dir.Write("p.jpg", jpeg);
    CJpegDecoder once, passes;
    RowCount rows;
    ASSERT_TRUE(once.OpenForDisplay(request));
    ASSERT_TRUE(once.Decode(nullptr, &rows));
    const int sourceRows = rows.rows;
    request.earlyPicture = true;
    rows.rows = 0;
    ASSERT_TRUE(passes.OpenForDisplay(request));
    ASSERT_TRUE(passes.Decode(nullptr, &rows));
    EXPECT_EQ(rows.rows, c.passes * sourceRows);
    const CImageBitmap& a = once.DisplayImage();
    const CImageBitmap& b = passes.DisplayImage();
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    int differing = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            differing += Rgb(a.Row(y)[x]) != Rgb(b.Row(y)[x]);
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(Scripts, EarlyPictureTest, ::testing::ValuesIn(kPassCases),
                         [](const ::testing::TestParamInfo<PassCase>& info) { return info.param.name; });

}  // namespace
