#include "decode/bitmap_export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "browse/fd_io.h"
#include "error_out.h"
#include "export/png_encoder.h"

namespace {

void Put16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

// Blue, green, red of each pixel, in that order (the DIB row layout).
void ToBgr(const uint32_t* pixels, int width, uint8_t* out)
{
    for (int x = 0; x < width; ++x, out += 3) {
        const uint32_t p = pixels[x];
        out[0] = uint8_t(p);
        out[1] = uint8_t(p >> 8);
        out[2] = uint8_t(p >> 16);
    }
}

#if defined(__x86_64__)
#include <tmmintrin.h>
// Four pixels a step with one byte shuffle; the PPM writer spends most of
// its time here for a large image.
__attribute__((target("ssse3"))) void ToRgbSsse3(const uint32_t* pixels, int width, uint8_t* out)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int x = 0;
    // Each store writes 16 bytes of which 12 count, so stop while 4 spare remain.
    for (; x + 6 <= width; x += 4, out += 12) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(v, order));
    }
    for (; x < width; ++x, out += 3) {
        const uint32_t p = pixels[x];
        out[0] = uint8_t(p >> 16);
        out[1] = uint8_t(p >> 8);
        out[2] = uint8_t(p);
    }
}
#endif

void ToRgb(const uint32_t* pixels, int width, uint8_t* out)
{
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        ToRgbSsse3(pixels, width, out);
        return;
    }
#endif
    for (int x = 0; x < width; ++x, out += 3) {
        const uint32_t p = pixels[x];
        out[0] = uint8_t(p >> 16);
        out[1] = uint8_t(p >> 8);
        out[2] = uint8_t(p);
    }
}

// Writes the whole block; false (errno set) when the system refuses.
// Binary PPM, converted and written a band of rows at a time so that no
// second full-size copy exists.
bool WritePpm(int fd, const CImageBitmap& bitmap)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    const std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    if (!WriteAll(fd, header.data(), header.size()))
        return false;
    const size_t rowBytes = size_t(w) * 3;
    if (rowBytes == 0)
        return true;
    const int band = std::max<int>(1, int((1u << 20) / rowBytes));
    std::vector<uint8_t> buffer(rowBytes * size_t(band));
    for (int y = 0; y < h; y += band) {
        const int rows = std::min(band, h - y);
        for (int r = 0; r < rows; ++r)
            ToRgb(bitmap.Row(y + r), w, buffer.data() + size_t(r) * rowBytes);
        if (!WriteAll(fd, buffer.data(), rowBytes * size_t(rows)))
            return false;
    }
    return true;
}

std::vector<uint8_t> MakePng(const CImageBitmap& bitmap)
{
    const QByteArray bytes
        = EncodePngPixels(bitmap.Pixels(), bitmap.Width(), bitmap.Height(), qsizetype(bitmap.Width()) * 4);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

std::vector<uint8_t> MakePackedDib(const CImageBitmap& bitmap)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    const size_t rowSize = DibRowSize(w);
    std::vector<uint8_t> dib(kDibHeaderSize + rowSize * size_t(h), 0);
    uint8_t* p = dib.data();
    Put32(p, kDibHeaderSize);
    Put32(p + 4, uint32_t(w));
    Put32(p + 8, uint32_t(h));  // positive: rows run bottom-up
    Put16(p + 12, 1);           // planes
    Put16(p + 14, 24);          // bits per pixel
    Put32(p + 16, 0);           // BI_RGB
    for (int r = 0; r < h; ++r)
        ToBgr(bitmap.Row(r), w, p + kDibHeaderSize + size_t(h - 1 - r) * rowSize);
    return dib;
}

std::vector<uint8_t> MakeBmpFile(const CImageBitmap& bitmap)
{
    const std::vector<uint8_t> dib = MakePackedDib(bitmap);
    std::vector<uint8_t> file(kBmpFileHeaderSize + dib.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(&file[2], uint32_t(file.size()));
    Put32(&file[10], kBmpFileHeaderSize + kDibHeaderSize);
    std::copy(dib.begin(), dib.end(), file.begin() + kBmpFileHeaderSize);
    return file;
}

ImageFileFormat FormatOfPath(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return ImageFileFormat::Unknown;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "ppm")
        return ImageFileFormat::Ppm;
    if (ext == "bmp")
        return ImageFileFormat::Bmp;
    if (ext == "png")
        return ImageFileFormat::Png;
    return ImageFileFormat::Unknown;
}

bool WriteImageFile(CImageBitmap& bitmap, const std::string& path, std::string* error)
{
    const ImageFileFormat format = FormatOfPath(path);
    if (format == ImageFileFormat::Unknown)
        return Fail(error, "unknown output format (use .ppm, .bmp or .png)");
    PixelLocker lock(bitmap);
    std::vector<uint8_t> bytes;
    if (format == ImageFileFormat::Bmp)
        bytes = MakeBmpFile(bitmap);
    else if (format == ImageFileFormat::Png) {
        bytes = MakePng(bitmap);
        if (bytes.empty())
            return Fail(error, "cannot encode PNG");
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return Fail(error, std::strerror(errno));
    bool ok
        = format == ImageFileFormat::Ppm ? WritePpm(fd, bitmap) : WriteAll(fd, bytes.data(), bytes.size());
    if (!ok)
        Fail(error, std::strerror(errno));
    if (::close(fd) != 0 && ok)
        ok = Fail(error, std::strerror(errno));
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}
