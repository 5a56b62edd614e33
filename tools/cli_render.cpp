// lumvane-cli render: the display decode of one file, written as an image.

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
    std::fprintf(stderr, "lumvane-cli render: %s\n"
                         "usage: lumvane-cli render FILE -o OUT [--fit WxH] [--rotate 0|1|2|3] "
                         "[--flip-h] [--flip-v] [--hq] [--interp]\n"
                         "  OUT ends in .ppm, .bmp or .png\n",
                 why);
    return 2;
}

// A whole non-negative number; false for anything else.
bool ParseCount(const char* text, int& value)
{
    if (!*text)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end || v < 0 || v > 1000000 || text[0] == '-' || text[0] == '+')
        return false;
    value = int(v);
    return true;
}

bool ParseFit(const char* text, int& width, int& height)
{
    const char* x = std::strchr(text, 'x');
    if (!x)
        return false;
    const std::string w(text, x);
    return ParseCount(w.c_str(), width) && ParseCount(x + 1, height);
}

}  // namespace

int RunRender(int argc, char** argv)
{
    DecodeRequest request;
    std::string output;
    bool haveFile = false;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(a, "-o") == 0 && hasValue) {
            output = argv[++i];
        } else if (std::strcmp(a, "--fit") == 0 && hasValue) {
            if (!ParseFit(argv[++i], request.targetWidth, request.targetHeight))
                return Usage("--fit wants WxH");
        } else if (std::strcmp(a, "--rotate") == 0 && hasValue) {
            if (!ParseCount(argv[++i], request.rotation) || request.rotation > 3)
                return Usage("--rotate wants 0, 1, 2 or 3");
        } else if (std::strcmp(a, "--flip-h") == 0) {
            request.flipHorizontally = true;
        } else if (std::strcmp(a, "--flip-v") == 0) {
            request.flipVertically = true;
        } else if (std::strcmp(a, "--hq") == 0) {
            request.highQuality = true;
        } else if (std::strcmp(a, "--interp") == 0) {
            request.interpolate = true;
        } else if (a[0] == '-' && a[1]) {
            return Usage((std::string("unknown or incomplete option ") + a).c_str());
        } else if (!haveFile) {
            request.path = a;
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
    if (!decoder.OpenForDisplay(request) || !decoder.Decode(nullptr, nullptr)) {
        std::fprintf(stderr, "lumvane-cli render: %s: %s\n", request.path.c_str(),
                     decoder.LastError().c_str());
        return 1;
    }
    std::string error;
    if (!WriteImageFile(decoder.DisplayImage(), output, error)) {
        std::fprintf(stderr, "lumvane-cli render: %s: %s\n", output.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
