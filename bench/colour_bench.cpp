// What true colours cost on a 24-megapixel Display P3 photo (6000 x 4000,
// the profile embedded as a phone does): the display decode at the photo's
// own size and fitted to a 4K screen, and the thumbnail, each with the
// conversion and without; and the same photo with an sRGB profile, which
// must cost nothing extra.

#include <benchmark/benchmark.h>

#include <string>

#include <QTemporaryDir>

#include "decode/jpeg_decoder.h"
#include "tools/icc_profiles.h"
#include "tools/jpeg_writer.h"

namespace {

struct Files {
    QTemporaryDir dir;
    std::string p3;
    std::string srgb;
    Files()
    {
        const auto photo = jpegwriter::MakePhotoLike(6000, 4000);
        jpegwriter::EncodeOptions options;
        options.iccProfile = iccprofiles::DisplayP3();
        p3 = dir.path().toStdString() + "/p3.jpg";
        jpegwriter::WriteFile(p3, jpegwriter::Encode(photo, options));
        options.iccProfile = iccprofiles::Srgb();
        srgb = dir.path().toStdString() + "/srgb.jpg";
        jpegwriter::WriteFile(srgb, jpegwriter::Encode(photo, options));
    }
};

const Files& TestFiles()
{
    static const Files files;
    return files;
}

void Display(benchmark::State& state, const std::string& path, bool useProfile, int width, int height)
{
    DecodeRequest request;
    request.path = path;
    request.targetWidth = width;
    request.targetHeight = height;
    request.highQuality = true;
    request.picture.useColourProfile = useProfile;
    for (auto _ : state) {
        CJpegDecoder decoder;
        if (!decoder.OpenForDisplay(request) || !decoder.Decode(nullptr, nullptr))
            state.SkipWithError("decode failed");
    }
}

void BM_P3OwnSize(benchmark::State& state)
{
    Display(state, TestFiles().p3, state.range(0) != 0, 0, 0);
}
BENCHMARK(BM_P3OwnSize)->Arg(0)->Arg(1)->ArgName("profile")->Unit(benchmark::kMillisecond);

void BM_P3FittedTo4K(benchmark::State& state)
{
    Display(state, TestFiles().p3, state.range(0) != 0, 3840, 2160);
}
BENCHMARK(BM_P3FittedTo4K)->Arg(0)->Arg(1)->ArgName("profile")->Unit(benchmark::kMillisecond);

void BM_SrgbProfileFittedTo4K(benchmark::State& state)
{
    Display(state, TestFiles().srgb, state.range(0) != 0, 3840, 2160);
}
BENCHMARK(BM_SrgbProfileFittedTo4K)->Arg(0)->Arg(1)->ArgName("profile")->Unit(benchmark::kMillisecond);

void BM_P3Thumbnail(benchmark::State& state)
{
    for (auto _ : state) {
        CJpegDecoder decoder;
        if (!decoder.MakeThumbnail(TestFiles().p3, 160, false, nullptr, {false, state.range(0) != 0}))
            state.SkipWithError("thumbnail failed");
    }
}
BENCHMARK(BM_P3Thumbnail)->Arg(0)->Arg(1)->ArgName("profile")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
