// The About picture's 8-bit packed bitmap: the committed picture, the writer
// and reader against each other, and data that is not such a bitmap.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "decode/image_bitmap.h"
#include "report/about_picture.h"

namespace {

std::array<uint32_t, 256> Ramp()
{
    std::array<uint32_t, 256> colours {};
    for (uint32_t i = 0; i < 256; ++i)
        colours[i] = i << 16 | (255 - i) << 8 | (i * 7 & 0xFF);
    return colours;
}

TEST(AboutPicture, CommittedPictureIs136By240)
{
    const char* data = std::getenv("LUMVANE_TEST_DATA");
    ASSERT_NE(data, nullptr);
    std::ifstream in(std::string(data) + "/../../ui/res/images/about_picture.dib", std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CImageBitmap image;
    ASSERT_TRUE(LoadPackedDib8(bytes.data(), bytes.size(), image));
    EXPECT_EQ(image.Width(), kAboutPictureWidth);
    EXPECT_EQ(image.Height(), kAboutPictureHeight);
}

// Rows are stored bottom-up and padded to 4 bytes; the image is top-down.
TEST(AboutPicture, WriterAndReaderAgree)
{
    const std::vector<uint8_t> indices = {1, 2, 3, 250, 251, 252};  // 3 x 2, top row first
    const auto dib = MakePackedDib8(3, 2, Ramp(), indices);
    ASSERT_EQ(dib.size(), kPackedDib8PixelOffset + 2 * 4);
    EXPECT_EQ(dib[kPackedDib8PixelOffset], 250) << "the first stored row is the bottom one";
    CImageBitmap image;
    ASSERT_TRUE(LoadPackedDib8(dib.data(), dib.size(), image));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(image.Row(y)[x], Ramp()[indices[size_t(y * 3 + x)]]) << x << "," << y;
    EXPECT_TRUE(MakePackedDib8(3, 2, Ramp(), {1, 2}).empty());
}

struct BadCase {
    const char* name;
    size_t offset;  // byte to change; SIZE_MAX: cut the data instead
    uint8_t value;
    size_t keep;
};

void PrintTo(const BadCase& c, std::ostream* os)
{
    *os << c.name;
}

const BadCase kBadCases[] = {
    {"HeaderCut", SIZE_MAX, 0, 30},
    {"ColoursCut", SIZE_MAX, 0, 500},
    {"RowsCut", SIZE_MAX, 0, kPackedDib8PixelOffset + 5},
    {"HeaderSize", 0, 12, 0},
    {"TopDown", 11, 0xFF, 0},  // a negative height
    {"ZeroWidth", 4, 0, 0},
    {"HugeWidth", 7, 0x7F, 0},
    {"FourBits", 14, 4, 0},
    {"Compressed", 16, 1, 0},
    {"SixteenColours", 32, 16, 0},
};

class AboutPictureBad : public testing::TestWithParam<BadCase> {};

TEST_P(AboutPictureBad, IsRefusedAndLeavesTheImageEmpty)
{
    const BadCase& c = GetParam();
    auto dib = MakePackedDib8(3, 2, Ramp(), {1, 2, 3, 4, 5, 6});
    if (c.offset == SIZE_MAX)
        dib.resize(c.keep);
    else
        dib[c.offset] = c.value;
    CImageBitmap image;
    EXPECT_FALSE(LoadPackedDib8(dib.data(), dib.size(), image));
    EXPECT_TRUE(image.IsNull());
}

INSTANTIATE_TEST_SUITE_P(Cases, AboutPictureBad, testing::ValuesIn(kBadCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
