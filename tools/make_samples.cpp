// make_samples: writes the bundled sample photos (samples/) from the
// project's own procedural landscapes. The output is the same on every run,
// so regenerating the folder changes nothing unless this program changed.
//
//   make_samples [OUTDIR]      (default: samples)

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/exif_builder.h"
#include "tools/jpeg_writer.h"

namespace {

// What a camera writes; every field is optional.
struct CameraData {
    bool littleEndian = true;
    uint16_t orientation = 1;
    const char* make = nullptr;
    const char* model = nullptr;
    const char* dateTime = nullptr;
    uint32_t exposureDenominator = 0;  // exposure time 1/x s
    uint32_t fNumberTenths = 0;
    uint16_t iso = 0;
    uint32_t focalLengthTenths = 0;
    bool thumbnail = true;
};

struct Sample {
    const char* name;
    int width, height;
    uint32_t seed;
    int quality;
    bool gray = false;
    bool progressive = false;
    std::vector<std::string> comments;
    bool exif = false;
    CameraData camera = {};
};

std::vector<uint8_t> MakeThumbnail(const jpegwriter::RawImage& image)
{
    // A 160-pixel-wide miniature of the same scene, as cameras store in IFD1.
    const bool landscape = image.width >= image.height;
    const int w = landscape ? 160 : 120, h = landscape ? 120 : 160;
    jpegwriter::RawImage small;
    small.width = w;
    small.height = h;
    small.components = image.components;
    small.pixels.resize(size_t(w) * h * small.components);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = image.Row(int(int64_t(y) * image.height / h));
        uint8_t* dst = small.Row(y);
        for (int x = 0; x < w; ++x) {
            const int sx = int(int64_t(x) * image.width / w);
            for (int c = 0; c < small.components; ++c)
                dst[x * small.components + c] = src[sx * small.components + c];
        }
    }
    jpegwriter::EncodeOptions options;
    options.quality = 75;
    return jpegwriter::Encode(small, options);
}

std::vector<uint8_t> MakeExif(const Sample& s, const jpegwriter::RawImage& image)
{
    using namespace exifbuilder;
    const CameraData& cam = s.camera;
    Builder b(cam.littleEndian ? Order::Little : Order::Big);
    if (cam.make)
        b.Ascii(Ifd0, 0x010F, cam.make);
    if (cam.model)
        b.Ascii(Ifd0, 0x0110, cam.model);
    b.Short(Ifd0, 0x0112, {cam.orientation})
        .Rational(Ifd0, 0x011A, {{72, 1}})
        .Rational(Ifd0, 0x011B, {{72, 1}})
        .Short(Ifd0, 0x0128, {2})
        .Ascii(Ifd0, 0x0131, "Lumvane make_samples");
    if (cam.dateTime)
        b.Ascii(Ifd0, 0x0132, cam.dateTime);
    b.Short(Ifd0, 0x0213, {1});

    if (cam.exposureDenominator)
        b.Rational(Exif, 0x829A, {{1, cam.exposureDenominator}});
    if (cam.fNumberTenths)
        b.Rational(Exif, 0x829D, {{cam.fNumberTenths, 10}});
    b.Short(Exif, 0x8822, {2});
    if (cam.iso)
        b.Short(Exif, 0x8827, {cam.iso});
    b.Undefined(Exif, 0x9000, {'0', '2', '2', '0'});
    if (cam.dateTime)
        b.Ascii(Exif, 0x9003, cam.dateTime).Ascii(Exif, 0x9004, cam.dateTime);
    b.SRational(Exif, 0x9204, {{0, 10}}).Short(Exif, 0x9207, {5}).Short(Exif, 0x9209, {16});
    if (cam.focalLengthTenths)
        b.Rational(Exif, 0x920A, {{cam.focalLengthTenths, 10}});
    b.Undefined(Exif, 0xA000, {'0', '1', '0', '0'})
        .Short(Exif, 0xA001, {1})
        .Long(Exif, 0xA002, {uint32_t(image.width)})
        .Long(Exif, 0xA003, {uint32_t(image.height)})
        .Ascii(Interop, 0x0001, "R98")
        .Undefined(Interop, 0x0002, {'0', '1', '0', '0'});
    if (cam.thumbnail)
        b.Thumbnail(MakeThumbnail(image));
    return b.Build();
}

// Sizes and qualities keep the whole folder under 8 MB.
std::vector<Sample> Samples()
{
    std::vector<Sample> list;
    list.push_back(
        {"01-meadow-640x480.jpg",
         640,
         480,
         11,
         92,
         false,
         false,
         {"Morning meadow", "Made by Lumvane's sample maker"},
         true,
         {true, 1, "Lumvane", "Sample Camera LE", "2024:05:18 07:42:10", 250, 56, 100, 180, true}});
    list.push_back(
        {"02-hills-1600x1200.jpg",
         1600,
         1200,
         23,
         90,
         false,
         false,
         {},
         true,
         {false, 1, "Lumvane", "Sample Camera BE", "2024:06:02 18:15:44", 500, 80, 200, 350, true}});
    list.push_back(
        {"03-portrait-1200x1600.jpg",
         1200,
         1600,
         37,
         90,
         false,
         false,
         {"Portrait format"},
         true,
         {true, 1, "Lumvane", "Sample Camera LE", "2024:06:03 12:01:09", 1000, 110, 100, 500, true}});
    list.push_back(
        {"04-turned-1600x1200-orientation-6.jpg",
         1600,
         1200,
         41,
         88,
         false,
         false,
         {"Stored sideways; Orientation 6 says turn it clockwise"},
         true,
         {false, 6, "Lumvane", "Sample Camera BE", "2024:07:14 09:30:00", 125, 40, 400, 240, true}});
    list.push_back({"05-gray-1024x768.jpg", 1024, 768, 53, 88, true, false, {"Grayscale"}, false});
    list.push_back(
        {"06-progressive-1920x1080.jpg",
         1920,
         1080,
         67,
         88,
         false,
         true,
         {"Progressive scan"},
         true,
         {true, 1, "Lumvane", "Sample Camera LE", "2024:08:21 20:05:31", 60, 28, 800, 240, false}});
    list.push_back(
        {"07-valley-3000x2000.jpg",
         3000,
         2000,
         79,
         88,
         false,
         false,
         {},
         true,
         {false, 1, "Lumvane", "Sample Camera BE", "2024:09:09 16:47:02", 320, 90, 100, 700, true}});
    list.push_back(
        {"08-wide-4000x3000.jpg",
         4000,
         3000,
         97,
         85,
         false,
         false,
         {"Twelve megapixels"},
         true,
         {true, 1, "Lumvane", "Sample Camera LE", "2024:10:30 11:11:11", 800, 100, 100, 350, true}});
    return list;
}

bool WriteSample(const Sample& s, const std::filesystem::path& dir)
{
    // A sideways sample is stored as the camera would: the scene turned a
    // quarter counter-clockwise, so Orientation 6 turns it back.
    const bool sideways = s.exif && s.camera.orientation == 6;
    jpegwriter::RawImage image = jpegwriter::MakePhotoLike(sideways ? s.height : s.width,
                                                           sideways ? s.width : s.height, s.seed, s.gray);
    if (sideways) {
        jpegwriter::RawImage turned;
        turned.width = image.height;
        turned.height = image.width;
        turned.components = image.components;
        turned.pixels.resize(image.pixels.size());
        const int n = image.components;
        for (int y = 0; y < turned.height; ++y)
            for (int x = 0; x < turned.width; ++x)
                for (int c = 0; c < n; ++c)
                    turned.Row(y)[x * n + c] = image.Row(x)[(image.width - 1 - y) * n + c];
        image = std::move(turned);
    }
    jpegwriter::EncodeOptions options;
    options.quality = s.quality;
    options.progressive = s.progressive;
    options.comments = s.comments;
    if (s.exif)
        options.app1.push_back(MakeExif(s, image));
    const std::vector<uint8_t> bytes = jpegwriter::Encode(image, options);
    const std::string path = (dir / s.name).string();
    if (bytes.empty() || !jpegwriter::WriteFile(path, bytes)) {
        std::fprintf(stderr, "make_samples: %s: could not write\n", path.c_str());
        return false;
    }
    std::printf("%s %dx%d %zu bytes\n", path.c_str(), image.width, image.height, bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::fprintf(stderr, "usage: make_samples [OUTDIR]\n");
        return 2;
    }
    const std::filesystem::path dir = argc == 2 ? argv[1] : "samples";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "make_samples: %s: %s\n", dir.string().c_str(), error.message().c_str());
        return 1;
    }
    bool ok = true;
    for (const Sample& s : Samples())
        ok = WriteSample(s, dir) && ok;
    return ok ? 0 : 1;
}
