// lumvane-cli thumb: the thumbnail of one file, written as an image.

#include <cstdio>
#include <string>

#include "decode/jpeg_decoder.h"
#include "tools/cli_args.h"
#include "tools/cli_commands.h"

namespace {

int Usage(const char* why)
{
    std::fprintf(
        stderr,
        "lumvane-cli thumb: %s\n"
        "usage: lumvane-cli thumb FILE -o OUT [--size S] [--exif] [--auto-orient] [--colour-profile]\n"
        "  S from 1 to 4096 (default 80); OUT ends in .ppm, .bmp or .png\n",
        why);
    return 2;
}

}  // namespace

int RunThumb(int argc, char** argv)
{
    std::string path, output;
    int size = 80;
    bool useExif = false;
    PictureOptions picture;
    const std::string why
        = ParseCliArguments(argc, argv,
                            {OutputOption(output), SizeOption(size), FlagOption("--exif", useExif),
                             FlagOption("--auto-orient", picture.autoOrient),
                             FlagOption("--colour-profile", picture.useColourProfile)},
                            "FILE", path);
    if (!why.empty())
        return Usage(why.c_str());
    if (const std::string problem = ImageOutputProblem(output); !problem.empty())
        return Usage(problem.c_str());

    CJpegDecoder decoder;
    std::string failure;
    if (!decoder.MakeThumbnail(path, size, useExif, nullptr, picture, &failure)) {
        std::fprintf(stderr, "lumvane-cli thumb: %s: %s\n", path.c_str(), failure.c_str());
        return 1;
    }
    return WriteCliImage("thumb", decoder.Thumbnail(), output) ? 0 : 1;
}
