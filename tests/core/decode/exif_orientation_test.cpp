// Upright by the Exif orientation: the tag table, its composition with the
// view's rotation and flips, and the display decode and thumbnail of files
// whose pixels are known.

#include <gtest/gtest.h>

#include "decode/exif_orientation.h"
#include "decode/jpeg_decoder.h"
#include "tests/core/decode/decode_test_util.h"
#include "tools/exif_builder.h"

using namespace decodetest;

namespace {

constexpr int kWidth = 6, kHeight = 4;

// Where stored pixel (x, y) of a w x h photo shows when the photo is upright,
// as the tag's meaning (which side row 0 and column 0 are) puts it.
void UprightPixel(int tag, int w, int h, int x, int y, int& ux, int& uy)
{
    switch (tag) {
    case 2: ux = w - 1 - x, uy = y; break;
    case 3: ux = w - 1 - x, uy = h - 1 - y; break;
    case 4: ux = x, uy = h - 1 - y; break;
    case 5: ux = y, uy = x; break;
    case 6: ux = h - 1 - y, uy = x; break;
    case 7: ux = h - 1 - y, uy = w - 1 - x; break;
    case 8: ux = y, uy = w - 1 - x; break;
    default: ux = x, uy = y; break;
    }
}

std::vector<uint8_t> WithOrientation(const jpegwriter::RawImage& image, int tag, exifbuilder::Order order)
{
    jpegwriter::EncodeOptions options;
    options.quality = 95;
    options.subsample = false;
    if (tag >= 0)
        options.app1.push_back(
            exifbuilder::Builder(order).Short(exifbuilder::Ifd0, 274, {uint16_t(tag)}).Build());
    return jpegwriter::Encode(image, options);
}

// Checks every pixel of `got` against the reference placed by the tag and
// then by the view's rotation and flips.
void ExpectPlaced(const CImageBitmap& got, const jpegwriter::RawImage& ref, int tag, const Orientation& view)
{
    const bool quarterTag = tag >= 5 && tag <= 8;
    const int uw = quarterTag ? ref.height : ref.width, uh = quarterTag ? ref.width : ref.height;
    const bool quarter = (view.rotation & 1) != quarterTag;
    ASSERT_EQ(got.Width(), quarter ? ref.height : ref.width);
    ASSERT_EQ(got.Height(), quarter ? ref.width : ref.height);
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            int ux, uy, dx, dy;
            UprightPixel(tag, ref.width, ref.height, x, y, ux, uy);
            MapPixel(uw, uh, view.rotation, view.flipHorizontally, view.flipVertically, ux, uy, dx, dy);
            ASSERT_EQ(Rgb(got.Row(dy)[dx]), Rgb(RefPixel(ref, x, y))) << "source " << x << "," << y;
        }
}

}  // namespace

TEST(ExifOrientation, ComposedOrientationDoesBothSteps)
{
    // Every pair of the eight orientations: turning the pixels by the
    // composition equals turning them by one and then the other.
    std::vector<uint32_t> start(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < start.size(); ++i)
        start[i] = uint32_t(i);
    for (int a = 1; a <= 8; ++a)
        for (int b = 1; b <= 8; ++b) {
            std::vector<uint32_t> twice = start, once = start;
            int w2 = kWidth, h2 = kHeight, w1 = kWidth, h1 = kHeight;
            OrientPixels(twice, w2, h2, UprightOf(a));
            OrientPixels(twice, w2, h2, UprightOf(b));
            const Orientation both = Compose(UprightOf(a), UprightOf(b));
            EXPECT_FALSE(both.flipVertically);
            OrientPixels(once, w1, h1, both);
            EXPECT_EQ(once, twice) << a << " then " << b;
            EXPECT_EQ(w1, w2);
        }
}

TEST(ExifOrientation, TagsOutsideOneToEightAreAsStored)
{
    for (int tag : {0, 9, 65535, -1})
        EXPECT_EQ(UprightOf(tag), Orientation {}) << tag;
    const std::vector<std::pair<std::vector<uint8_t>, int>> cases = {
        {exifbuilder::Builder(exifbuilder::Order::Little).Short(exifbuilder::Ifd0, 274, {6}).Build(), 6},
        {exifbuilder::Builder(exifbuilder::Order::Big).Short(exifbuilder::Ifd0, 274, {8}).Build(), 8},
        {exifbuilder::Builder(exifbuilder::Order::Big).Short(exifbuilder::Ifd0, 274, {0}).Build(), 0},
        {exifbuilder::Builder(exifbuilder::Order::Big).Short(exifbuilder::Ifd0, 274, {9}).Build(), 0},
        // Other integer types, as cameras write them; the tag in the wrong
        // directory, and types that are no integer, are not read.
        {exifbuilder::Builder(exifbuilder::Order::Big).Long(exifbuilder::Ifd0, 274, {6}).Build(), 6},
        {exifbuilder::Builder(exifbuilder::Order::Little).SLong(exifbuilder::Ifd0, 274, {8}).Build(), 8},
        {exifbuilder::Builder(exifbuilder::Order::Big).SShort(exifbuilder::Ifd0, 274, {3}).Build(), 3},
        {exifbuilder::Builder(exifbuilder::Order::Little).SLong(exifbuilder::Ifd0, 274, {-6}).Build(), 0},
        {exifbuilder::Builder(exifbuilder::Order::Big).Long(exifbuilder::Ifd0, 274, {0x10006}).Build(), 0},
        {exifbuilder::Builder(exifbuilder::Order::Big).Byte(exifbuilder::Ifd0, 274, {6}).Build(), 0},
        {exifbuilder::Builder(exifbuilder::Order::Big).Short(exifbuilder::Exif, 274, {6}).Build(), 0},
    };
    for (const auto& [app1, tag] : cases) {
        CExifReader exif;
        exif.ParseApp1(app1.data(), app1.size());
        EXPECT_EQ(ExifOrientationTag(exif), tag);
    }
}

// All eight tags, against four rotations and the four flip states, on a file
// whose decoded pixels are known: every pixel lands where the upright photo,
// turned and flipped by the view, puts it.
class OrientedDecode : public testing::TestWithParam<int> {};

TEST_P(OrientedDecode, PlacesEveryPixelOnTheUprightPhoto)
{
    const int tag = GetParam();
    TempDir dir;
    const auto bytes = WithOrientation(Pattern(kWidth, kHeight), tag,
                                       tag % 2 ? exifbuilder::Order::Little : exifbuilder::Order::Big);
    const std::string path = dir.Write("o.jpg", bytes);
    const jpegwriter::RawImage ref = jpegwriter::DecodeReference(bytes);
    for (int rotation = 0; rotation < 4; ++rotation)
        for (int flips = 0; flips < 4; ++flips) {
            SCOPED_TRACE(testing::Message() << "rotation " << rotation << " flips " << flips);
            const Orientation view {rotation, (flips & 1) != 0, (flips & 2) != 0};
            DecodeRequest request;
            request.path = path;
            request.rotation = rotation;
            request.flipHorizontally = view.flipHorizontally;
            request.flipVertically = view.flipVertically;
            request.picture.autoOrient = true;
            CJpegDecoder decoder;
            ASSERT_TRUE(decoder.OpenForDisplay(request));
            ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
            ExpectPlaced(decoder.DisplayImage(), ref, tag, view);
            // Without the option the same file shows as stored.
            request.picture.autoOrient = false;
            CJpegDecoder plain;
            ASSERT_TRUE(plain.OpenForDisplay(request));
            ASSERT_TRUE(plain.Decode(nullptr, nullptr));
            ExpectPlaced(plain.DisplayImage(), ref, 1, view);
        }
}

TEST_P(OrientedDecode, ThumbnailIsUpright)
{
    const int tag = GetParam();
    TempDir dir;
    const auto bytes = WithOrientation(Pattern(kWidth, kHeight), tag, exifbuilder::Order::Big);
    const std::string path = dir.Write("t.jpg", bytes);
    const jpegwriter::RawImage ref = jpegwriter::DecodeReference(bytes);
    CJpegDecoder decoder;
    // At the photo's own size the thumbnail takes every pixel.
    ASSERT_TRUE(decoder.MakeThumbnail(path, kWidth, false, nullptr, {true, false}));
    PixelLocker lock(decoder.Thumbnail());
    ExpectPlaced(decoder.Thumbnail(), ref, tag, {});
}

INSTANTIATE_TEST_SUITE_P(Tags, OrientedDecode, testing::Range(1, 9));

TEST(ExifOrientation, FilesWithoutAUsableTagShowAsStored)
{
    TempDir dir;
    const jpegwriter::RawImage image = Pattern(kWidth, kHeight);
    for (int tag : {-1, 0, 9}) {
        const auto bytes = WithOrientation(image, tag, exifbuilder::Order::Big);
        const std::string path = dir.Write("n.jpg", bytes);
        DecodeRequest request;
        request.path = path;
        request.rotation = 1;
        request.picture.autoOrient = true;
        CJpegDecoder decoder;
        ASSERT_TRUE(decoder.OpenForDisplay(request));
        ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
        ExpectPlaced(decoder.DisplayImage(), jpegwriter::DecodeReference(bytes), 1, {1, false, false});
    }
}
