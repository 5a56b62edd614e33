// CJpegDecoder on real files: exact pixels against the library's own output,
// rotation and flips, the file information, thumbnails and cancel.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <thread>

#include "decode/bitmap_export.h"
#include "decode/jpeg_decoder.h"
#include "decode/sync_event.h"
#include "tests/core/decode/decode_test_util.h"
#include "tools/exif_builder.h"

using namespace decodetest;

namespace {

struct Variant {
    const char* name;
    int components;
    bool progressive;
    bool subsample;
};

void PrintTo(const Variant& v, std::ostream* out)
{
    *out << v.name;
}

class OwnSize : public testing::TestWithParam<Variant> {};

TEST_P(OwnSize, IsTheLibrarysOutputPixelForPixel)
{
    const Variant& v = GetParam();
    TempDir dir;
    jpegwriter::EncodeOptions options;
    options.progressive = v.progressive;
    options.subsample = v.subsample;
    const auto jpeg = jpegwriter::Encode(Pattern(61, 37, v.components), options);
    const auto ref = jpegwriter::DecodeReference(jpeg);
    const std::string path = dir.Write("a.jpg", jpeg);
    for (bool slowPath : {false, true}) {
        CJpegDecoder decoder;
        DecodeRequest request;
        request.path = path;
        request.rotation = slowPath ? 2 : 0;  // 2 with both flips is the identity by another road
        request.flipHorizontally = request.flipVertically = slowPath;
        ASSERT_TRUE(decoder.OpenForDisplay(request));
        EXPECT_FALSE(decoder.Reduces());
        ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
        CImageBitmap& image = decoder.DisplayImage();
        ASSERT_EQ(image.Width(), 61);
        ASSERT_EQ(image.Height(), 37);
        for (int y = 0; y < 37; ++y)
            for (int x = 0; x < 61; ++x)
                ASSERT_EQ(Rgb(image.Row(y)[x]), Rgb(RefPixel(ref, x, y))) << x << "," << y;
        EXPECT_EQ(image.GetDirtyRect(), (DirtyRect {0, 0, 61, 37}));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, OwnSize,
                         testing::Values(Variant {"baseline420", 3, false, true},
                                         Variant {"baseline444", 3, false, false},
                                         Variant {"progressive", 3, true, true},
                                         Variant {"gray", 1, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every rotation and flip of a fitted (reduced or enlarged) decode is the
// unrotated decode with its pixels moved, exactly.
struct Orientation {
    int targetWidth, targetHeight;
    bool highQuality, interpolate;
};

void PrintTo(const Orientation& o, std::ostream* out)
{
    *out << o.targetWidth << "x" << o.targetHeight << (o.highQuality ? " hq" : "")
         << (o.interpolate ? " interp" : "");
}

class Orientations : public testing::TestWithParam<Orientation> {};

TEST_P(Orientations, MovePixelsExactly)
{
    const Orientation& o = GetParam();
    TempDir dir;
    const std::string path = dir.Write("a.jpg", jpegwriter::Encode(Pattern(48, 32)));
    auto decode = [&](int rotation, bool flipH, bool flipV, CJpegDecoder& decoder) {
        DecodeRequest request {path,
                               (rotation & 1) ? o.targetHeight : o.targetWidth,
                               (rotation & 1) ? o.targetWidth : o.targetHeight,
                               rotation,
                               flipH,
                               flipV,
                               o.highQuality,
                               o.interpolate};
        ASSERT_TRUE(decoder.OpenForDisplay(request));
        ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
    };
    CJpegDecoder plain;
    decode(0, false, false, plain);
    CImageBitmap& base = plain.DisplayImage();
    const int w = base.Width(), h = base.Height();
    for (int rotation = 0; rotation < 4; ++rotation)
        for (int flips = 0; flips < 4; ++flips) {
            CJpegDecoder turned;
            decode(rotation, flips & 1, flips & 2, turned);
            CImageBitmap& image = turned.DisplayImage();
            ASSERT_EQ(image.Width(), (rotation & 1) ? h : w);
            ASSERT_EQ(image.Height(), (rotation & 1) ? w : h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    int dx, dy;
                    MapPixel(w, h, rotation, flips & 1, flips & 2, x, y, dx, dy);
                    ASSERT_EQ(Rgb(image.Row(dy)[dx]), Rgb(base.Row(y)[x]))
                        << "rotation " << rotation << " flips " << flips << " at " << x << "," << y;
                }
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, Orientations,
                         testing::Values(Orientation {0, 0, false, false}, Orientation {20, 0, false, false},
                                         Orientation {20, 0, true, false}, Orientation {0, 70, false, false},
                                         Orientation {0, 70, false, true}));

TEST(DisplayDecode, RotationCornersOfALargeImage)
{
    TempDir dir;
    const auto jpeg = jpegwriter::Encode(Pattern(1600, 1200));
    const auto ref = jpegwriter::DecodeReference(jpeg);
    const std::string path = dir.Write("big.jpg", jpeg);
    CJpegDecoder decoder;
    ASSERT_TRUE(decoder.OpenForDisplay({path, 0, 0, 1}));
    EXPECT_FALSE(decoder.Reduces());
    ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
    CImageBitmap& image = decoder.DisplayImage();
    ASSERT_EQ(image.Width(), 1200);
    ASSERT_EQ(image.Height(), 1600);
    EXPECT_EQ(Rgb(image.Row(0)[1199]), Rgb(RefPixel(ref, 0, 0)));
    EXPECT_EQ(Rgb(image.Row(1599)[0]), Rgb(RefPixel(ref, 1599, 1199)));
}

TEST(DisplayDecode, FittedSizesAndReduceFlag)
{
    TempDir dir;
    const std::string path = dir.Write("a.jpg", jpegwriter::Encode(Pattern(160, 120)));
    struct Case {
        DecodeRequest request;
        int w, h;
        bool reduces;
    } cases[] = {
        {{path, 64, 0}, 64, 48, true},      {{path, 0, 48}, 64, 48, true},
        {{path, 64, 64, 1}, 48, 64, true},  {{path, 1000, 1000}, 1000, 750, false},
        {{path, 0, 0, 3}, 120, 160, false},
    };
    for (const Case& c : cases) {
        CJpegDecoder decoder;
        ASSERT_TRUE(decoder.OpenForDisplay(c.request));
        EXPECT_EQ(decoder.DisplayImage().Width(), c.w);
        EXPECT_EQ(decoder.DisplayImage().Height(), c.h);
        EXPECT_EQ(decoder.Reduces(), c.reduces);
        EXPECT_EQ(Rgb(decoder.DisplayImage().Row(c.h - 1)[c.w - 1]), 0u);  // black until decoded
        EXPECT_TRUE(decoder.DisplayImage().GetDirtyRect().IsEmpty());
        ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
        EXPECT_EQ(decoder.DisplayImage().GetDirtyRect(), (DirtyRect {0, 0, c.w, c.h}));
        EXPECT_FALSE(decoder.Decode(nullptr, nullptr));  // closed after the decode
    }
}

TEST(DisplayDecode, DecodeWithoutOpenChangesNothing)
{
    CJpegDecoder decoder;
    EXPECT_FALSE(decoder.Decode(nullptr, nullptr));
    EXPECT_TRUE(decoder.DisplayImage().IsNull());
}

// Stops from the progress object after row 9 by signalling cancel.
struct CancelAt : IDecodeProgress {
    CEvent* cancel;
    int row;
    int calls = 0;
    CancelAt(CEvent* c, int r) : cancel(c), row(r) {}
    bool Progress(int, int j) override
    {
        ++calls;
        if (j == row)
            cancel->Set();
        return true;
    }
};

TEST(DisplayDecode, CancelKeepsTheUpperPartAndBlackBelow)
{
    TempDir dir;
    const auto jpeg = jpegwriter::Encode(Pattern(64, 40));
    const auto ref = jpegwriter::DecodeReference(jpeg);
    const std::string path = dir.Write("a.jpg", jpeg);
    for (int targetWidth : {0, 128}) {  // the direct road and the enlarging one
        CJpegDecoder decoder;
        CEvent cancel;
        CancelAt progress(&cancel, 9);
        ASSERT_TRUE(decoder.OpenForDisplay({path, targetWidth, 0}));
        EXPECT_FALSE(decoder.Decode(&cancel, &progress));
        EXPECT_EQ(progress.calls, 10);
        CImageBitmap& image = decoder.DisplayImage();
        const int scale = image.Width() / 64;
        EXPECT_EQ(Rgb(image.Row(0)[0]), Rgb(RefPixel(ref, 0, 0)));
        EXPECT_EQ(Rgb(image.Row(10 * scale - 1)[0]), Rgb(RefPixel(ref, 0, 9)));
        for (int y = 10 * scale; y < image.Height(); ++y)
            ASSERT_EQ(Rgb(image.Row(y)[5]), 0u) << y;
        EXPECT_EQ(image.GetDirtyRect(), (DirtyRect {0, 0, image.Width(), 10 * scale}));
    }
}

// A progressive file is absorbed scan by scan while it opens, before any
// row exists; a signalled cancel ends that loop too.
TEST(DisplayDecode, CancelStopsTheOpeningOfAProgressiveFile)
{
    TempDir dir;
    jpegwriter::EncodeOptions options;
    options.progressive = true;
    const std::string path = dir.Write("p.jpg", jpegwriter::Encode(Pattern(64, 48), options));
    CEvent cancel(CEvent::Reset::Manual, true);
    CJpegDecoder decoder;
    std::string error;
    EXPECT_FALSE(decoder.OpenForDisplay({path}, &cancel, &error));
    EXPECT_EQ(error, "cancelled");
    EXPECT_TRUE(decoder.DisplayImage().IsNull());
    error.clear();
    EXPECT_FALSE(decoder.MakeThumbnail(path, 40, false, &cancel, {}, &error));
    EXPECT_EQ(error, "cancelled");
    cancel.Reset();
    ASSERT_TRUE(decoder.OpenForDisplay({path}, &cancel));
    EXPECT_TRUE(decoder.Decode(&cancel, nullptr));
}

TEST(DisplayDecode, CancelledFromAnotherThreadThenDestroyed)
{
    TempDir dir;
    const std::string path = dir.Write("a.jpg", jpegwriter::Encode(Pattern(800, 600)));
    CEvent started, cancelled, cancel;
    // The first row waits until the other thread has cancelled, so the
    // decode cannot finish first however the threads are scheduled.
    struct Signal : IDecodeProgress {
        CEvent* started;
        CEvent* cancelled;
        bool Progress(int, int) override
        {
            started->Set();
            cancelled->Wait();
            return true;
        }
    } progress;
    progress.started = &started;
    progress.cancelled = &cancelled;
    bool result = true;
    {
        auto decoder = std::make_unique<CJpegDecoder>();
        ASSERT_TRUE(decoder->OpenForDisplay({path, 400, 0, 1, true, false, true}));
        std::thread worker([&] { result = decoder->Decode(&cancel, &progress); });
        started.Wait();
        cancel.Set();
        cancelled.Set();
        worker.join();
        decoder.reset();
    }
    EXPECT_FALSE(result);
}

TEST(FileInfo, SizeTimesAttributesCommentsAndExif)
{
    TempDir dir;
    jpegwriter::EncodeOptions options;
    options.comments = {"first", "", std::string("cut\0off", 7)};
    exifbuilder::Builder exif(exifbuilder::Order::Little);
    exif.Ascii(exifbuilder::Ifd0, 271, "Maker");
    options.app1.push_back(exif.Build());
    const auto jpeg = jpegwriter::Encode(Pattern(30, 20, 1), options);
    const std::string path = dir.Write("a.jpg", jpeg);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);

    CJpegDecoder decoder;
    const ImageInfo& info = decoder.ReadInfo(path);
    EXPECT_EQ(info.fileSize, jpeg.size());
    EXPECT_EQ(info.fileSizeFull, int64_t(jpeg.size()));
    EXPECT_EQ(info.modified, st.st_mtime);
    EXPECT_GT(info.created, 0);
    EXPECT_EQ(info.attributes, 0);
    EXPECT_EQ(info.imageWidth, 30);
    EXPECT_EQ(info.imageHeight, 20);
    EXPECT_FALSE(info.color);
    EXPECT_EQ(info.comments, (std::vector<std::string> {"first", "", "cut"}));
    ASSERT_EQ(info.exif.Ifd0Dir().Count(), 1);

    // Read once: later calls return what is there.
    ::unlink(path.c_str());
    EXPECT_EQ(&decoder.ReadInfo(path), &info);
    EXPECT_EQ(info.imageWidth, 30);
}

TEST(FileInfo, ReadOnlyForThisUser)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser may write every file";
    TempDir dir;
    const std::string path = dir.Write("a.jpg", jpegwriter::Encode(Pattern(8, 8)));
    ::chmod(path.c_str(), 0444);
    CJpegDecoder decoder;
    EXPECT_EQ(decoder.ReadInfo(path).attributes, 0x01);
    EXPECT_TRUE(decoder.ReadInfo(path).color);
}

// The thumbnail takes nearest pixels of the library's own decode at the
// chosen scale. Odd sizes and every sampling make the sampled rows fall
// anywhere inside the library's row groups, where its row skipping once
// handed back stale or unwritten rows.
struct ThumbCase {
    const char* name;
    int width, height, components;
    bool progressive, subsample;
    int size, scale;  // thumbnail size and the scale it must decode at
};

void PrintTo(const ThumbCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReducedThumbnail : public testing::TestWithParam<ThumbCase> {};

TEST_P(ReducedThumbnail, SamplesTheScaledImage)
{
    const ThumbCase& c = GetParam();
    jpegwriter::EncodeOptions options;
    options.progressive = c.progressive;
    options.subsample = c.subsample;
    const auto jpeg = jpegwriter::Encode(c.components == 1 ? Pattern(c.width, c.height, 1)
                                                           : jpegwriter::MakePhotoLike(c.width, c.height),
                                         options);
    const auto ref = jpegwriter::DecodeReference(jpeg, c.scale);
    TempDir dir;
    const std::string path = dir.Write("a.jpg", jpeg);
    CJpegDecoder decoder;
    ASSERT_TRUE(decoder.MakeThumbnail(path, c.size, false, nullptr));
    CImageBitmap& thumb = decoder.Thumbnail();
    const int tw = thumb.Width(), th = thumb.Height();
    ASSERT_EQ(std::max(tw, th), c.size);
    const double step = double(ref.width) / tw;
    double sy = 0;
    for (int y = 0; y < th; ++y, sy += step) {
        double sx = 0;
        for (int x = 0; x < tw; ++x, sx += step)
            ASSERT_EQ(Rgb(thumb.Row(y)[x]), Rgb(RefPixel(ref, int(sx), int(sy)))) << x << "," << y;
    }
    EXPECT_EQ(decoder.ReadInfo(path).imageWidth, c.width);  // the information came on the way
}

INSTANTIATE_TEST_SUITE_P(Files, ReducedThumbnail,
                         testing::Values(ThumbCase {"photo420", 1200, 800, 3, false, true, 120, 8},
                                         ThumbCase {"photo444", 1203, 797, 3, false, false, 97, 8},
                                         ThumbCase {"progressive", 997, 1201, 3, true, true, 113, 8},
                                         ThumbCase {"quarter", 509, 333, 3, false, true, 101, 4},
                                         ThumbCase {"half", 251, 173, 3, false, true, 77, 2},
                                         ThumbCase {"gray", 643, 419, 1, false, true, 71, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

// The main image is blue, the embedded thumbnail red: the colour tells
// which one the thumbnail came from.
TEST(Thumbnail, ExifThumbnailUsedOnlyWhenSound)
{
    const auto red = jpegwriter::Encode(Solid(40, 30, 255, 0, 0));
    struct Case {
        const char* name;
        std::vector<uint8_t> app1;
        bool useExif;
        bool expectRed;
    };
    exifbuilder::Builder good(exifbuilder::Order::Big);
    good.Ascii(exifbuilder::Ifd0, 271, "Maker").Thumbnail(red);
    exifbuilder::Builder uncompressed(exifbuilder::Order::Little);
    uncompressed.Ascii(exifbuilder::Ifd0, 271, "Maker")
        .Short(exifbuilder::Ifd1, 259, {1})
        .Long(exifbuilder::Ifd1, 513, {8})
        .Long(exifbuilder::Ifd1, 514, {40});
    exifbuilder::Builder outside(exifbuilder::Order::Little);
    outside.Ascii(exifbuilder::Ifd0, 271, "Maker")
        .Short(exifbuilder::Ifd1, 259, {6})
        .Long(exifbuilder::Ifd1, 513, {8})
        .Long(exifbuilder::Ifd1, 514, {0xFFFFFFF0u});
    exifbuilder::Builder garbage(exifbuilder::Order::Little);
    garbage.Ascii(exifbuilder::Ifd0, 271, "Maker").Thumbnail(std::vector<uint8_t>(100, 0x55));
    const Case cases[] = {
        {"good", good.Build(), true, true},
        {"not allowed", good.Build(), false, false},
        {"uncompressed", uncompressed.Build(), true, false},
        {"beyond the data", outside.Build(), true, false},
        {"not a JPEG", garbage.Build(), true, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        jpegwriter::EncodeOptions options;
        options.app1 = {c.app1};
        const std::string path = dir.Write("a.jpg", jpegwriter::Encode(Solid(320, 240, 0, 0, 255), options));
        CJpegDecoder decoder;
        ASSERT_TRUE(decoder.MakeThumbnail(path, 40, c.useExif, nullptr)) << c.name;
        CImageBitmap& thumb = decoder.Thumbnail();
        ASSERT_EQ(thumb.Width(), 40) << c.name;
        EXPECT_EQ(thumb.Height(), 30) << c.name;
        const uint32_t p = thumb.Row(15)[20];
        EXPECT_EQ(((p >> 16) & 255) > 200, c.expectRed) << c.name;
        EXPECT_EQ((p & 255) > 200, !c.expectRed) << c.name;
    }
}

TEST(Thumbnail, CancelStopsTheReducedDecode)
{
    TempDir dir;
    const std::string path = dir.Write("a.jpg", jpegwriter::Encode(Pattern(64, 64)));
    CEvent cancel(CEvent::Reset::Manual, true);
    CJpegDecoder decoder;
    EXPECT_FALSE(decoder.MakeThumbnail(path, 80, false, &cancel));
    EXPECT_TRUE(decoder.Thumbnail().IsNull());
}

// Thin images: the short side of the thumbnail rounds to nothing and is
// kept at one pixel; the long side takes the size. Regression: a 16 x 65500
// photo crashed the thumbnail sampler.
TEST(Thumbnail, ExtremeAspectsKeepOnePixelAcross)
{
    struct Shape {
        int w, h;
    };
    const Shape shapes[] = {{1, 3000}, {3000, 1}, {16, 65500}, {65500, 16}};
    TempDir dir;
    for (const Shape& shape : shapes) {
        // The Exif thumbnail has the same shape, scaled down.
        const int tw = std::max(1, shape.w / 10), th = std::max(1, shape.h / 10);
        exifbuilder::Builder exif(exifbuilder::Order::Little);
        exif.Ascii(exifbuilder::Ifd0, 271, "Maker").Thumbnail(jpegwriter::Encode(Solid(tw, th, 255, 0, 0)));
        jpegwriter::EncodeOptions options;
        options.app1 = {exif.Build()};
        const std::string path
            = dir.Write("thin.jpg", jpegwriter::Encode(Solid(shape.w, shape.h, 0, 0, 255), options));
        for (int size : {80, 120}) {
            for (bool useExif : {false, true}) {
                CJpegDecoder decoder;
                ASSERT_TRUE(decoder.MakeThumbnail(path, size, useExif, nullptr))
                    << shape.w << "x" << shape.h << " size " << size << " exif " << useExif;
                const CImageBitmap& thumb = decoder.Thumbnail();
                EXPECT_EQ(std::max(thumb.Width(), thumb.Height()), size);
                EXPECT_EQ(std::min(thumb.Width(), thumb.Height()), 1);
            }
        }
    }
}

}  // namespace
