#include "report/about_picture.h"

#include <algorithm>

#include "decode/image_bitmap.h"

namespace {

uint32_t Le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

size_t RowSize(int width)
{
    return (size_t(width) + 3) / 4 * 4;
}

// The picture is small; a limit keeps a bad header from asking for much.
constexpr int32_t kMaxSide = 4096;

}  // namespace

bool LoadPackedDib8(const uint8_t* data, size_t size, CImageBitmap& image)
{
    if (!data || size < kPackedDib8PixelOffset)
        return false;
    const uint32_t headerSize = Le32(data);
    const auto width = int32_t(Le32(data + 4));
    const auto height = int32_t(Le32(data + 8));
    const uint32_t coloursUsed = Le32(data + 32);
    // Only the layout the picture is stored in: a plain header, bottom-up
    // rows (a positive height), 8 bits, no compression, a full colour table.
    if (headerSize != 40 || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide
        || Le16(data + 12) != 1 || Le16(data + 14) != 8 || Le32(data + 16) != 0
        || (coloursUsed != 0 && coloursUsed != 256))
        return false;
    const size_t rowSize = RowSize(width);
    if (size - kPackedDib8PixelOffset < rowSize * size_t(height))
        return false;
    if (!image.Create(width, height))
        return false;
    const uint8_t* colours = data + 40;
    PixelLocker lock(image);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = data + kPackedDib8PixelOffset + rowSize * size_t(height - 1 - y);
        uint32_t* dst = image.Row(y);
        for (int x = 0; x < width; ++x)
            dst[x] = Le32(colours + 4 * src[x]);
    }
    return true;
}

std::vector<uint8_t> MakePackedDib8(int width, int height, const std::array<uint32_t, 256>& colours,
                                    const std::vector<uint8_t>& indices)
{
    if (width <= 0 || height <= 0 || indices.size() != size_t(width) * size_t(height))
        return {};
    const size_t rowSize = RowSize(width);
    std::vector<uint8_t> out(kPackedDib8PixelOffset + rowSize * size_t(height), 0);
    Put32(out, 0, 40);
    Put32(out, 4, uint32_t(width));
    Put32(out, 8, uint32_t(height));
    out[12] = 1;  // planes
    out[14] = 8;  // bits per pixel
    Put32(out, 20, uint32_t(rowSize * size_t(height)));
    Put32(out, 32, 256);
    for (size_t i = 0; i < colours.size(); ++i)
        Put32(out, 40 + 4 * i, colours[i] & 0xFFFFFF);  // blue, green, red, 0 in memory
    for (int y = 0; y < height; ++y) {
        uint8_t* dst = out.data() + kPackedDib8PixelOffset + rowSize * size_t(height - 1 - y);
        std::copy_n(indices.begin() + long(size_t(y) * size_t(width)), width, dst);
    }
    return out;
}
