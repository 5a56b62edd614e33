// Writes the About window's picture: make_about_picture OUTFILE.
// A 136 x 240 evening landscape (sky, sun, hills, a lake with the sun's
// reflection), reduced to a 256-colour table with error diffusion, stored as
// an 8-bit bottom-up packed bitmap (report/about_picture.h).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "report/about_picture.h"

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Ridge(double x, double base, double a1, double f1, double a2, double f2)
{
    return base + a1 * std::sin(x * f1) + a2 * std::sin(x * f2 + 1.3);
}

constexpr int W = kAboutPictureWidth;
constexpr int H = kAboutPictureHeight;
constexpr double kHorizon = 150;
constexpr double kSunX = 88, kSunY = 112, kSunR = 17;

Rgb Sky(double x, double y)
{
    const Rgb top {24, 30, 84}, middle {196, 92, 120}, low {255, 186, 96};
    Rgb c = y < 80 ? Mix(top, middle, y / 80) : Mix(middle, low, (y - 80) / (kHorizon - 80));
    const double d = std::hypot(x - kSunX, y - kSunY);
    if (d < kSunR)
        return {255, 240, 200};
    return Mix(c, {255, 220, 150}, std::exp(-(d - kSunR) / 14) * 0.8);
}

// The scene without the lake's reflection.
Rgb Land(double x, double y)
{
    if (y < Ridge(x, 126, 9, 0.045, 4, 0.13))
        return Sky(x, y);
    if (y < Ridge(x, 138, 6, 0.07, 3, 0.21))
        return Mix({120, 70, 110}, {90, 60, 100}, (y - 120) / 30);
    if (y < kHorizon)
        return {62, 46, 84};
    return {};
}

Rgb Pixel(int x, int y)
{
    if (y < kHorizon)
        return Land(x, y);
    // The lake mirrors the scene above the horizon, darker, with ripples.
    if (y < 200) {
        const double ripple = std::sin(y * 1.7) * 1.5;
        const Rgb mirrored = Land(std::clamp(x + ripple, 0.0, W - 1.0), 2 * kHorizon - y - 1);
        return Mix(mirrored, {30, 40, 90}, 0.35 + (y - kHorizon) / 150);
    }
    // Grass on the near shore, lighter at the top.
    const double grain = std::sin(x * 2.3 + y * 0.7) * 6;
    return Mix({70, 110, 60}, {28, 52, 30}, (y - 200) / 40.0 + grain / 100);
}

// A 6 x 7 x 6 colour cube and four greys.
std::array<uint32_t, 256> Colours()
{
    std::array<uint32_t, 256> colours {};
    int n = 0;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                colours[size_t(n++)] = uint32_t(r * 51) << 16 | uint32_t(g * 85 / 2) << 8 | uint32_t(b * 51);
    for (int grey : {64, 128, 192, 224})
        colours[size_t(n++)] = uint32_t(grey) * 0x010101u;
    return colours;
}

int Nearest(const std::array<uint32_t, 256>& colours, Rgb c)
{
    int best = 0;
    double bestDistance = 1e18;
    for (int i = 0; i < 256; ++i) {
        const uint32_t v = colours[size_t(i)];
        const double dr = c.r - double(v >> 16 & 0xFF), dg = c.g - double(v >> 8 & 0xFF),
                     db = c.b - double(v & 0xFF);
        const double distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_about_picture OUTFILE\n");
        return 2;
    }
    std::vector<Rgb> pixels(size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            pixels[size_t(y) * W + size_t(x)] = Pixel(x, y);
    // Floyd-Steinberg error diffusion onto the colour table.
    const auto colours = Colours();
    std::vector<uint8_t> indices(pixels.size());
    const auto spread = [&](int x, int y, Rgb e, double w) {
        if (x < 0 || x >= W || y >= H)
            return;
        Rgb& p = pixels[size_t(y) * W + size_t(x)];
        p = {p.r + e.r * w, p.g + e.g * w, p.b + e.b * w};
    };
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const Rgb p = pixels[size_t(y) * W + size_t(x)];
            const int i = Nearest(colours, p);
            indices[size_t(y) * W + size_t(x)] = uint8_t(i);
            const uint32_t v = colours[size_t(i)];
            const Rgb e {p.r - double(v >> 16 & 0xFF), p.g - double(v >> 8 & 0xFF), p.b - double(v & 0xFF)};
            spread(x + 1, y, e, 7.0 / 16);
            spread(x - 1, y + 1, e, 3.0 / 16);
            spread(x, y + 1, e, 5.0 / 16);
            spread(x + 1, y + 1, e, 1.0 / 16);
        }
    }
    const std::vector<uint8_t> dib = MakePackedDib8(W, H, colours, indices);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(dib.data()), std::streamsize(dib.size()));
    return out ? 0 : 1;
}
