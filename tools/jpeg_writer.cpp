#include "tools/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
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
    jpeg_compress_struct cinfo{};
    ErrorJump err{};
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
    cinfo.in_color_space = image.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (image.components == 3 && !options.subsample) {
        for (int c = 0; c < 3; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.write_JFIF_header = options.app1.empty();
    jpeg_start_compress(&cinfo, TRUE);
    for (const auto& payload : options.app1)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, payload.data(), payload.size());
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
    jpeg_decompress_struct cinfo{};
    ErrorJump err{};
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

RawImage MakePhotoLike(int width, int height, uint32_t seed, bool gray)
{
    RawImage image;
    image.width = width;
    image.height = height;
    image.components = gray ? 1 : 3;
    image.pixels.resize(size_t(width) * height * image.components);
    uint32_t state = seed * 2654435761u + 1;
    auto noise = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state & 15) - 8;
    };
    const double cx = width * 0.6, cy = height * 0.4, r = std::min(width, height) * 0.25;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.Row(y);
        for (int x = 0; x < width; ++x) {
            double sky = double(y) / height;
            int red = int(90 + 120 * sky), green = int(140 + 60 * sky), blue = int(220 - 100 * sky);
            double dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy < r * r) {
                red = 230; green = 190; blue = 60;
            }
            if (y > height * 0.7 + 0.05 * height * std::sin(x * 6.28 / width * 3)) {
                red = 60; green = 110 + (x * 40 / width); blue = 50;
            }
            const int n = noise();
            auto clamp = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            if (gray) {
                row[x] = clamp((red * 30 + green * 59 + blue * 11) / 100 + n);
            } else {
                row[3 * x] = clamp(red + n);
                row[3 * x + 1] = clamp(green + n);
                row[3 * x + 2] = clamp(blue + n);
            }
        }
    }
    return image;
}

}  // namespace jpegwriter
