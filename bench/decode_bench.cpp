// Decoder speed on a 24-megapixel photograph-like JPEG (6000 x 4000) that the
// benchmark writes to a temporary folder: file information, thumbnails by
// reduced decode and from Exif, and display decodes.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include <QTemporaryDir>

#include "decode/jpeg_decoder.h"
#include "tools/exif_builder.h"
#include "tools/jpeg_writer.h"

namespace {

struct Files {
    QTemporaryDir dir;
    std::string plain;
    std::string withExif;
    Files()
    {
        const auto photo = jpegwriter::MakePhotoLike(6000, 4000);
        plain = dir.path().toStdString() + "/photo.jpg";
        jpegwriter::WriteFile(plain, jpegwriter::Encode(photo));
        exifbuilder::Builder exif(exifbuilder::Order::Little);
        exif.Ascii(exifbuilder::Ifd0, 271, "Maker")
            .Thumbnail(jpegwriter::Encode(jpegwriter::MakePhotoLike(160, 120)));
        jpegwriter::EncodeOptions options;
        options.app1.push_back(exif.Build());
        withExif = dir.path().toStdString() + "/exif.jpg";
        jpegwriter::WriteFile(withExif, jpegwriter::Encode(photo, options));
    }
};

const Files& TestFiles()
{
    static const Files files;
    return files;
}

void BM_ReadInfo(benchmark::State& state)
{
    const std::string& path = TestFiles().withExif;
    for (auto _ : state) {
        CJpegDecoder decoder;
        benchmark::DoNotOptimize(decoder.ReadInfo(path).imageWidth);
    }
}
BENCHMARK(BM_ReadInfo)->Unit(benchmark::kMicrosecond);

void BM_Thumbnail(benchmark::State& state)
{
    const std::string& path = TestFiles().plain;
    for (auto _ : state) {
        CJpegDecoder decoder;
        if (!decoder.MakeThumbnail(path, int(state.range(0)), false, nullptr))
            state.SkipWithError("thumbnail failed");
    }
}
BENCHMARK(BM_Thumbnail)->Arg(80)->Arg(120)->Unit(benchmark::kMillisecond);

void BM_ThumbnailExif(benchmark::State& state)
{
    const std::string& path = TestFiles().withExif;
    for (auto _ : state) {
        CJpegDecoder decoder;
        if (!decoder.MakeThumbnail(path, int(state.range(0)), true, nullptr))
            state.SkipWithError("thumbnail failed");
    }
}
BENCHMARK(BM_ThumbnailExif)->Arg(80)->Arg(120)->Unit(benchmark::kMillisecond);

// Arguments: target width, target height, high quality, rotation.
void BM_Display(benchmark::State& state)
{
    DecodeRequest request;
    request.path = TestFiles().plain;
    request.targetWidth = int(state.range(0));
    request.targetHeight = int(state.range(1));
    request.highQuality = state.range(2) != 0;
    request.rotation = int(state.range(3));
    for (auto _ : state) {
        CJpegDecoder decoder;
        if (!decoder.OpenForDisplay(request) || !decoder.Decode(nullptr, nullptr))
            state.SkipWithError("decode failed");
    }
}
BENCHMARK(BM_Display)
    ->ArgNames({"w", "h", "hq", "rot"})
    ->Args({1920, 1080, 0, 0})
    ->Args({1920, 1080, 1, 0})
    ->Args({1920, 1080, 0, 1})
    ->Args({0, 0, 0, 0})
    ->Args({0, 0, 0, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

// decode_bench --write-photo PATH [WIDTH HEIGHT [SEED]] writes the
// benchmark's photograph (6000 x 4000 unless told; without Exif) for
// whole-process comparisons (scripts/bench-cli.sh, scripts/bench-window.sh);
// otherwise the usual benchmark arguments.
int main(int argc, char** argv)
{
    if (argc >= 3 && argc <= 6 && argc != 4 && std::string(argv[1]) == "--write-photo") {
        const int width = argc >= 5 ? std::atoi(argv[3]) : 6000;
        const int height = argc >= 5 ? std::atoi(argv[4]) : 4000;
        const uint32_t seed = argc == 6 ? uint32_t(std::strtoul(argv[5], nullptr, 10)) : 1;
        const auto photo = jpegwriter::MakePhotoLike(width, height, seed);
        return photo.width > 0 && jpegwriter::WriteFile(argv[2], jpegwriter::Encode(photo)) ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
