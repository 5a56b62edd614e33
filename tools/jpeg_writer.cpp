#include "tools/jpeg_writer.h"

#include <csetjmp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <fstream>
#include <iterator>

#include <jpeglib.h>

namespace jpegwriter {
namespace {

    struct ErrorJump {
        jpeg_error_mgr mgr;
        std::jmp_buf jump;
    };

    void OnError(j_common_ptr cinfo)
    {
        std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
    }

    void Silent(j_common_ptr) {}

}  // namespace

std::vector<uint8_t> Encode(const RawImage& image, const EncodeOptions& options)
{
    // Made before the jump target below, and read until the compression ends.
    std::vector<jpeg_scan_info> script;
    for (const Scan& scan : options.scans) {
        jpeg_scan_info info {};
        info.comps_in_scan = int(std::min<size_t>(scan.components.size(), MAX_COMPS_IN_SCAN));
        for (int i = 0; i < info.comps_in_scan; ++i)
            info.component_index[i] = scan.components[size_t(i)];
        info.Ss = scan.ss;
        info.Se = scan.se;
        info.Ah = scan.ah;
        info.Al = scan.al;
        script.push_back(info);
    }
    jpeg_compress_struct cinfo {};
    ErrorJump err {};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnError;
    err.mgr.output_message = Silent;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(out);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = image.width;
    cinfo.image_height = image.height;
    cinfo.input_components = image.components;
    cinfo.in_color_space = image.components == 1 ? JCS_GRAYSCALE : image.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (image.components == 3 && !options.subsample) {
        for (int c = 0; c < 3; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (image.components == 3 && options.subsample && !options.subsampleVertically)
        cinfo.comp_info[0].v_samp_factor = 1;
    cinfo.restart_in_rows = options.restartRows;
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    if (!script.empty()) {
        cinfo.scan_info = script.data();
        cinfo.num_scans = int(script.size());
    }
    cinfo.write_JFIF_header = options.app1.empty();
    jpeg_start_compress(&cinfo, TRUE);
    for (const auto& payload : options.app1)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, payload.data(), payload.size());
    if (!options.iccProfile.empty())
        jpeg_write_icc_profile(&cinfo, options.iccProfile.data(), unsigned(options.iccProfile.size()));
    for (const auto& text : options.comments)
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(text.data()), text.size());
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.Row(cinfo.next_scanline));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

RawImage DecodeReference(const std::vector<uint8_t>& jpeg, int scaleDenom)
{
    jpeg_decompress_struct cinfo {};
    ErrorJump err {};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnError;
    err.mgr.output_message = Silent;
    RawImage image;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom = scaleDenom;
    jpeg_start_decompress(&cinfo);
    image.width = cinfo.output_width;
    image.height = cinfo.output_height;
    image.components = 3;
    image.pixels.resize(size_t(image.width) * image.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.Row(cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

namespace {

    // Deterministic pseudo-random numbers (xorshift), so samples and tests are
    // the same on every run.
    struct Random {
        uint32_t state;
        explicit Random(uint32_t seed) : state(seed * 2654435761u + 0x9e3779b9u)
        {
            if (!state)
                state = 1;
        }
        uint32_t Next()
        {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            return state;
        }
        float Unit() { return float(Next() & 0xffffff) / float(0x1000000); }
    };

    // Smooth 2-D value noise: random values on a coarse lattice, interpolated.
    class ValueNoise {
    public:
        ValueNoise(int width, int height, float cell, Random& random)
            : m_cell(cell < 1 ? 1 : cell), m_cols(int(width / m_cell) + 3), m_rows(int(height / m_cell) + 3),
              m_values(size_t(m_cols) * m_rows)
        {
            for (float& v : m_values)
                v = random.Unit();
        }
        float At(float x, float y) const
        {
            const float fx = x / m_cell, fy = y / m_cell;
            const int ix = int(fx), iy = int(fy);
            const float tx = Smooth(fx - ix), ty = Smooth(fy - iy);
            const float* r0 = &m_values[size_t(iy) * m_cols + ix];
            const float* r1 = r0 + m_cols;
            const float top = r0[0] + (r0[1] - r0[0]) * tx;
            const float bottom = r1[0] + (r1[1] - r1[0]) * tx;
            return top + (bottom - top) * ty;
        }

    private:
        static float Smooth(float t) { return t * t * (3 - 2 * t); }
        float m_cell;
        int m_cols, m_rows;
        std::vector<float> m_values;
    };

    struct Rgb {
        float r, g, b;
    };

    Rgb Mix(Rgb a, Rgb b, float t)
    {
        return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
    }

    float Clamp01(float t)
    {
        return t < 0 ? 0 : t > 1 ? 1 : t;
    }

    float SmoothStep(float lo, float hi, float x)
    {
        const float t = Clamp01((x - lo) / (hi - lo));
        return t * t * (3 - 2 * t);
    }

    // One layer of hills: its ridge line, one height per column.
    std::vector<float> Ridge(int width, float base, float amplitude, float scale, Random& random)
    {
        const float phase1 = random.Unit() * 6.283f, phase2 = random.Unit() * 6.283f;
        const float f1 = 1.5f + random.Unit() * 1.5f, f2 = 4.0f + random.Unit() * 3.0f;
        std::vector<float> ridge(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x) {
            const float u = float(x) / scale;
            ridge[size_t(x)] = base
                - amplitude
                    * (0.6f * std::sin(u * f1 + phase1) + 0.3f * std::sin(u * f2 + phase2)
                       + 0.1f * std::sin(u * 17.0f + phase1 * 3));
        }
        return ridge;
    }

    // The colour of one pixel of the landscape: sky with sun and clouds, a far
    // range of hazy mountains, green hills and a meadow in front.
    struct Landscape {
        int width, height;
        float size;  // the shorter side: features keep their proportions
        float horizon;
        float sunX, sunY, sunRadius;
        std::vector<float> farRidge, nearRidge;
        ValueNoise clouds, coarse, fine;

        Landscape(int w, int h, Random& random)
            : width(w), height(h), size(float(std::min(w, h))), horizon(h * (0.52f + 0.08f * random.Unit())),
              sunX(w * (0.2f + 0.6f * random.Unit())), sunY(horizon * (0.3f + 0.3f * random.Unit())),
              sunRadius(size * 0.045f),
              farRidge(Ridge(w, horizon - size * 0.08f, size * 0.09f, size * 0.9f, random)),
              nearRidge(Ridge(w, horizon + size * 0.04f, size * 0.05f, size * 1.6f, random)),
              clouds(w, h * 3, size * 0.12f, random),  // sampled at y * 2.2
              coarse(w, h, size * 0.05f, random), fine(w, h, std::max(2.0f, size * 0.006f), random)
        {
        }

        Rgb Sky(float x, float y) const
        {
            const float t = std::pow(Clamp01(y / horizon), 0.8f);
            Rgb c = Mix({38, 88, 178}, {196, 218, 238}, t);
            const float dx = x - sunX, dy = y - sunY;
            const float d = std::sqrt(dx * dx + dy * dy);
            c = Mix(c, {255, 226, 170}, 0.55f * std::exp(-d / (sunRadius * 4)));
            const float cloud
                = SmoothStep(0.5f, 0.78f, 0.65f * clouds.At(x, y * 2.2f) + 0.35f * coarse.At(x, y));
            c = Mix(c,
                    Mix({252, 252, 254}, {170, 178, 196},
                        Clamp01(clouds.At(x, y * 2.2f + size * 0.05f) * 1.4f - 0.4f)),
                    cloud * (1 - 0.6f * t));
            return Mix(c, {255, 248, 222}, SmoothStep(sunRadius, sunRadius * 0.92f, d));
        }

        Rgb At(int ix, int iy) const
        {
            const float x = float(ix), y = float(iy);
            const float nearTop = nearRidge[size_t(ix)], farTop = farRidge[size_t(ix)];
            if (y < farTop)
                return Sky(x, y);
            const float texture = fine.At(x, y), shade = coarse.At(x, y);
            if (y < nearTop) {
                // Far mountains fade into the haze towards their foot.
                const float depth = Clamp01((y - farTop) / (nearTop - farTop + 1));
                Rgb rock = Mix({92, 108, 140}, {128, 146, 170}, 0.5f * shade + 0.3f * texture);
                return Mix(rock, {176, 196, 220}, 0.25f + 0.45f * depth);
            }
            const float below = (y - nearTop) / (height - nearTop + 1);
            Rgb grass = Mix({86, 140, 58}, {52, 98, 40}, Clamp01(shade * 1.2f - 0.1f));
            grass
                = Mix(grass, {150, 160, 70}, SmoothStep(0.55f, 0.85f, coarse.At(x * 0.5f, y * 0.5f)) * 0.6f);
            // Sunlit crest, deeper and more textured grass in front.
            grass = Mix(grass, {170, 190, 110}, 0.35f * SmoothStep(size * 0.02f, 0.0f, y - nearTop));
            const float blades = 0.7f + 0.6f * texture;
            const float front = 0.85f + 0.3f * below;
            return {grass.r * blades * front * (1 - 0.25f * below),
                    grass.g * blades * front * (1 - 0.15f * below), grass.b * blades * (1 - 0.3f * below)};
        }
    };

    uint8_t Byte(float v)
    {
        return uint8_t(v < 0 ? 0 : v > 255 ? 255 : int(v + 0.5f));
    }

}  // namespace

RawImage MakePhotoLike(int width, int height, uint32_t seed, bool gray)
{
    RawImage image;
    if (width <= 0 || height <= 0)
        return image;
    image.width = width;
    image.height = height;
    image.components = gray ? 1 : 3;
    image.pixels.resize(size_t(width) * height * image.components);
    Random random(seed);
    const Landscape scene(width, height, random);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.Row(y);
        for (int x = 0; x < width; ++x) {
            const Rgb c = scene.At(x, y);
            // A little sensor grain, as a camera would leave.
            const float grain = float(int(random.Next() & 7) - 4);
            if (gray) {
                row[x] = Byte(0.30f * c.r + 0.59f * c.g + 0.11f * c.b + grain);
            } else {
                row[3 * x] = Byte(c.r + grain);
                row[3 * x + 1] = Byte(c.g + grain);
                row[3 * x + 2] = Byte(c.b + grain);
            }
        }
    }
    return image;
}

}  // namespace jpegwriter
