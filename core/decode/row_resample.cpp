#include "decode/row_resample.h"

#include <algorithm>
#include <cstring>

#include "decode/exact_divider.h"
#include "decode/image_bitmap.h"

void ConvertRow(const uint8_t* rgb, int width, uint32_t* out)
{
    for (int i = 0; i < width; ++i, rgb += 3)
        out[i] = PackPixel(rgb);
}

namespace {

void ReduceNearest(const uint8_t* rgb, int width, uint32_t* out, int length)
{
    const double step = double(width) / length;
    double position = 0;
    for (int i = 0; i < length; ++i, position += step) {
        const int source = int(position);
        out[i] = source < width ? PackPixel(rgb + 3 * source) : 0xFF000000u;
    }
}

void ReduceAverage(const uint8_t* rgb, int width, uint32_t* out, int length)
{
    const double step = double(width) / length;
    double position = 0;
    int begin = 0;
    int i = 0;
    ExactDivider divide(1);
    for (; i < length; ++i) {
        position += step;
        const int end = std::min(int(position), width);
        if (begin >= width)
            break;
        if (end > begin + 1) {
            uint32_t sum[3] = {0, 0, 0};
            for (const uint8_t* p = rgb + 3 * begin; p < rgb + 3 * end; p += 3) {
                sum[0] += p[0];
                sum[1] += p[1];
                sum[2] += p[2];
            }
            const uint32_t count = uint32_t(end - begin);
            if (divide.Divisor() != count)
                divide = ExactDivider(count);
            out[i] = 0xFF000000u | divide(sum[0]) << 16 | divide(sum[1]) << 8 | divide(sum[2]);
        } else {
            out[i] = PackPixel(rgb + 3 * begin);
        }
        begin = end;
    }
    std::fill(out + i, out + length, 0xFF000000u);
}

void ExpandNearest(const uint8_t* rgb, int width, uint32_t* out, int length)
{
    const double step = double(length) / width;
    double position = 0;
    int begin = 0;
    for (int k = 0; k < width; ++k) {
        position += step;
        // The last source pixel always reaches the end of the line.
        const int end = k == width - 1 ? length : std::min(int(position), length);
        const uint32_t pixel = PackPixel(rgb + 3 * k);
        for (int x = begin; x < end; ++x)
            out[x] = pixel;
        begin = std::max(begin, end);
    }
}

void ExpandInterpolated(const uint8_t* rgb, int width, uint32_t* out, int length)
{
    const double step = double(length) / width;
    double position = 0;  // (k - 1) x step
    for (int k = 1; k < width; ++k) {
        const int begin = int(position);
        position += step;
        const int spanEnd = int(position);
        const int span = spanEnd - begin;
        const int end = std::min(spanEnd, length);
        const uint8_t* previous = rgb + 3 * (k - 1);
        const uint8_t* current = rgb + 3 * k;
        for (int x = begin, t = 0; x < end; ++x, ++t) {
            // previous + t (current - previous) / span, truncated: the
            // numerator is never negative, so integer division truncates.
            uint32_t pixel = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const int value = (previous[c] * span + t * (current[c] - previous[c])) / span;
                pixel |= uint32_t(std::clamp(value, 0, 255)) << (16 - 8 * c);
            }
            out[x] = pixel;
        }
    }
    const uint32_t last = PackPixel(rgb + 3 * (width - 1));
    for (int x = std::max(0, int(position)); x < length; ++x)
        out[x] = last;
}

}  // namespace

void ReduceRow(const uint8_t* rgb, int width, uint32_t* out, int length, bool average)
{
    if (length <= 0 || width <= 0)
        return;
    if (average)
        ReduceAverage(rgb, width, out, length);
    else
        ReduceNearest(rgb, width, out, length);
}

void ExpandRow(const uint8_t* rgb, int width, uint32_t* out, int length, bool interpolate)
{
    if (length <= 0 || width <= 0)
        return;
    if (length == width) {
        ConvertRow(rgb, width, out);
        return;
    }
    std::fill(out, out + length, 0u);
    if (interpolate)
        ExpandInterpolated(rgb, width, out, length);
    else
        ExpandNearest(rgb, width, out, length);
}

LinePlacement PlaceOf(int line, int rotation, bool flipH, bool flipV, int displayWidth, int displayHeight)
{
    LinePlacement p;
    switch (rotation & 3) {
    case 0: p = {false, line, false}; break;
    case 1: p = {true, displayWidth - 1 - line, false}; break;
    case 2: p = {false, displayHeight - 1 - line, true}; break;
    default: p = {true, line, true}; break;
    }
    if (p.column) {
        if (flipH)
            p.index = displayWidth - 1 - p.index;
        if (flipV)
            p.reverse = !p.reverse;
    } else {
        if (flipH)
            p.reverse = !p.reverse;
        if (flipV)
            p.index = displayHeight - 1 - p.index;
    }
    return p;
}

void PlaceLine(CImageBitmap& bitmap, const LinePlacement& where, const uint32_t* pixels, int length)
{
    PixelLocker lock(bitmap);
    const int w = bitmap.Width(), h = bitmap.Height();
    if (where.column) {
        if (where.index < 0 || where.index >= w)
            return;
        const int n = std::min(length, h);
        uint32_t* p = bitmap.Pixels() + where.index;
        const ptrdiff_t stride = w;
        if (where.reverse) {
            p += (h - 1) * stride;
            for (int i = 0; i < n; ++i, p -= stride)
                *p = pixels[i];
        } else {
            for (int i = 0; i < n; ++i, p += stride)
                *p = pixels[i];
        }
        bitmap.MarkColumn(where.index);
    } else {
        if (where.index < 0 || where.index >= h)
            return;
        const int n = std::min(length, w);
        uint32_t* row = bitmap.Row(where.index);
        if (where.reverse) {
            for (int i = 0; i < n; ++i)
                row[w - 1 - i] = pixels[i];
        } else {
            std::memcpy(row, pixels, size_t(n) * sizeof(uint32_t));
        }
        bitmap.MarkRow(where.index);
    }
}
