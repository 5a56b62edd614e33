// lumvane-cli render: the display decode of one file, written as an image.

#include <cstdio>
#include <string>

#include "decode/jpeg_decoder.h"
#include "tools/cli_args.h"
#include "tools/cli_commands.h"

namespace {

// Larger targets make no display image anyway (see kMaxDisplayPixels).
constexpr int kMaxSide = 1000000;

int Usage(const char* why)
{
    std::fprintf(stderr,
                 "lumvane-cli render: %s\n"
                 "usage: lumvane-cli render FILE -o OUT [--fit WxH] [--rotate 0|1|2|3] "
                 "[--flip-h] [--flip-v] [--hq] [--interp] [--auto-orient] [--colour-profile]\n"
                 "  OUT ends in .ppm, .bmp or .png\n",
                 why);
    return 2;
}

}  // namespace

int RunRender(int argc, char** argv)
{
    DecodeRequest request;
    std::string output;
    const std::string why = ParseCliArguments(
        argc, argv,
        {
            OutputOption(output),
            FitOption(request.targetWidth, request.targetHeight, kMaxSide, "--fit wants WxH"),
            RotateOption(request.rotation),
            FlagOption("--flip-h", request.flipHorizontally),
            FlagOption("--flip-v", request.flipVertically),
            FlagOption("--hq", request.highQuality),
            FlagOption("--interp", request.interpolate),
            FlagOption("--auto-orient", request.picture.autoOrient),
            FlagOption("--colour-profile", request.picture.useColourProfile),
        },
        "FILE", request.path);
    if (!why.empty())
        return Usage(why.c_str());
    if (const std::string problem = ImageOutputProblem(output); !problem.empty())
        return Usage(problem.c_str());

    CJpegDecoder decoder;
    std::string failure;
    if (!decoder.OpenForDisplay(request, nullptr, &failure) || !decoder.Decode(nullptr, nullptr, &failure)) {
        std::fprintf(stderr, "lumvane-cli render: %s: %s\n", request.path.c_str(), failure.c_str());
        return 1;
    }
    return WriteCliImage("render", decoder.DisplayImage(), output) ? 0 : 1;
}
