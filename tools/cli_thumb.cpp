// lumvane-cli thumb: the thumbnail of one file, written as an image.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "decode/bitmap_export.h"
#include "decode/jpeg_decoder.h"
#include "tools/cli_commands.h"

namespace {

int Usage(const char* why)
{
    std::fprintf(stderr, "lumvane-cli thumb: %s\n"
                         "usage: lumvane-cli thumb FILE -o OUT [--size S] [--exif]\n"
                         "  S from 1 to 4096 (default 80); OUT ends in .ppm, .bmp or .png\n",
                 why);
    return 2;
}

}  // namespace

int RunThumb(int argc, char** argv)
{
    std::string path, output;
    int size = 80;
    bool useExif = false, haveFile = false;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(a, "-o") == 0 && hasValue) {
            output = argv[++i];
        } else if (std::strcmp(a, "--size") == 0 && hasValue) {
            char* end = nullptr;
            const char* text = argv[++i];
            const long v = std::strtol(text, &end, 10);
            if (!*text || *end || v < 1 || v > 4096)
                return Usage("--size wants a number from 1 to 4096");
            size = int(v);
        } else if (std::strcmp(a, "--exif") == 0) {
            useExif = true;
        } else if (a[0] == '-' && a[1]) {
            return Usage((std::string("unknown or incomplete option ") + a).c_str());
        } else if (!haveFile) {
            path = a;
            haveFile = true;
        } else {
            return Usage("more than one FILE");
        }
    }
    if (!haveFile || output.empty())
        return Usage("FILE and -o OUT are required");
    if (FormatOfPath(output) == ImageFileFormat::Unknown)
        return Usage("OUT must end in .ppm, .bmp or .png");

    CJpegDecoder decoder;
    if (!decoder.MakeThumbnail(path, size, useExif, nullptr)) {
        std::fprintf(stderr, "lumvane-cli thumb: %s: %s\n", path.c_str(), decoder.ThumbnailError().c_str());
        return 1;
    }
    std::string error;
    if (!WriteImageFile(decoder.Thumbnail(), output, error)) {
        std::fprintf(stderr, "lumvane-cli thumb: %s: %s\n", output.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
