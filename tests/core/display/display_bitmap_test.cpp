#include "display/display_bitmap.h"

#include <climits>

#include <QPainter>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "decode/image_bitmap.h"
#include "decode/jpeg_decoder.h"
#include "display/dither_tables.h"
#include "tools/jpeg_writer.h"

using namespace pixelconv;

namespace {

constexpr QRgb kSentinel = 0xFF123456;

// Pixel (x, y): blue 5x, green 7y, red (x * y) & 255, so neighbours differ.
void FillPattern(CImageBitmap& image, int width, int height)
{
    ASSERT_TRUE(image.Create(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.Row(y)[x] = 0xFF000000u | uint32_t((x * y) & 255) << 16 | uint32_t((7 * y) & 255) << 8
                | uint32_t((5 * x) & 255);
}

QRgb SourceRgb(const CImageBitmap& image, int x, int y)
{
    return image.Row(y)[x] | 0xFF000000u;
}

QImage Render(CDisplayBitmap& display, CImageBitmap& image, const BlitParams& params, QSize size,
              bool* ok = nullptr)
{
    QImage out(size, QImage::Format_RGB32);
    out.fill(kSentinel);
    QPainter painter(&out);
    const bool result = display.Blit(painter, image, params);
    painter.end();
    if (ok)
        *ok = result;
    return out;
}

BlitParams WholeImage(const CImageBitmap& image, int factor = 1, bool reduce = false)
{
    BlitParams p;
    p.factor = factor;
    p.reduce = reduce;
    p.sourceWidth = image.Width();
    p.sourceHeight = image.Height();
    return p;
}

TEST(DisplayBitmap, ScreenDepthChoosesTheFormat)
{
    struct Row {
        int depth;
        int format;
        QImage::Format strip;
    };
    const Row rows[] = {
        {32, kFormat32, QImage::Format_RGB32},  {24, kFormat32, QImage::Format_RGB32},
        {16, kFormat565, QImage::Format_RGB16}, {15, kFormat555, QImage::Format_RGB555},
        {8, kFormat8, QImage::Format_Indexed8}, {30, kFormat24, QImage::Format_BGR888},
        {4, kFormat24, QImage::Format_BGR888},  {1, kFormat24, QImage::Format_BGR888},
        {0, kFormat24, QImage::Format_BGR888},
    };
    for (const Row& r : rows) {
        CDisplayBitmap display;
        ASSERT_TRUE(display.Create(r.depth, 64, 32, true)) << r.depth;
        EXPECT_EQ(display.PixelFormat(), r.format) << r.depth;
        EXPECT_EQ(display.Strip().format(), r.strip) << r.depth;
        EXPECT_EQ(display.Strip().size(), QSize(64, 32));
        EXPECT_EQ(display.Palette().size(), r.format == kFormat8 ? 233 : 0) << r.depth;
    }
    CDisplayBitmap eight;
    ASSERT_TRUE(eight.CreateFormat(kFormat8));
    EXPECT_EQ(eight.Strip().colorTable(), eight.Palette());
    EXPECT_EQ(eight.Palette()[180], qRgb(255, 0, 0));
    EXPECT_EQ(eight.Palette()[232], qRgb(255, 255, 255));
}

TEST(DisplayBitmap, CreateRefusesBadArgumentsAndEndsEmpty)
{
    const int rows[][3]
        = {{5, 256, 256}, {-1, 256, 256}, {4, 0, 256}, {4, 256, -3}, {1, 5000, 16}, {0, 16, INT_MAX}};
    for (const auto& r : rows) {
        CDisplayBitmap display;
        ASSERT_TRUE(display.CreateFormat(kFormat24, 16, 16));
        EXPECT_FALSE(display.CreateFormat(r[0], r[1], r[2])) << r[0] << " " << r[1] << "x" << r[2];
        EXPECT_FALSE(display.IsCreated());
        EXPECT_EQ(display.PixelFormat(), -1);
    }
}

TEST(DisplayBitmap, BlitRefusesWhatItCannotDraw)
{
    CImageBitmap image;
    FillPattern(image, 8, 8);
    CImageBitmap empty;
    CDisplayBitmap none;
    bool ok = true;
    Render(none, image, WholeImage(image), QSize(8, 8), &ok);
    EXPECT_FALSE(ok) << "instance without a strip";

    for (int format : {kFormat24, kFormat32}) {
        CDisplayBitmap display;
        ASSERT_TRUE(display.CreateFormat(format, 16, 16));
        Render(display, empty, WholeImage(image), QSize(8, 8), &ok);
        EXPECT_FALSE(ok) << "image without pixels";
        Render(display, image, WholeImage(image, 0), QSize(8, 8), &ok);
        EXPECT_FALSE(ok) << "factor 0";
        QPainter inactive;
        EXPECT_FALSE(display.Blit(inactive, image, WholeImage(image)));
    }
    // One enlarged pixel larger than the strip cannot be converted.
    CDisplayBitmap small;
    ASSERT_TRUE(small.CreateFormat(kFormat24, 16, 16));
    Render(small, image, WholeImage(image, 20), QSize(8, 8), &ok);
    EXPECT_FALSE(ok);
}

TEST(DisplayBitmap, ThirtyTwoBitsWithoutGammaDrawsTheImageItself)
{
    CImageBitmap image;
    FillPattern(image, 30, 20);
    CDisplayBitmap display;
    ASSERT_TRUE(display.CreateFormat(kFormat32, 16, 16));
    const QImage freshStrip = display.Strip().copy();
    for (int factor : {1, 2, 3}) {
        BlitParams p = WholeImage(image, factor);
        p.destX = 3;
        p.destY = 2;
        const QImage out = Render(display, image, p, QSize(100, 70));
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const int ix = x - 3, iy = y - 2;
                const bool inside = ix >= 0 && iy >= 0 && ix < 30 * factor && iy < 20 * factor;
                ASSERT_EQ(out.pixel(x, y), inside ? SourceRgb(image, ix / factor, iy / factor) : kSentinel)
                    << "factor " << factor << " at " << x << "," << y;
            }
    }
    for (int factor : {2, 3, 4, 7, 10}) {
        BlitParams p = WholeImage(image, factor, true);
        p.sourceX = 1;
        p.sourceWidth = 29;
        const QImage out = Render(display, image, p, QSize(40, 40));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x < 28 / factor && y < 20 / factor;
                ASSERT_EQ(out.pixel(x, y), inside ? SourceRgb(image, 1 + x * factor, y * factor) : kSentinel)
                    << "reduced by " << factor << " at " << x << "," << y;
            }
    }
    EXPECT_EQ(display.Strip(), freshStrip) << "the fast path converts nothing";
}

TEST(DisplayBitmap, GammaOnThirtyTwoBitsGoesThroughTheStrip)
{
    CImageBitmap image;
    FillPattern(image, 40, 24);
    CDisplayBitmap display;
    ASSERT_TRUE(display.CreateFormat(kFormat32, 16, 16));
    const QImage freshStrip = display.Strip().copy();
    BlitParams p = WholeImage(image);
    p.gammaOn = true;
    p.gammaTable = MakeGammaTable(0.5);
    const QImage out = Render(display, image, p, QSize(40, 24));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            const QRgb s = SourceRgb(image, x, y);
            ASSERT_EQ(out.pixel(x, y),
                      qRgb(p.gammaTable[qRed(s)], p.gammaTable[qGreen(s)], p.gammaTable[qBlue(s)]))
                << x << "," << y;
        }
    EXPECT_NE(display.Strip(), freshStrip);
}

// Drawing through a strip smaller than the picture must give exactly what
// one large strip gives: tiles join edge to edge and the dither pattern runs
// on across them.
TEST(DisplayBitmap, TilesJoinWithoutGaps)
{
    CImageBitmap image;
    FillPattern(image, 50, 37);
    struct Zoom {
        int factor;
        bool reduce;
    };
    const Zoom zooms[] = {{1, false}, {3, false}, {2, true}, {3, true}};
    for (int format = 0; format < kFormatCount; ++format)
        for (const Zoom& z : zooms) {
            CDisplayBitmap small, large;
            ASSERT_TRUE(small.CreateFormat(format, 16, 16, true));
            ASSERT_TRUE(large.CreateFormat(format, 1024, 1024, true));
            BlitParams p = WholeImage(image, z.factor, z.reduce);
            p.destX = 5;
            p.destY = 4;
            p.ditherOffsetX = 3;
            p.ditherOffsetY = 1;
            p.gammaOn = format == kFormat32;  // keeps 32 bits on the strip path
            p.gammaTable = MakeGammaTable(1.0);
            const QSize size(170, 120);
            bool ok = false;
            const QImage tiled = Render(small, image, p, size, &ok);
            ASSERT_TRUE(ok);
            const QImage whole = Render(large, image, p, size);
            EXPECT_EQ(tiled, whole) << "format " << format << " factor " << z.factor << " reduce "
                                    << z.reduce;
            const int w = ZoomedExtent(50, z.factor, z.reduce), h = ZoomedExtent(37, z.factor, z.reduce);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x) {
                    const bool inside = x >= 5 && y >= 4 && x < 5 + w && y < 4 + h;
                    ASSERT_EQ(tiled.pixel(x, y) == kSentinel, !inside)
                        << "format " << format << " factor " << z.factor << " at " << x << "," << y;
                }
        }
}

TEST(DisplayBitmap, EightBitsDrawsPaletteColoursInTheDitherPattern)
{
    CImageBitmap image;
    ASSERT_TRUE(image.Create(12, 9));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            image.Row(y)[x] = x < 6 ? 0x080808u : 0xFF0000u;
    for (bool dither : {false, true}) {
        CDisplayBitmap display;
        ASSERT_TRUE(display.CreateFormat(kFormat8, 8, 8, dither));
        BlitParams p = WholeImage(image);
        p.destX = 2;
        p.destY = 1;
        p.ditherOffsetX = 7;
        p.ditherOffsetY = 6;
        const QImage out = Render(display, image, p, QSize(14, 10));
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) {
                const int index = x < 6 ? PaletteIndex(8, 8, 8, dither, x + 9, y + 7) : 180;
                ASSERT_EQ(out.pixel(x + 2, y + 1), display.Palette()[index])
                    << dither << " at " << x << "," << y;
            }
    }
}

TEST(DisplayBitmap, DitherPatternStaysWithTheImageWhileScrolling)
{
    CImageBitmap image;
    FillPattern(image, 40, 40);
    for (int format : {kFormat8, kFormat555, kFormat565}) {
        CDisplayBitmap display;
        ASSERT_TRUE(display.CreateFormat(format, 16, 16, true));
        const QImage whole = Render(display, image, WholeImage(image), QSize(40, 40));
        BlitParams scrolled = WholeImage(image);
        scrolled.sourceX = 5;
        scrolled.sourceY = 7;
        scrolled.ditherOffsetX = 5;
        scrolled.ditherOffsetY = 7;
        const QImage part = Render(display, image, scrolled, QSize(35, 33));
        EXPECT_EQ(part, whole.copy(5, 7, 35, 33)) << "format " << format;
    }
}

TEST(DisplayBitmap, SourceRectangleIsClippedToTheImage)
{
    CImageBitmap image;
    FillPattern(image, 8, 8);
    struct Row {
        const char* what;
        int sx, sy, sw, sh, factor;
        bool reduce;
        QRect drawn;  // where the image appears, empty when nowhere
    };
    const Row rows[] = {
        {"left and top cut", -4, -4, 20, 20, 1, false, QRect(14, 14, 8, 8)},
        {"left and top cut, enlarged", -4, -4, 20, 20, 2, false, QRect(18, 18, 16, 16)},
        {"left and top cut, reduced", -3, -3, 20, 20, 2, true, QRect(12, 12, 3, 3)},
        {"right part only", 6, 0, 100, 8, 1, false, QRect(10, 10, 2, 8)},
        {"entirely outside", 20, 20, 5, 5, 1, false, QRect()},
        {"huge rectangle", INT_MIN, INT_MIN, INT_MAX, INT_MAX, 1, false, QRect()},
        {"huge size", 0, 0, INT_MAX, INT_MAX, 3, false, QRect(10, 10, 24, 24)},
        {"huge reduce", 0, 0, 8, 8, INT_MAX, true, QRect()},
    };
    for (int format : {kFormat24, kFormat32}) {
        CDisplayBitmap display;
        ASSERT_TRUE(display.CreateFormat(format, 16, 16, false));
        for (const Row& r : rows) {
            BlitParams p;
            p.sourceX = r.sx;
            p.sourceY = r.sy;
            p.sourceWidth = r.sw;
            p.sourceHeight = r.sh;
            p.factor = r.factor;
            p.reduce = r.reduce;
            p.destX = p.destY = 10;
            bool ok = false;
            const QImage out = Render(display, image, p, QSize(50, 50), &ok);
            EXPECT_TRUE(ok) << r.what;
            for (int y = 0; y < 50; ++y)
                for (int x = 0; x < 50; ++x)
                    ASSERT_EQ(out.pixel(x, y) != kSentinel, r.drawn.contains(x, y))
                        << r.what << " format " << format << " at " << x << "," << y;
        }
    }
}

// The decoder's pixels reach the screen unchanged on both 32-bit paths and
// as their own bytes in 24 bits.
TEST(DisplayBitmap, DecodedImageDrawsAsTheLibraryDecodesIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("photo.jpg").toStdString();
    const std::vector<uint8_t> jpeg = jpegwriter::Encode(jpegwriter::MakePhotoLike(300, 200));
    ASSERT_TRUE(jpegwriter::WriteFile(path, jpeg));
    const jpegwriter::RawImage reference = jpegwriter::DecodeReference(jpeg);
    CJpegDecoder decoder;
    DecodeRequest request;
    request.path = path;
    ASSERT_TRUE(decoder.OpenForDisplay(request));
    ASSERT_TRUE(decoder.Decode(nullptr, nullptr));
    CImageBitmap& image = decoder.DisplayImage();
    ASSERT_EQ(image.Width(), 300);
    ASSERT_EQ(image.Height(), 200);

    for (int format : {kFormat32, kFormat24}) {
        for (bool gammaOn : {false, true}) {
            CDisplayBitmap display;
            ASSERT_TRUE(display.CreateFormat(format));
            BlitParams p = WholeImage(image);
            p.gammaOn = gammaOn;
            p.gammaTable = MakeGammaTable(1.0);
            const QImage out = Render(display, image, p, QSize(300, 200));
            for (int y = 0; y < 200; ++y)
                for (int x = 0; x < 300; ++x) {
                    const uint8_t* rgb = reference.Row(y) + 3 * x;
                    ASSERT_EQ(out.pixel(x, y), qRgb(rgb[0], rgb[1], rgb[2]))
                        << "format " << format << " gamma " << gammaOn << " at " << x << "," << y;
                }
        }
    }
}

}  // namespace
