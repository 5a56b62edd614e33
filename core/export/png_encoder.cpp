#include "export/png_encoder.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include <zlib.h>

namespace {

constexpr int kRowsPerCancelCheck = 64;
constexpr int kMaxThreads = 8;
constexpr uInt kMaxChunk = 1u << 20;  // IDAT chunk size

void PutBe32(QByteArray& out, uint32_t v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void PutChunk(QByteArray& out, const char type[4], const char* data, uInt size)
{
    PutBe32(out, size);
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data, size);
    const auto* p = reinterpret_cast<const Bytef*>(out.constData() + start);
    PutBe32(out, uint32_t(crc32(0, p, size + 4)));
}

// The pixels being encoded: rows of 0xAARRGGBB words.
struct PixelRows {
    const uint32_t* pixels;
    int width;
    int height;
    qsizetype bytesPerLine;
    const uint32_t* Row(int y) const
    {
        return reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(pixels) + y * bytesPerLine);
    }
};

// One filtered scanline: the filter byte 2 ("Up"), then R, G, B minus the
// same bytes of the row above.
void FilterRow(const PixelRows& image, int y, uint8_t* out)
{
    const uint32_t* row = image.Row(y);
    const uint32_t* above = y > 0 ? image.Row(y - 1) : nullptr;
    *out++ = 2;
    for (int x = 0; x < image.width; ++x) {
        const uint32_t p = row[x];
        const uint32_t q = above ? above[x] : 0;
        *out++ = uint8_t((p >> 16) - (q >> 16));
        *out++ = uint8_t((p >> 8) - (q >> 8));
        *out++ = uint8_t(p - q);
    }
}

// One band of rows as raw deflate data; the last band closes the stream.
struct Band {
    int first = 0;
    int end = 0;
    bool last = false;
    std::vector<uint8_t> deflated;
    uLong adler = 1;
    uLong length = 0;  // filtered bytes, for combining the checksums
    bool ok = false;
};

void DeflateBand(const PixelRows& image, Band& band, const std::atomic<bool>* cancel)
{
    z_stream z {};
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    const size_t rowBytes = size_t(image.width) * 3 + 1;
    std::vector<uint8_t> row(rowBytes);
    const size_t rows = size_t(band.end - band.first);
    band.deflated.resize(deflateBound(&z, uLong(rowBytes * rows)) + 64);
    z.next_out = band.deflated.data();
    z.avail_out = uInt(band.deflated.size());
    band.adler = adler32(0, nullptr, 0);
    bool ok = true;
    for (int y = band.first; ok && y < band.end; ++y) {
        if ((y - band.first) % kRowsPerCancelCheck == 0 && cancel && cancel->load(std::memory_order_relaxed))
            ok = false;
        FilterRow(image, y, row.data());
        band.adler = adler32(band.adler, row.data(), uInt(rowBytes));
        z.next_in = row.data();
        z.avail_in = uInt(rowBytes);
        const bool final = y + 1 == band.end;
        const int flush = final ? (band.last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH;
        const int rc = deflate(&z, flush);
        ok = ok && (rc == Z_OK || rc == Z_STREAM_END) && z.avail_in == 0;
    }
    band.deflated.resize(band.deflated.size() - z.avail_out);
    band.length = uLong(rowBytes * rows);
    deflateEnd(&z);
    band.ok = ok;
}

}  // namespace

QByteArray EncodePngPixels(const uint32_t* pixels, int width, int height, qsizetype bytesPerLine,
                           const std::atomic<bool>* cancel, int threads)
{
    if (!pixels || width <= 0 || height <= 0)
        return {};
    const PixelRows image {pixels, width, height, bytesPerLine};
    if (threads <= 0)
        threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, unsigned(kMaxThreads)));
    const int bandCount = std::min(threads, image.height);
    std::vector<Band> bands(static_cast<size_t>(bandCount));
    for (int i = 0; i < bandCount; ++i) {
        bands[size_t(i)].first = int(int64_t(image.height) * i / bandCount);
        bands[size_t(i)].end = int(int64_t(image.height) * (i + 1) / bandCount);
        bands[size_t(i)].last = i + 1 == bandCount;
    }
    try {
        std::vector<std::thread> workers;
        for (size_t i = 1; i < bands.size(); ++i)
            workers.emplace_back(DeflateBand, std::cref(image), std::ref(bands[i]), cancel);
        DeflateBand(image, bands[0], cancel);
        for (std::thread& t : workers)
            t.join();
    } catch (const std::exception&) {
        return {};
    }

    std::vector<uint8_t> zdata {0x78, 0x01};  // deflate, 32K window, fastest
    uLong adler = adler32(0, nullptr, 0);
    for (const Band& band : bands) {
        if (!band.ok)
            return {};
        zdata.insert(zdata.end(), band.deflated.begin(), band.deflated.end());
        adler = adler32_combine(adler, band.adler, z_off_t(band.length));
    }
    for (int shift = 24; shift >= 0; shift -= 8)
        zdata.push_back(uint8_t(adler >> shift));

    QByteArray png;
    png.reserve(qsizetype(zdata.size() + zdata.size() / kMaxChunk * 12 + 64));
    png.append("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    PutBe32(header, uint32_t(image.width));
    PutBe32(header, uint32_t(image.height));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no interlace
    PutChunk(png, "IHDR", header.constData(), uInt(header.size()));
    for (size_t at = 0; at < zdata.size(); at += kMaxChunk)
        PutChunk(png, "IDAT", reinterpret_cast<const char*>(zdata.data() + at),
                 uInt(std::min<size_t>(kMaxChunk, zdata.size() - at)));
    PutChunk(png, "IEND", nullptr, 0);
    return png;
}
