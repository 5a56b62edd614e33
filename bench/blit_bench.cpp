// A full repaint of a 1920 x 1080 view through the display bitmap, for each
// screen format: 32 bits without gamma (the image itself, no conversion),
// 32 bits with gamma and the other formats through 256 x 256 strips.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include "decode/image_bitmap.h"
#include "display/display_bitmap.h"
#include "tools/jpeg_writer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

CImageBitmap& Picture()
{
    static CImageBitmap image;
    if (image.IsNull()) {
        const jpegwriter::RawImage raw = jpegwriter::MakePhotoLike(kWidth, kHeight);
        image.Create(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* s = raw.Row(y);
            uint32_t* d = image.Row(y);
            for (int x = 0; x < kWidth; ++x, s += 3)
                d[x] = 0xFF000000u | uint32_t(s[0]) << 16 | uint32_t(s[1]) << 8 | s[2];
        }
    }
    return image;
}

void FullRepaint(benchmark::State& state, int format, bool gamma, bool dither)
{
    CImageBitmap& image = Picture();
    CDisplayBitmap display;
    if (!display.CreateFormat(format, 256, 256, dither)) {
        state.SkipWithError("cannot create the display bitmap");
        return;
    }
    QImage window(kWidth, kHeight, QImage::Format_RGB32);
    BlitParams p;
    p.sourceWidth = kWidth;
    p.sourceHeight = kHeight;
    p.gammaOn = gamma;
    p.gammaTable = pixelconv::MakeGammaTable(0.8);
    for (auto _ : state) {
        QPainter painter(&window);
        if (!display.Blit(painter, image, p))
            state.SkipWithError("Blit failed");
        painter.end();
        benchmark::DoNotOptimize(window.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

}  // namespace

BENCHMARK_CAPTURE(FullRepaint, format4_direct, 4, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullRepaint, format4_gamma, 4, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullRepaint, format3_dither, 3, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullRepaint, format2_dither, 2, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullRepaint, format1_dither, 1, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullRepaint, format1_plain, 1, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullRepaint, format0, 0, false, false)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
