// lumvane-cli blit: decodes a JPEG at its own size and draws it through the
// display bitmap in one of the screen formats, so that the palette, the
// dithering, gamma and zoom can be looked at in the saved PNG.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <QFile>
#include <QImage>
#include <QPainter>

#include "decode/jpeg_decoder.h"
#include "display/display_bitmap.h"
#include "tools/cli_args.h"
#include "tools/cli_commands.h"

namespace {

constexpr int kMaxZoom = 64;
constexpr int64_t kMaxOutputPixels = int64_t(1) << 28;

struct BlitOptions {
    std::string file;
    std::string out;
    int format = -1;
    bool dither = true;
    double gamma = -1.0;
    int factor = 1;
    bool reduce = false;
};

int Usage(const char* why)
{
    std::fprintf(stderr, "lumvane-cli blit: %s\n", why);
    std::fprintf(stderr,
                 "usage: lumvane-cli blit FILE -o OUT.png --format 0|1|2|3|4 [--no-dither] [--gamma G]"
                 " [--zoom N | --zoom 1/N]\n");
    return 2;
}

bool ParseZoom(const char* text, BlitOptions& o)
{
    if (std::strncmp(text, "1/", 2) == 0) {
        o.reduce = true;
        return ParseCliNumber(text + 2, 1, kMaxZoom, o.factor);
    }
    o.reduce = false;
    return ParseCliNumber(text, 1, kMaxZoom, o.factor);
}

bool ParseGamma(const char* text, double& gamma)
{
    char* end = nullptr;
    errno = 0;
    gamma = std::strtod(text, &end);
    return !errno && end != text && !*end && std::isfinite(gamma) && gamma > 0 && gamma <= 100;
}

// Returns 0 when the arguments are complete, else the usage status.
int ParseArguments(int argc, char** argv, BlitOptions& o)
{
    const std::vector<CliOption> options = {
        OutputOption(o.out),
        NumberOption("--format", 0, pixelconv::kFormatCount - 1, o.format, "--format takes 0, 1, 2, 3 or 4"),
        FlagOption("--no-dither", o.dither, false),
        {"--gamma", true, [&o](const char* v) { return ParseGamma(v, o.gamma); },
         "--gamma takes a number above 0 and at most 100"},
        {"--zoom", true, [&o](const char* v) { return ParseZoom(v, o); },
         "--zoom takes N or 1/N, N from 1 to 64"},
    };
    const std::string why = ParseCliArguments(argc, argv, options, "FILE", o.file);
    if (!why.empty())
        return Usage(why.c_str());
    if (o.out.empty() || o.format < 0)
        return Usage("FILE, -o OUT.png and --format are required");
    return 0;
}

int Unusable(const std::string& file, const char* why)
{
    std::fprintf(stderr, "lumvane-cli blit: %s: %s\n", file.c_str(), why);
    return 1;
}

}  // namespace

int RunBlit(int argc, char** argv)
{
    BlitOptions o;
    if (const int status = ParseArguments(argc, argv, o))
        return status;

    CJpegDecoder decoder;
    DecodeRequest request;
    request.path = o.file;
    if (!decoder.OpenForDisplay(request))
        return Unusable(o.file, "cannot be opened as a JPEG image");
    if (!decoder.Decode(nullptr, nullptr))
        return Unusable(o.file, "cannot be decoded");
    CImageBitmap& image = decoder.DisplayImage();

    const int64_t width = o.reduce ? image.Width() / o.factor : int64_t(image.Width()) * o.factor;
    const int64_t height = o.reduce ? image.Height() / o.factor : int64_t(image.Height()) * o.factor;
    if (width < 1 || height < 1)
        return Unusable(o.file, "is smaller than one pixel at this zoom");
    if (width * height > kMaxOutputPixels)
        return Unusable(o.file, "is too large at this zoom");

    CDisplayBitmap display;
    if (!display.CreateFormat(o.format, CDisplayBitmap::kDefaultStripSize, CDisplayBitmap::kDefaultStripSize,
                              o.dither))
        return Unusable(o.out, "cannot allocate the display strip");
    QImage screen(int(width), int(height), QImage::Format_RGB32);
    if (screen.isNull())
        return Unusable(o.out, "cannot allocate the output image");
    screen.fill(Qt::black);

    BlitParams p;
    p.factor = o.factor;
    p.reduce = o.reduce;
    p.sourceWidth = image.Width();
    p.sourceHeight = image.Height();
    p.gammaOn = o.gamma >= 0;
    if (p.gammaOn)
        p.gammaTable = pixelconv::MakeGammaTable(o.gamma);
    QPainter painter(&screen);
    const bool drawn = display.Blit(painter, image, p);
    painter.end();
    if (!drawn)
        return Unusable(o.file, "cannot be drawn");
    if (!screen.save(QFile::decodeName(QByteArray::fromStdString(o.out)), "PNG"))
        return Unusable(o.out, "cannot be written");
    std::printf("%s: %lldx%lld, format %d\n", o.out.c_str(), static_cast<long long>(width),
                static_cast<long long>(height), o.format);
    return 0;
}
