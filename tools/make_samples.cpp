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

#include "tools/jpeg_writer.h"

namespace {

// The Exif segment of a sample: a TIFF structure in either byte order with
// IFD0, the Exif IFD, the Interoperability IFD and IFD1 with its thumbnail.
class Ifd {
public:
    void Ascii(uint16_t tag, const char* text)
    {
        std::vector<uint8_t> bytes(text, text + std::char_traits<char>::length(text) + 1);
        m_entries.push_back({tag, 2, uint32_t(bytes.size()), {}, bytes});
    }
    void Undefined(uint16_t tag, std::vector<uint8_t> bytes)
    {
        m_entries.push_back({tag, 7, uint32_t(bytes.size()), {}, std::move(bytes)});
    }
    void Short(uint16_t tag, uint16_t v) { m_entries.push_back({tag, 3, 1, {v}, {}}); }
    void Long(uint16_t tag, uint32_t v) { m_entries.push_back({tag, 4, 1, {v}, {}}); }
    void Rational(uint16_t tag, uint32_t n, uint32_t d) { m_entries.push_back({tag, 5, 1, {n, d}, {}}); }
    void SRational(uint16_t tag, int32_t n, int32_t d)
    {
        m_entries.push_back({tag, 10, 1, {uint32_t(n), uint32_t(d)}, {}});
    }
    void SetLong(uint16_t tag, uint32_t v)
    {
        for (Entry& e : m_entries)
            if (e.tag == tag)
                e.numbers = {v};
    }
    bool Empty() const { return m_entries.empty(); }

    // Bytes the directory takes with its out-of-line values.
    uint32_t Size() const
    {
        uint32_t size = 2 + 12 * uint32_t(m_entries.size()) + 4;
        for (const Entry& e : m_entries)
            if (e.DataSize() > 4)
                size += (e.DataSize() + 1) & ~1u;
        return size;
    }

    void Write(std::vector<uint8_t>& out, bool little, uint32_t next)
    {
        std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
        const uint32_t start = uint32_t(out.size()) - 6;  // offsets count from the TIFF header
        uint32_t data = start + 2 + 12 * uint32_t(m_entries.size()) + 4;
        std::vector<uint8_t> extra;
        Put(out, little, uint16_t(m_entries.size()), 2);
        for (const Entry& e : m_entries) {
            Put(out, little, e.tag, 2);
            Put(out, little, e.type, 2);
            Put(out, little, e.count, 4);
            std::vector<uint8_t> value = e.Value(little);
            if (value.size() > 4) {
                Put(out, little, data + uint32_t(extra.size()), 4);
                extra.insert(extra.end(), value.begin(), value.end());
                if (extra.size() & 1)
                    extra.push_back(0);
            } else {
                value.resize(4, 0);
                out.insert(out.end(), value.begin(), value.end());
            }
        }
        Put(out, little, next, 4);
        out.insert(out.end(), extra.begin(), extra.end());
    }

    static void Put(std::vector<uint8_t>& out, bool little, uint32_t v, int size)
    {
        for (int i = 0; i < size; ++i)
            out.push_back(uint8_t(v >> (8 * (little ? i : size - 1 - i))));
    }

private:
    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        std::vector<uint32_t> numbers;  // one per short or long, two per rational
        std::vector<uint8_t> bytes;     // ascii and undefined
        uint32_t DataSize() const
        {
            return bytes.empty() ? uint32_t(numbers.size()) * (type == 3 ? 2 : 4) : uint32_t(bytes.size());
        }
        std::vector<uint8_t> Value(bool little) const
        {
            if (!bytes.empty())
                return bytes;
            std::vector<uint8_t> v;
            for (uint32_t n : numbers)
                Put(v, little, n, type == 3 ? 2 : 4);
            return v;
        }
    };
    std::vector<Entry> m_entries;
};

class TiffBuilder {
public:
    explicit TiffBuilder(bool littleEndian) : m_little(littleEndian) {}
    void SetIfd0(Ifd ifd) { m_ifd0 = std::move(ifd); }
    void SetExifIfd(Ifd ifd) { m_exif = std::move(ifd); }
    void SetInteropIfd(Ifd ifd) { m_interop = std::move(ifd); }
    void SetIfd1(Ifd ifd, std::vector<uint8_t> thumbnail)
    {
        m_ifd1 = std::move(ifd);
        m_thumbnail = std::move(thumbnail);
    }

    // "Exif\0\0" followed by the TIFF data, as stored in an APP1 segment.
    std::vector<uint8_t> App1Payload()
    {
        // Pointer tags first, with placeholders, so every size is final.
        m_ifd0.Long(0x8769, 0);
        if (!m_interop.Empty())
            m_exif.Long(0xA005, 0);
        const bool thumb = !m_ifd1.Empty();
        if (thumb) {
            m_ifd1.Long(0x0201, 0);
            m_ifd1.Long(0x0202, uint32_t(m_thumbnail.size()));
        }
        const uint32_t ifd0 = 8, exif = ifd0 + m_ifd0.Size(), interop = exif + m_exif.Size();
        const uint32_t ifd1 = interop + (m_interop.Empty() ? 0 : m_interop.Size());
        const uint32_t thumbnail = ifd1 + (thumb ? m_ifd1.Size() : 0);
        m_ifd0.SetLong(0x8769, exif);
        m_exif.SetLong(0xA005, interop);
        m_ifd1.SetLong(0x0201, thumbnail);

        std::vector<uint8_t> out = {'E', 'x', 'i', 'f', 0, 0};
        out.push_back(m_little ? 'I' : 'M');
        out.push_back(m_little ? 'I' : 'M');
        Ifd::Put(out, m_little, 42, 2);
        Ifd::Put(out, m_little, ifd0, 4);
        m_ifd0.Write(out, m_little, thumb ? ifd1 : 0);
        m_exif.Write(out, m_little, 0);
        if (!m_interop.Empty())
            m_interop.Write(out, m_little, 0);
        if (thumb) {
            m_ifd1.Write(out, m_little, 0);
            out.insert(out.end(), m_thumbnail.begin(), m_thumbnail.end());
        }
        return out;
    }

private:
    bool m_little;
    Ifd m_ifd0, m_exif, m_interop, m_ifd1;
    std::vector<uint8_t> m_thumbnail;
};

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
    const CameraData& cam = s.camera;
    Ifd ifd0, exif, interop, ifd1;
    if (cam.make)
        ifd0.Ascii(0x010F, cam.make);
    if (cam.model)
        ifd0.Ascii(0x0110, cam.model);
    ifd0.Short(0x0112, cam.orientation);
    ifd0.Rational(0x011A, 72, 1);
    ifd0.Rational(0x011B, 72, 1);
    ifd0.Short(0x0128, 2);
    ifd0.Ascii(0x0131, "Lumvane make_samples");
    if (cam.dateTime)
        ifd0.Ascii(0x0132, cam.dateTime);
    ifd0.Short(0x0213, 1);

    if (cam.exposureDenominator)
        exif.Rational(0x829A, 1, cam.exposureDenominator);
    if (cam.fNumberTenths)
        exif.Rational(0x829D, cam.fNumberTenths, 10);
    exif.Short(0x8822, 2);
    if (cam.iso)
        exif.Short(0x8827, cam.iso);
    exif.Undefined(0x9000, {'0', '2', '2', '0'});
    if (cam.dateTime) {
        exif.Ascii(0x9003, cam.dateTime);
        exif.Ascii(0x9004, cam.dateTime);
    }
    exif.SRational(0x9204, 0, 10);
    exif.Short(0x9207, 5);
    exif.Short(0x9209, 16);
    if (cam.focalLengthTenths)
        exif.Rational(0x920A, cam.focalLengthTenths, 10);
    exif.Undefined(0xA000, {'0', '1', '0', '0'});
    exif.Short(0xA001, 1);
    exif.Long(0xA002, uint32_t(image.width));
    exif.Long(0xA003, uint32_t(image.height));
    interop.Ascii(0x0001, "R98");
    interop.Undefined(0x0002, {'0', '1', '0', '0'});

    TiffBuilder tiff(cam.littleEndian);
    tiff.SetIfd0(ifd0);
    tiff.SetExifIfd(exif);
    tiff.SetInteropIfd(interop);
    if (cam.thumbnail) {
        ifd1.Short(0x0103, 6);
        ifd1.Rational(0x011A, 72, 1);
        ifd1.Rational(0x011B, 72, 1);
        ifd1.Short(0x0128, 2);
        tiff.SetIfd1(ifd1, MakeThumbnail(image));
    }
    return tiff.App1Payload();
}

// Sizes and qualities keep the whole folder under 8 MB.
std::vector<Sample> Samples()
{
    std::vector<Sample> list;
    list.push_back({"01-meadow-640x480.jpg", 640, 480, 11, 92, false, false,
                    {"Morning meadow", "Made by Lumvane's sample maker"}, true,
                    {true, 1, "Lumvane", "Sample Camera LE", "2024:05:18 07:42:10", 250, 56, 100, 180, true}});
    list.push_back({"02-hills-1600x1200.jpg", 1600, 1200, 23, 90, false, false, {}, true,
                    {false, 1, "Lumvane", "Sample Camera BE", "2024:06:02 18:15:44", 500, 80, 200, 350, true}});
    list.push_back({"03-portrait-1200x1600.jpg", 1200, 1600, 37, 90, false, false, {"Portrait format"}, true,
                    {true, 1, "Lumvane", "Sample Camera LE", "2024:06:03 12:01:09", 1000, 110, 100, 500, true}});
    list.push_back({"04-turned-1600x1200-orientation-6.jpg", 1600, 1200, 41, 88, false, false,
                    {"Stored sideways; Orientation 6 says turn it clockwise"}, true,
                    {false, 6, "Lumvane", "Sample Camera BE", "2024:07:14 09:30:00", 125, 40, 400, 240, true}});
    list.push_back({"05-gray-1024x768.jpg", 1024, 768, 53, 88, true, false, {"Grayscale"}, false});
    list.push_back({"06-progressive-1920x1080.jpg", 1920, 1080, 67, 88, false, true, {"Progressive scan"}, true,
                    {true, 1, "Lumvane", "Sample Camera LE", "2024:08:21 20:05:31", 60, 28, 800, 240, false}});
    list.push_back({"07-valley-3000x2000.jpg", 3000, 2000, 79, 88, false, false, {}, true,
                    {false, 1, "Lumvane", "Sample Camera BE", "2024:09:09 16:47:02", 320, 90, 100, 700, true}});
    list.push_back({"08-wide-4000x3000.jpg", 4000, 3000, 97, 85, false, false, {"Twelve megapixels"}, true,
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
