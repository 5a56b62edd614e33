// The packed DIB, BMP, PPM and PNG output of a bitmap.

#include <gtest/gtest.h>

#include <QImage>

#include "decode/bitmap_export.h"
#include "tests/core/decode/decode_test_util.h"

using namespace decodetest;

namespace {

// Pixel (x, y) = red x, green y, blue x + y.
void Fill(CImageBitmap& b, int w, int h)
{
    ASSERT_TRUE(b.Create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.Row(y)[x] = 0x7F000000u | uint32_t(x) << 16 | uint32_t(y) << 8 | uint32_t(x + y);
}

uint32_t Le32(const std::vector<uint8_t>& d, size_t at)
{
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24;
}

TEST(PackedDib, HeaderRowsBottomUpAndZeroPadding)
{
    for (int width : {3, 4}) {
        CImageBitmap b;
        Fill(b, width, 2);
        const std::vector<uint8_t> dib = MakePackedDib(b);
        ASSERT_EQ(dib.size(), 40u + 12 * 2);
        EXPECT_EQ(Le32(dib, 0), 40u);
        EXPECT_EQ(Le32(dib, 4), uint32_t(width));
        EXPECT_EQ(Le32(dib, 8), 2u);
        EXPECT_EQ(dib[12] | dib[13] << 8, 1);
        EXPECT_EQ(dib[14] | dib[15] << 8, 24);
        for (size_t i = 16; i < 40; ++i)
            EXPECT_EQ(dib[i], 0) << i;
        // The first stored row is the image's bottom row (y = 1): blue, green, red.
        const uint8_t* first = dib.data() + 40;
        EXPECT_EQ(first[0], 1);          // blue of (0, 1)
        EXPECT_EQ(first[1], 1);          // green
        EXPECT_EQ(first[2], 0);          // red
        EXPECT_EQ(first[3 * 2 + 2], 2);  // red of (2, 1)
        if (width == 3) {
            EXPECT_EQ((std::vector<uint8_t>(first + 9, first + 12)), (std::vector<uint8_t> {0, 0, 0}));
        }
        EXPECT_EQ(dib[40 + 12 + 1], 0);  // green of (0, 0) in the second stored row
    }
}

TEST(PackedDib, EmptyBitmapIsAHeaderOfZeroSize)
{
    CImageBitmap b;
    const std::vector<uint8_t> dib = MakePackedDib(b);
    ASSERT_EQ(dib.size(), 40u);
    EXPECT_EQ(Le32(dib, 4), 0u);
}

TEST(ImageFiles, EveryFormatRoundTrips)
{
    TempDir dir;
    CImageBitmap b;
    Fill(b, 5, 3);
    for (const char* name : {"a.ppm", "a.bmp", "a.PNG"}) {
        std::string error;
        const std::string path = dir.Path(name);
        ASSERT_TRUE(WriteImageFile(b, path, &error)) << error;
        const QImage image(QString::fromStdString(path));
        ASSERT_EQ(image.width(), 5) << name;
        ASSERT_EQ(image.height(), 3) << name;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(image.pixel(x, y) & 0xFFFFFFu, b.Row(y)[x] & 0xFFFFFFu) << name;
    }
    const auto bmp = jpegwriter::ReadFile(dir.Path("a.bmp"));
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    EXPECT_EQ(Le32(bmp, 10), 54u);
    const auto ppm = jpegwriter::ReadFile(dir.Path("a.ppm"));
    EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + 11), "P6\n5 3\n255\n");
}

TEST(ImageFiles, UnknownExtensionOrUnwritablePathLeavesNothing)
{
    TempDir dir;
    CImageBitmap b;
    Fill(b, 2, 2);
    std::string error;
    EXPECT_FALSE(WriteImageFile(b, dir.Path("a.gif"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WriteImageFile(b, dir.Path("missing/a.ppm"), &error));
    EXPECT_EQ(FormatOfPath("dir.png/file"), ImageFileFormat::Unknown);
}

TEST(ImageFiles, CopyIsIndependentOfTheBitmap)
{
    CImageBitmap b;
    Fill(b, 4, 4);
    const QImage copy = CopyBitmap(b);
    b.Clear();
    ASSERT_EQ(copy.format(), QImage::Format_RGB32);
    EXPECT_EQ(copy.pixel(3, 2) & 0xFFFFFFu, 0x030205u);
}

}  // namespace
