#include "display/pixel_convert.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "display/dither_tables.h"

// The image pixels are read as 32-bit words 0xXXRRGGBB; the 16-bit strip
// values are stored in host order, low byte first.
static_assert(std::endian::native == std::endian::little, "pixel words assume a little-endian host");

namespace pixelconv {
namespace {

    struct Bgr {
        uint8_t b, g, r;
    };

    inline Bgr Channels(uint32_t px, const uint8_t* gamma)
    {
        Bgr c {uint8_t(px), uint8_t(px >> 8), uint8_t(px >> 16)};
        if (gamma)
            c = {gamma[c.b], gamma[c.g], gamma[c.r]};
        return c;
    }

    // Keeps the top `bits` bits of v. With dithering the value steps up one
    // level where the dropped fraction exceeds the threshold, so that a flat
    // area averages to v itself instead of growing darker. Threshold 7 never
    // steps: it stands for no dithering.
    constexpr unsigned Quantise(unsigned v, int bits, unsigned threshold8)
    {
        const int dropped = 8 - bits;
        unsigned q = v >> dropped;
        const unsigned fraction = v & ((1u << dropped) - 1);
        const unsigned threshold = threshold8 >> (3 - dropped);  // 0..7 scaled to the dropped bits
        if (fraction > threshold && q < (1u << bits) - 1)
            ++q;
        return q;
    }

    // Each channel's share of the 16-bit value, per threshold of the 2 x 4
    // matrix: three lookups and two ORs per pixel.
    struct Pack16Table {
        uint16_t blue[8][256];
        uint16_t green[8][256];
        uint16_t red[8][256];
    };

    // Green keeps five bits in both layouts; in 5-6-5 it sits one bit higher and
    // its lowest bit stays 0, so white is 0xFFDF there.
    constexpr Pack16Table MakePack16Table(int greenShift)
    {
        Pack16Table t {};
        for (unsigned th = 0; th < 8; ++th)
            for (unsigned v = 0; v < 256; ++v) {
                const unsigned q = Quantise(v, 5, th);
                t.blue[th][v] = uint16_t(q);
                t.green[th][v] = uint16_t(q << greenShift);
                t.red[th][v] = uint16_t(q << (greenShift + 5));
            }
        return t;
    }
    constexpr Pack16Table kPack555 = MakePack16Table(5);
    constexpr Pack16Table kPack565 = MakePack16Table(6);

    inline uint16_t Pack16Inline(const Pack16Table& table, Bgr c, bool dither, int dx, int dy)
    {
        const unsigned t = dither ? dither::kBayer2x4[dy & 1][dx & 3] : 7;
        return uint16_t(table.blue[t][c.b] | table.green[t][c.g] | table.red[t][c.r]);
    }

    // Cube level of each value per threshold of the 8 x 8 matrix; threshold 63
    // never steps up (no fraction exceeds 63), so it serves without dithering.
    struct CubeTable {
        uint8_t level[64][256];
    };

    constexpr CubeTable MakeCubeTable()
    {
        CubeTable t {};
        for (unsigned th = 0; th < 64; ++th)
            for (unsigned v = 0; v < 256; ++v)
                t.level[th][v] = uint8_t(v / 51 + (th < dither::kFraction[v] ? 1 : 0));
        return t;
    }
    constexpr CubeTable kCube = MakeCubeTable();

    inline uint8_t PaletteIndexInline(Bgr c, bool dither, int dx, int dy)
    {
        if (c.b == c.g && c.g == c.r) {
            const unsigned v = c.b;
            // White has an entry of its own; dithering it would speckle white areas.
            if (v == 255)
                return dither::kWhiteIndex;
            unsigned index = dither::kFirstGray + v / 16;
            if (dither && dither::kBayer4[dy & 3][dx & 3] < (v & 15))
                ++index;
            return uint8_t(index);
        }
        const uint8_t* level = kCube.level[dither ? dither::kBayer8[dy & 7][dx & 7] : 63];
        return uint8_t(level[c.b] + 6 * level[c.g] + 36 * level[c.r]);
    }

    // Runs `store(row, column, pixel, ditherX, ditherY)` for every pixel of the
    // zoomed tile: every factor-th source pixel when reducing, each source pixel
    // `factor` times across and each source row `factor` times down otherwise.
    template <class Store>
    void WalkTile(const SourcePixels& s, const TileJob& t, const StripPixels& d, int outW, int outH,
                  Store store)
    {
        const int f = t.factor;
        for (int j = 0; j < outH; ++j) {
            const int sy = t.reduce ? t.y + j * f : t.y + j / f;
            const uint32_t* src = s.pixels + size_t(sy) * s.width + t.x;
            uint8_t* dst = d.bits + size_t(j) * d.bytesPerLine;
            const int dy = t.ditherY + j;
            if (t.reduce) {
                for (int i = 0; i < outW; ++i)
                    store(dst, i, src[size_t(i) * f], t.ditherX + i, dy);
            } else if (f == 1) {
                for (int i = 0; i < outW; ++i)
                    store(dst, i, src[i], t.ditherX + i, dy);
            } else {
                int i = 0;
                for (int k = 0; k < t.width; ++k)
                    for (int r = 0; r < f; ++r, ++i)
                        store(dst, i, src[k], t.ditherX + i, dy);
            }
        }
    }

    bool TileFits(int format, const SourcePixels& s, const TileJob& t, const StripPixels& d, int outW,
                  int outH)
    {
        if (format < 0 || format >= kFormatCount || !s.pixels || !d.bits || t.factor < 1)
            return false;
        if (t.x < 0 || t.y < 0 || t.width < 0 || t.height < 0)
            return false;
        if (int64_t(t.x) + t.width > s.width || int64_t(t.y) + t.height > s.height)
            return false;
        if (outW > d.width || outH > d.height || int64_t(d.width) * BytesPerPixel(format) > d.bytesPerLine)
            return false;
        return true;
    }

}  // namespace

std::array<uint8_t, 256> MakeGammaTable(double gamma)
{
    std::array<uint8_t, 256> table {};
    for (int i = 0; i < 256; ++i) {
        if (!(gamma >= 0.0)) {  // no correction, also for NaN
            table[i] = uint8_t(i);
            continue;
        }
        const double v = std::clamp(std::pow(i * (1.0 / 255), gamma), 0.0, 1.0);
        // The small nudge keeps exact results (gamma 1, entry 255) from
        // truncating to the value below through rounding error.
        table[i] = uint8_t(std::min(255.0, 255 * v + 1e-7));
    }
    return table;
}

uint8_t PaletteIndex(uint8_t blue, uint8_t green, uint8_t red, bool dither, int ditherX, int ditherY)
{
    return PaletteIndexInline(Bgr {blue, green, red}, dither, ditherX, ditherY);
}

uint16_t Pack16(int format, uint8_t blue, uint8_t green, uint8_t red, bool dither, int ditherX, int ditherY)
{
    return Pack16Inline(format == kFormat565 ? kPack565 : kPack555, Bgr {blue, green, red}, dither, ditherX,
                        ditherY);
}

bool ConvertTile(int format, const SourcePixels& source, const TileJob& tile, const StripPixels& strip)
{
    // Guards the multiplication below against a hostile factor.
    if (tile.factor < 1 || (!tile.reduce && int64_t(tile.width) * tile.factor > strip.width)
        || (!tile.reduce && int64_t(tile.height) * tile.factor > strip.height))
        return false;
    const int outW = ZoomedExtent(tile.width, tile.factor, tile.reduce);
    const int outH = ZoomedExtent(tile.height, tile.factor, tile.reduce);
    if (!TileFits(format, source, tile, strip, outW, outH))
        return false;

    const uint8_t* gamma = tile.gamma;
    const bool dither = tile.dither;
    switch (format) {
    case kFormat32:
        WalkTile(source, tile, strip, outW, outH, [gamma](uint8_t* row, int i, uint32_t px, int, int) {
            uint32_t v = px | 0xFF000000u;
            if (gamma) {
                const Bgr c = Channels(px, gamma);
                v = 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
            }
            std::memcpy(row + size_t(i) * 4, &v, 4);
        });
        break;
    case kFormat24:
        WalkTile(source, tile, strip, outW, outH, [gamma](uint8_t* row, int i, uint32_t px, int, int) {
            const Bgr c = Channels(px, gamma);
            uint8_t* p = row + size_t(i) * 3;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        });
        break;
    case kFormat555:
    case kFormat565: {
        const Pack16Table& table = format == kFormat565 ? kPack565 : kPack555;
        WalkTile(source, tile, strip, outW, outH,
                 [gamma, dither, &table](uint8_t* row, int i, uint32_t px, int dx, int dy) {
                     const uint16_t v = Pack16Inline(table, Channels(px, gamma), dither, dx, dy);
                     std::memcpy(row + size_t(i) * 2, &v, 2);
                 });
    } break;
    case kFormat8:
        WalkTile(source, tile, strip, outW, outH,
                 [gamma, dither](uint8_t* row, int i, uint32_t px, int dx, int dy) {
                     row[i] = PaletteIndexInline(Channels(px, gamma), dither, dx, dy);
                 });
        break;
    }
    return true;
}

}  // namespace pixelconv
