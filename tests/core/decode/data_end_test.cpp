// Files whose scan data ends early: the rows below the end are the ones the
// library itself completes, whether the decoder asks the library for them or
// repeats the settled row, and a frame header that claims far more pixels
// than the data holds decodes at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

#include "decode/jpeg_decoder.h"
#include "tests/core/decode/decode_test_util.h"

using namespace decodetest;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Tall(bool subsample = true, int restartRows = 0, bool progressive = false, int components = 3)
{
    jpegwriter::EncodeOptions options;
    options.subsample = subsample;
    options.restartRows = restartRows;
    options.progressive = progressive;
    return jpegwriter::Encode(Pattern(96, 1200, components), options);
}

// One flat colour: the rows above the end repeat as well.
Bytes TallFlat()
{
    return jpegwriter::Encode(Solid(96, 1200, 200, 40, 90));
}

Bytes Cut(Bytes jpeg, double fraction)
{
    jpeg.resize(size_t(double(jpeg.size()) * fraction));
    return jpeg;
}

// An end-of-image marker written over the scan data; the data after it stays.
Bytes EndMarkerInside(Bytes jpeg)
{
    const size_t at = jpeg.size() * 2 / 5;
    jpeg[at] = 0xFF;
    jpeg[at + 1] = 0xD9;
    return jpeg;
}

// Offsets of the restart markers.
std::vector<size_t> RestartMarkers(const Bytes& jpeg)
{
    std::vector<size_t> at;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7)
            at.push_back(i);
    return at;
}

// The third restart interval loses most of its data: the library meets the
// next restart marker early, fills the interval with empty blocks and goes
// on with real data after it.
Bytes ShortRestartInterval(Bytes jpeg)
{
    const std::vector<size_t> at = RestartMarkers(jpeg);
    EXPECT_GE(at.size(), 4u);
    if (at.size() < 4)
        return jpeg;
    jpeg.erase(jpeg.begin() + long(at[2] + 12), jpeg.begin() + long(at[3]));
    return jpeg;
}

// The intervals after the second keep their restart markers but lose all
// their data, up to the end of the image.
Bytes EmptyRestartIntervals(const Bytes& jpeg)
{
    const std::vector<size_t> at = RestartMarkers(jpeg);
    EXPECT_GE(at.size(), 4u);
    if (at.size() < 4)
        return jpeg;
    Bytes out(jpeg.begin(), jpeg.begin() + long(at[2]));
    for (size_t i = 2; i < at.size(); ++i)
        out.insert(out.end(), {0xFF, jpeg[at[i] + 1]});
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

struct DataEnd {
    const char* name;
    std::function<Bytes()> make;
};

void PrintTo(const DataEnd& d, std::ostream* out)
{
    *out << d.name;
}

class DataEndFile : public testing::TestWithParam<DataEnd> {};

// At the own size without rotation the library writes straight into the
// display image; a quarter turn goes through the row pipeline instead.
TEST_P(DataEndFile, MatchesTheLibrarysCompletion)
{
    const Bytes jpeg = GetParam().make();
    const jpegwriter::RawImage ref = jpegwriter::DecodeReference(jpeg);
    ASSERT_EQ(ref.width, 96);
    ASSERT_EQ(ref.height, 1200);
    TempDir dir;
    const std::string path = dir.Write("x.jpg", jpeg);
    for (const int rotation : {0, 1}) {
        SCOPED_TRACE(rotation);
        CJpegDecoder decoder;
        DecodeRequest request {path};
        request.rotation = rotation;
        ASSERT_TRUE(decoder.OpenForDisplay(request));
        ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
        const CImageBitmap& image = decoder.DisplayImage();
        int wrong = 0, firstWrongRow = -1;
        for (int y = 0; y < ref.height; ++y) {
            for (int x = 0; x < ref.width; ++x) {
                int dx = 0, dy = 0;
                MapPixel(ref.width, ref.height, rotation, false, false, x, y, dx, dy);
                if (Rgb(image.Row(dy)[dx]) != Rgb(RefPixel(ref, x, y)) && wrong++ == 0)
                    firstWrongRow = y;
            }
        }
        EXPECT_EQ(wrong, 0) << "first wrong source row " << firstWrongRow;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DataEndFile,
    testing::Values(DataEnd {"Cut420", [] { return Cut(Tall(), 0.3); }},
                    DataEnd {"Cut444", [] { return Cut(Tall(false), 0.5); }},
                    DataEnd {"CutFlat", [] { return Cut(TallFlat(), 0.5); }},
                    DataEnd {"CutGray", [] { return Cut(Tall(true, 0, false, 1), 0.2); }},
                    DataEnd {"CutJustBeforeTheEnd", [] { return Cut(Tall(), 0.999); }},
                    DataEnd {"CutWithRestarts", [] { return Cut(Tall(true, 2), 0.4); }},
                    DataEnd {"EndMarkerInsideTheScan", [] { return EndMarkerInside(Tall()); }},
                    DataEnd {"ShortRestartInterval", [] { return ShortRestartInterval(Tall(true, 6)); }},
                    DataEnd {"EmptyRestartIntervals", [] { return EmptyRestartIntervals(Tall(true, 2)); }},
                    DataEnd {"EmptyRestartIntervals444",
                             [] { return EmptyRestartIntervals(Tall(false, 1)); }},
                    DataEnd {"CutProgressive", [] { return Cut(Tall(true, 0, true), 0.5); }}),
    [](const auto& info) { return std::string(info.param.name); });

// 65500 x 65500 pixels claimed over a few hundred bytes: gray below the data,
// for the display image and the thumbnail alike, without decoding four
// billion empty pixels.
TEST(DataEnd, HugeFrameOverLittleData)
{
    Bytes jpeg = jpegwriter::Encode(Pattern(32, 24));
    const uint8_t kBaselineFrame[] = {0xFF, 0xC0};
    const auto sof
        = std::search(jpeg.begin(), jpeg.end(), std::begin(kBaselineFrame), std::end(kBaselineFrame));
    ASSERT_NE(sof, jpeg.end());
    sof[5] = sof[7] = 0xFF;
    sof[6] = sof[8] = 0xDC;  // 65500 both ways
    TempDir dir;
    const std::string path = dir.Write("huge.jpg", jpeg);
    for (const int rotation : {0, 1}) {
        SCOPED_TRACE(rotation);
        CJpegDecoder decoder;
        ASSERT_TRUE(decoder.OpenForDisplay({path, 1000, 1000, rotation}));
        ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
        const CImageBitmap& image = decoder.DisplayImage();
        ASSERT_EQ(image.Width(), 1000);
        EXPECT_EQ(Rgb(image.Row(999)[999]), 0x808080u);
        EXPECT_EQ(Rgb(image.Row(500)[3]), 0x808080u);
    }
    CJpegDecoder decoder;
    ASSERT_TRUE(decoder.MakeThumbnail(path, 80, false, nullptr));
    EXPECT_EQ(Rgb(decoder.Thumbnail().Row(79)[79]), 0x808080u);
}

}  // namespace
