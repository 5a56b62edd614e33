// True colours from embedded ICC profiles: known Display P3 and Adobe RGB
// colours reach their sRGB values within a step, CMYK files with a profile
// take its colours and without one the plain formula, and sRGB, missing,
// broken or mismatched profiles leave the pixels alone.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "decode/colour_profile.h"
#include "decode/icc_markers.h"
#include "decode/jpeg_decoder.h"
#include "decode/jpeg_source.h"
#include "tests/core/decode/decode_test_util.h"
#include "tools/icc_profiles.h"

using namespace decodetest;

namespace {

using Vec = std::array<double, 3>;
using Mat = std::array<Vec, 3>;

Vec Times(const Mat& m, const Vec& v)
{
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

Mat Inverse(const Mat& m)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
        - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
        }
    return r;
}

// Linear RGB to XYZ of primaries (x, y) with the D65 white, the textbook way.
Mat ToXyz(const std::array<std::array<double, 2>, 3>& xy)
{
    Mat p;
    for (int c = 0; c < 3; ++c) {
        p[0][c] = xy[c][0] / xy[c][1];
        p[1][c] = 1;
        p[2][c] = (1 - xy[c][0] - xy[c][1]) / xy[c][1];
    }
    const Vec white {0.3127 / 0.3290, 1, (1 - 0.3127 - 0.3290) / 0.3290};
    const Vec s = Times(Inverse(p), white);
    for (auto& row : p)
        for (int c = 0; c < 3; ++c)
            row[c] *= s[c];
    return p;
}

double SrgbDecode(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double SrgbEncode(double v)
{
    v = std::clamp(v, 0.0, 1.0);
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

const std::array<std::array<double, 2>, 3> kSrgbPrimaries {{{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}}};
const std::array<std::array<double, 2>, 3> kP3Primaries {{{0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}}};
const std::array<std::array<double, 2>, 3> kAdobePrimaries {{{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}}};

// The sRGB value of an 8-bit colour of another RGB space, worked out from
// its primaries and transfer curve.
std::array<int, 3> ExpectedSrgb(const std::array<int, 3>& in,
                                const std::array<std::array<double, 2>, 3>& primaries, bool srgbCurve,
                                double gamma = 2.2)
{
    Vec linear;
    for (int c = 0; c < 3; ++c)
        linear[size_t(c)]
            = srgbCurve ? SrgbDecode(in[size_t(c)] / 255.0) : std::pow(in[size_t(c)] / 255.0, gamma);
    const Vec out = Times(Inverse(ToXyz(kSrgbPrimaries)), Times(ToXyz(primaries), linear));
    return {int(std::lround(SrgbEncode(out[0]) * 255)), int(std::lround(SrgbEncode(out[1]) * 255)),
            int(std::lround(SrgbEncode(out[2]) * 255))};
}

std::array<int, 3> Channels(uint32_t pixel)
{
    return {int(pixel >> 16 & 255), int(pixel >> 8 & 255), int(pixel & 255)};
}

void ExpectNear(const std::array<int, 3>& got, const std::array<int, 3>& want, int tolerance)
{
    for (int c = 0; c < 3; ++c)
        EXPECT_LE(std::abs(got[size_t(c)] - want[size_t(c)]), tolerance)
            << "channel " << c << ": got " << got[size_t(c)] << ", want " << want[size_t(c)];
}

std::vector<uint8_t> Flat(const std::array<int, 3>& rgb, const std::vector<uint8_t>& profile)
{
    jpegwriter::EncodeOptions options;
    options.quality = 100;
    options.subsample = false;
    options.iccProfile = profile;
    return jpegwriter::Encode(Solid(16, 16, uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2])), options);
}

// The centre pixel of the file's display decode, at its own size or fitted
// to a smaller side (the reducing decode, which converts its lines).
uint32_t Decoded(const std::string& path, bool useProfile, int fit = 0)
{
    DecodeRequest request;
    request.path = path;
    request.targetWidth = request.targetHeight = fit;
    request.picture.useColourProfile = useProfile;
    CJpegDecoder decoder;
    EXPECT_TRUE(decoder.OpenForDisplay(request));
    EXPECT_TRUE(decoder.Decode(nullptr, nullptr));
    CImageBitmap& image = decoder.DisplayImage();
    return image.IsNull() ? 0 : image.Row(image.Height() / 2)[image.Width() / 2];
}

std::array<int, 3> ReferenceCentre(const std::vector<uint8_t>& bytes)
{
    const jpegwriter::RawImage ref = jpegwriter::DecodeReference(bytes);
    return Channels(RefPixel(ref, ref.width / 2, ref.height / 2));
}

}  // namespace

TEST(ColourProfile, KnownColoursReachTheirSrgbValues)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> profile;
        std::array<std::array<double, 2>, 3> primaries;
        bool srgbCurve;
    } cases[] = {
        {"Display P3", iccprofiles::DisplayP3(), kP3Primaries, true},
        {"Adobe RGB", iccprofiles::AdobeRgb(), kAdobePrimaries, false},
    };
    const std::array<int, 3> colours[]
        = {{200, 80, 60}, {255, 255, 255}, {0, 0, 0}, {90, 170, 120}, {128, 128, 128}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto transform = ColourTransformFor(c.profile, RowLayout::Rgb, RowLayout::Rgb);
        ASSERT_TRUE(transform);
        for (const auto& colour : colours) {
            const uint8_t in[3] = {uint8_t(colour[0]), uint8_t(colour[1]), uint8_t(colour[2])};
            uint8_t out[3];
            transform->Apply(in, out, 1);
            ExpectNear({out[0], out[1], out[2]}, ExpectedSrgb(colour, c.primaries, c.srgbCurve, 563.0 / 256),
                       1);
        }
    }
}

// Rows converted in place take the fast way through curves and a matrix; it
// stays within a step of the general transform everywhere in the cube.
TEST(ColourProfile, FastWayAgreesWithTheGeneralTransform)
{
    for (const std::vector<uint8_t>& profile : {iccprofiles::DisplayP3(), iccprofiles::AdobeRgb()}) {
        for (RowLayout layout : {RowLayout::Rgb, RowLayout::Bgrx}) {
            const auto transform = ColourTransformFor(profile, layout, layout);
            ASSERT_TRUE(transform);
            const int bytes = layout == RowLayout::Rgb ? 3 : 4;
            std::vector<uint8_t> in;
            for (int r = 0; r < 256; r += 15)
                for (int g = 0; g < 256; g += 15)
                    for (int b = 0; b < 256; b += 15) {
                        const uint8_t rgb[3] = {uint8_t(r), uint8_t(g), uint8_t(b)};
                        for (int c = 0; c < bytes; ++c)
                            in.push_back(c == 3 ? 0xFF : rgb[layout == RowLayout::Rgb ? c : 2 - c]);
                    }
            std::vector<uint8_t> general(in.size()), fast = in;
            const int pixels = int(in.size()) / bytes;
            transform->Apply(in.data(), general.data(), pixels);
            transform->Apply(fast.data(), fast.data(), pixels);
            int worst = 0;
            for (size_t i = 0; i < in.size(); ++i)
                if (i % size_t(bytes) != 3)
                    worst = std::max(worst, std::abs(int(fast[i]) - int(general[i])));
            EXPECT_LE(worst, 1);
        }
    }
}

TEST(ColourProfile, DisplayDecodeAndThumbnailShowTheConvertedColour)
{
    TempDir dir;
    // A Display P3 red, as a phone stores it.
    const auto bytes = Flat({200, 80, 60}, iccprofiles::DisplayP3());
    const std::string path = dir.Write("p3.jpg", bytes);
    const std::array<int, 3> stored = ReferenceCentre(bytes);
    const std::array<int, 3> want = ExpectedSrgb(stored, kP3Primaries, true);
    ExpectNear(Channels(Decoded(path, true)), want, 1);
    ExpectNear(Channels(Decoded(path, true, 8)), want, 1);
    ExpectNear(Channels(Decoded(path, false)), stored, 0);
    ExpectNear(Channels(Decoded(path, false, 8)), stored, 0);
    CJpegDecoder decoder;
    ASSERT_TRUE(decoder.MakeThumbnail(path, 8, false, nullptr, {false, true}));
    ExpectNear(Channels(decoder.Thumbnail().Row(4)[4]), want, 1);
}

TEST(ColourProfile, ProfilesThatChangeNothingAreLeftOut)
{
    TempDir dir;
    const std::vector<uint8_t> broken = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'I', 'C', 'C'};
    std::vector<uint8_t> truncated = iccprofiles::DisplayP3();
    truncated.resize(truncated.size() / 2);
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"none", {}},
        {"sRGB", iccprofiles::Srgb()},
        {"not a profile", broken},
        {"cut in half", truncated},
        {"CMYK profile on RGB samples", iccprofiles::Press()},
    };
    for (const auto& [name, profile] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ColourTransformFor(profile, RowLayout::Rgb, RowLayout::Rgb));
        const auto bytes = Flat({200, 80, 60}, profile);
        const std::string path = dir.Write("f.jpg", bytes);
        CJpegSource source;
        ASSERT_TRUE(source.OpenFile(path, nullptr, nullptr));
        source.SetColourManaged(true);
        ASSERT_TRUE(source.ReadHeader() && source.StartDecompress(JCS_RGB, 1));
        EXPECT_FALSE(source.ConvertsColour());
        ExpectNear(Channels(Decoded(path, true)), ReferenceCentre(bytes), 0);
        ExpectNear(Channels(Decoded(path, true, 8)), ReferenceCentre(bytes), 0);
    }
}

TEST(ColourProfile, ProfileSplitOverSeveralSegments)
{
    TempDir dir;
    const std::vector<uint8_t> big = iccprofiles::Padded(iccprofiles::DisplayP3(), 70000);
    const size_t chunks = (big.size() + 65518) / 65519;  // what one APP2 segment holds
    ASSERT_GE(chunks, 3u);
    const auto bytes = Flat({200, 80, 60}, big);
    const std::string path = dir.Write("big.jpg", bytes);
    CJpegSource source;
    ASSERT_TRUE(source.OpenFile(path, nullptr, nullptr) && source.ReadHeader());
    EXPECT_EQ(source.IccProfile(), big);
    ExpectNear(Channels(Decoded(path, true)), ExpectedSrgb(ReferenceCentre(bytes), kP3Primaries, true), 1);
    // A missing middle chunk leaves no profile, and the photo as stored.
    std::vector<uint8_t> holed = bytes;
    size_t seen = 0;
    for (size_t i = 0; i + 16 < holed.size(); ++i)
        if (holed[i] == 0xFF && holed[i + 1] == 0xE2
            && std::equal(holed.begin() + long(i) + 4, holed.begin() + long(i) + 16, "ICC_PROFILE\0")
            && ++seen == 2)
            holed[i + 17] = 9;  // the chunk's number, beyond the count
    ASSERT_EQ(seen, chunks);
    const std::string holedPath = dir.Write("holed.jpg", holed);
    ExpectNear(Channels(Decoded(holedPath, true)), ReferenceCentre(bytes), 0);
}

// A flood of APP2 segments keeps no more chunks than one profile can have,
// in file order, and no segment of another kind.
TEST(ColourProfile, FloodOfApp2SegmentsKeepsOneProfileAtMost)
{
    const std::vector<uint8_t> photo = Flat({200, 80, 60}, {});
    std::vector<uint8_t> bytes(photo.begin(), photo.begin() + 2);
    // An ICC chunk numbered n of 255, then an APP2 segment of another kind.
    const std::string segments("\xFF\xE2\x00\x10ICC_PROFILE\0n\xFF\xFF\xE2\x00\007FPXR", 27);
    for (int i = 0; i < 600; ++i) {
        bytes.insert(bytes.end(), segments.begin(), segments.end());
        bytes[bytes.size() - 11] = uint8_t(i % 255 + 1);
    }
    bytes.insert(bytes.end(), photo.begin() + 2, photo.end());
    jpeg_decompress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 2, SaveIccMarker);
    ASSERT_EQ(jpeg_read_header(&cinfo, TRUE), JPEG_HEADER_OK);
    int kept = 0;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        EXPECT_TRUE(m->data_length == 14 && m->data[12] == ++kept) << kept;
    EXPECT_EQ(kept, kMaxIccChunks);
    jpeg_destroy_decompress(&cinfo);
}

// The transforms of the profiles used last are kept and shared; older ones
// are let go, so large profiles do not pile up.
TEST(ColourProfile, TransformsKeptForTheProfilesUsedLastOnly)
{
    const std::vector<uint8_t> p3 = iccprofiles::DisplayP3();
    const std::weak_ptr<const CColourTransform> first
        = ColourTransformFor(p3, RowLayout::Rgb, RowLayout::Rgb);
    ASSERT_FALSE(first.expired());
    EXPECT_EQ(ColourTransformFor(p3, RowLayout::Rgb, RowLayout::Rgb), first.lock());
    std::shared_ptr<const CColourTransform> previous;
    for (size_t n = 1; n <= 16; ++n) {
        const auto made = ColourTransformFor(iccprofiles::Padded(p3, n), RowLayout::Rgb, RowLayout::Rgb);
        ASSERT_TRUE(made);
        EXPECT_NE(made, previous);
        previous = made;
    }
    EXPECT_TRUE(first.expired());
}

TEST(ColourProfile, CmykWithAndWithoutProfile)
{
    TempDir dir;
    // Inks as a press would lay them (cyan, magenta, yellow, black), stored
    // inverted like Adobe's files; libjpeg writes the Adobe marker.
    const double inks[] = {0.2, 0.6, 0.1, 0.1};
    jpegwriter::RawImage image;
    image.width = image.height = 16;
    image.components = 4;
    for (int i = 0; i < 16 * 16; ++i)
        for (double ink : inks)
            image.pixels.push_back(uint8_t(255 - std::lround(ink * 255)));
    jpegwriter::EncodeOptions options;
    options.quality = 100;
    options.iccProfile = iccprofiles::Press();
    const std::string withProfile = dir.Write("press.jpg", jpegwriter::Encode(image, options));
    options.iccProfile.clear();
    const std::string plain = dir.Write("plain.jpg", jpegwriter::Encode(image, options));

    double rgb[3];
    iccprofiles::PressRgb(inks, rgb);
    const std::array<int, 3> press {int(std::lround(rgb[0] * 255)), int(std::lround(rgb[1] * 255)),
                                    int(std::lround(rgb[2] * 255))};
    const auto formula = [&inks](int c) { return int(std::lround((1 - inks[c]) * (1 - inks[3]) * 255)); };
    const std::array<int, 3> naive {formula(0), formula(1), formula(2)};
    ExpectNear(Channels(Decoded(withProfile, true)), press, 3);
    ExpectNear(Channels(Decoded(withProfile, true, 8)), press, 3);
    ExpectNear(Channels(Decoded(withProfile, false)), naive, 3);
    ExpectNear(Channels(Decoded(plain, true)), naive, 3);
    CJpegDecoder decoder;
    ASSERT_TRUE(decoder.MakeThumbnail(withProfile, 8, false, nullptr, {false, true}));
    ExpectNear(Channels(decoder.Thumbnail().Row(4)[4]), press, 3);
}
