// The PNG encoder's bands, deflated on threads of their own and joined into
// one stream, against Qt's reader; and the clipboard data's encoding thread
// stopped early.

#include <gtest/gtest.h>

#include <QImage>

#include "export/clipboard_image_data.h"
#include "export/png_encoder.h"

namespace {

// Noise: it does not compress, so a large image needs several IDAT chunks.
QImage Noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
            v = (v ^ v >> 15) * 0x5bd1e995u;
            image.setPixel(x, y, qRgb(int(v >> 8), int(v >> 16), int(v >> 24)));
        }
    return image;
}

}  // namespace

TEST(PngEncoder, DecodesToTheSamePixelsWhateverTheBands)
{
    const struct {
        int width, height, threads;
    } cases[] = {
        {1, 1, 0},                      // one band, however many cores
        {1, 9, 4},                      // bands of two and three rows
        {77, 3, 8},                     // more threads than rows: one row each
        {640, 480, 3},                  // bands that do not divide the rows evenly
        {640, 480, 8}, {1500, 700, 5},  // more than one IDAT chunk
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.threads << " threads");
        const QImage image = Noise(c.width, c.height);
        QImage back;
        ASSERT_TRUE(back.loadFromData(EncodePngFast(image, nullptr, c.threads), "PNG"));
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image);
    }
    EXPECT_TRUE(EncodePngFast(QImage()).isEmpty());
}

// Replaced while the PNG is still being encoded: the encode stops and
// nothing is left running.
TEST(PngEncoder, DestroyWhileEncoding)
{
    QImage big(4000, 3000, QImage::Format_RGB32);
    big.fill(qRgb(10, 200, 30));
    for (int i = 0; i < 3; ++i)
        delete new CClipboardImageData(big, QByteArray("BM"));
    const std::atomic<bool> cancel {true};
    EXPECT_TRUE(EncodePngFast(big, &cancel, 4).isEmpty());
}
