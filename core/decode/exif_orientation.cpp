#include "decode/exif_orientation.h"

#include <algorithm>
#include <array>
#include <utility>

#include "decode/exif_reader.h"

namespace {

constexpr uint16_t kTagOrientation = 274;

// The value of an integer entry of type SHORT, LONG, SSHORT or SLONG;
// anything else (or a negative value) gives 0. Cameras are known to write
// Orientation as a LONG or a signed type, and other readers accept those.
int64_t IntegerOf(const ExifEntry& e)
{
    if (e.values.empty())
        return 0;
    switch (e.type) {
    case 3:
    case 4: return e.values[0].unsignedValue;
    case 8:
    case 9: return std::max(e.values[0].signedValue, 0);
    default: return 0;
    }
}

// What each tag value asks for, from value 1 to 8: as stored; mirrored; a
// half turn; upside-down mirror; transposed (a quarter turn clockwise, then
// mirrored); a quarter turn clockwise; transversed (a quarter turn clockwise,
// then upside-down); a quarter turn counter-clockwise.
constexpr std::array<Orientation, 8> kUpright = {{
    {0, false, false},
    {0, true, false},
    {2, false, false},
    {0, false, true},
    {1, true, false},
    {1, false, false},
    {1, false, true},
    {3, false, false},
}};

// An orientation as the 2 x 2 integer matrix it applies to offsets from the
// picture's centre (x to the right, y down).
struct Matrix {
    int a, b, c, d;  // x' = a x + b y, y' = c x + d y
    bool operator==(const Matrix&) const = default;
};

Matrix Multiply(const Matrix& m, const Matrix& n)
{
    return {m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d, m.c * n.a + m.d * n.c, m.c * n.b + m.d * n.d};
}

Matrix MatrixOf(const Orientation& o)
{
    // A quarter turn clockwise takes the right (1, 0) to the bottom (0, 1).
    constexpr Matrix kQuarter {0, -1, 1, 0};
    Matrix m {1, 0, 0, 1};
    for (int i = 0; i < (o.rotation & 3); ++i)
        m = Multiply(kQuarter, m);
    if (o.flipHorizontally)
        m = Multiply({-1, 0, 0, 1}, m);
    if (o.flipVertically)
        m = Multiply({1, 0, 0, -1}, m);
    return m;
}

}  // namespace

int ExifOrientationTag(const CExifReader& exif)
{
    for (const ExifEntry& e : exif.Ifd0Dir().entries) {
        if (e.tag != kTagOrientation)
            continue;
        // The first Orientation entry decides, as a reader of the file would
        // take it; a damaged one means "as stored".
        const int64_t value = IntegerOf(e);
        return value >= 1 && value <= 8 ? int(value) : 0;
    }
    return 0;
}

Orientation UprightOf(int tag)
{
    return tag >= 1 && tag <= 8 ? kUpright[size_t(tag - 1)] : Orientation {};
}

Orientation Compose(const Orientation& first, const Orientation& then)
{
    const Matrix both = Multiply(MatrixOf(then), MatrixOf(first));
    for (int rotation = 0; rotation < 4; ++rotation)
        for (bool flip : {false, true})
            if (MatrixOf({rotation, flip, false}) == both)
                return {rotation, flip, false};
    return {};  // unreachable: the eight cover the whole group
}

void OrientPixels(std::vector<uint32_t>& pixels, int& width, int& height, const Orientation& o)
{
    if (o == Orientation {} || width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height))
        return;
    const Matrix m = MatrixOf(o);
    const bool quarter = m.a == 0;
    const int w = quarter ? height : width, h = quarter ? width : height;
    std::vector<uint32_t> out(size_t(w) * size_t(h));
    // Doubled offsets from the centre keep the arithmetic in integers.
    for (int y = 0; y < height; ++y) {
        const int cy = 2 * y + 1 - height;
        for (int x = 0; x < width; ++x) {
            const int cx = 2 * x + 1 - width;
            const int tx = (m.a * cx + m.b * cy + w - 1) / 2, ty = (m.c * cx + m.d * cy + h - 1) / 2;
            out[size_t(ty) * size_t(w) + size_t(tx)] = pixels[size_t(y) * size_t(width) + size_t(x)];
        }
    }
    pixels = std::move(out);
    width = w;
    height = h;
}
