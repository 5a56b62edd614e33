// lumvane-cli render: the display decode of one file, written as an image.

#include <cstdio>
#include <cstring>
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

bool ParseFit(const char* text, int& width, int& height)
{
    const char* x = std::strchr(text, 'x');
    if (!x)
        return false;
    const std::string w(text, x);
    return ParseCliNumber(w.c_str(), 0, kMaxSide, width) && ParseCliNumber(x + 1, 0, kMaxSide, height);
}

}  // namespace

int RunRender(int argc, char** argv)
{
    DecodeRequest request;
    std::string output;
    const std::string why = ParseCliArguments(
        argc, argv,
        {OutputOption(output),
         {"--fit", true,
          [&](const char* v) { return ParseFit(v, request.targetWidth, request.targetHeight); },
          "--fit wants WxH"},
         {"--rotate", true, [&](const char* v) { return ParseCliNumber(v, 0, 3, request.rotation); },
          "--rotate wants 0, 1, 2 or 3"},
         FlagOption("--flip-h", request.flipHorizontally),
         FlagOption("--flip-v", request.flipVertically),
         FlagOption("--hq", request.highQuality),
         FlagOption("--interp", request.interpolate),
         FlagOption("--auto-orient", request.picture.autoOrient),
         FlagOption("--colour-profile", request.picture.useColourProfile)},
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
