// The lossless transform: pixels against the original's decode turned in the
// test, refusals that leave the file as it was, and the metadata it changes.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <QDir>

#include "decode/exif_reader.h"
#include "tests/core/decode/decode_test_util.h"
#include "tools/exif_builder.h"
#include "transform/coefficient_transform.h"
#include "transform/file_transform.h"
#include "transform/transform_batch.h"

namespace {

using jpegwriter::RawImage;
using Outcome = TransformResult::Outcome;

struct Frame {
    const char* name;
    int width, height;
    int components;
    bool subsample, vertically, progressive;
    int restartRows;
};

// Multiples of the MCU, then sizes with partial edge blocks.
constexpr Frame kFrames[] = {
    {"420", 64, 48, 3, true, true, false, 0},
    {"422", 48, 32, 3, true, false, false, 0},
    {"444", 40, 24, 3, false, false, false, 0},
    {"grey", 24, 40, 1, false, false, false, 0},
    {"progressive", 64, 32, 3, true, true, true, 0},
    {"restarts", 48, 48, 3, true, true, false, 1},
    {"odd420", 61, 37, 3, true, true, false, 0},
    {"odd444", 29, 19, 3, false, false, false, 0},
    {"oddprogressive", 45, 21, 3, true, false, true, 0},
};

constexpr TransformOp kOps[]
    = {TransformOp::Rotate90, TransformOp::Rotate180, TransformOp::Rotate270, TransformOp::FlipH,
       TransformOp::FlipV,    TransformOp::Transpose, TransformOp::Transverse};

std::vector<uint8_t> Encode(const Frame& f, const jpegwriter::EncodeOptions& base = {})
{
    jpegwriter::EncodeOptions options = base;
    options.subsample = f.subsample;
    options.subsampleVertically = f.vertically;
    options.progressive = f.progressive;
    options.restartRows = f.restartRows;
    return jpegwriter::Encode(jpegwriter::MakePhotoLike(f.width, f.height, 7, f.components == 1), options);
}

// The reference decode as 32-bit pixels, cut to width x height, then turned.
std::vector<uint32_t> Turned(const RawImage& image, int width, int height, const Orientation& turn, int& w,
                             int& h)
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = image.Row(y) + x * 3;
            pixels.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
        }
    w = width;
    h = height;
    OrientPixels(pixels, w, h, turn);
    return pixels;
}

// The largest difference of one channel, away from a trimmed edge where the
// chroma upsampling had a neighbour before and has none after.
int LargestDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    int worst = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int(a[i] >> shift & 255) - int(b[i] >> shift & 255)));
    return worst;
}

// Every operation on every frame: the result decodes to the original's
// decode turned by the same operation (with edges trimmed where they would
// move). The integer IDCT and the chroma upsampling round a turned block a
// little differently, hence one step of tolerance.
TEST(LosslessTransform, PixelsAreTheOriginalsTurned)
{
    for (const Frame& frame : kFrames) {
        const std::vector<uint8_t> jpeg = Encode(frame);
        const RawImage original = jpegwriter::DecodeReference(jpeg);
        CCoefficientTransform probe;
        ASSERT_TRUE(probe.Open(jpeg.data(), jpeg.size()));
        for (TransformOp op : kOps) {
            SCOPED_TRACE(std::string(frame.name) + " op " + std::to_string(int(op)));
            const bool edgesMove = PartialEdgesMove(probe.Frame(), OrientationOf(op));
            EXPECT_EQ(TransformJpeg(jpeg, op, EdgeAnswer::Refuse).outcome,
                      edgesMove ? Outcome::Refused : Outcome::Done);
            const TransformResult r = TransformJpeg(jpeg, op, EdgeAnswer::Trim);
            ASSERT_EQ(r.outcome, Outcome::Done) << r.reason;
            int w = 0, h = 0;
            const bool quarter = Compose(OrientationOf(op), {}).rotation & 1;
            const int keptW = quarter ? r.height : r.width, keptH = quarter ? r.width : r.height;
            const auto want = Turned(original, keptW, keptH, OrientationOf(op), w, h);
            ASSERT_EQ(std::make_pair(w, h), std::make_pair(r.width, r.height));
            const RawImage got = jpegwriter::DecodeReference(r.jpeg);
            int gw = 0, gh = 0;
            EXPECT_LE(LargestDifference(Turned(got, got.width, got.height, {}, gw, gh), want),
                      edgesMove ? 16 : 3);
        }
    }
}

// The check of a result before it replaces a file reads every scan: a
// stream cut short or broken inside its entropy data fails, and so does one
// of another size, baseline or progressive.
TEST(LosslessTransform, CheckOfTheResultReadsEveryScan)
{
    struct Damage {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> apply;
        int widthOff;
        bool passes;
    };
    const Damage kDamages[] = {
        {"whole", [](std::vector<uint8_t>&) {}, 0, true},
        {"cut", [](std::vector<uint8_t>& j) { j.resize(j.size() * 3 / 4); }, 0, false},
        {"end inside the scan",
         [](std::vector<uint8_t>& j) {
             j[j.size() * 3 / 4] = 0xFF;
             j[j.size() * 3 / 4 + 1] = 0xD9;
         },
         0, false},
        {"other size", [](std::vector<uint8_t>&) {}, 16, false},
    };
    for (const Frame& frame : {kFrames[0], kFrames[4]})
        for (const Damage& row : kDamages) {
            SCOPED_TRACE(std::string(frame.name) + " " + row.name);
            const TransformResult r = TransformJpeg(Encode(frame), TransformOp::Rotate90, EdgeAnswer::Refuse);
            ASSERT_EQ(r.outcome, Outcome::Done) << r.reason;
            std::vector<uint8_t> bytes = r.jpeg;
            row.apply(bytes);
            EXPECT_EQ(JpegDecodesCleanly(bytes.data(), bytes.size(), r.width + row.widthOff, r.height),
                      row.passes);
        }
}

struct Refusal {
    const char* name;
    const char* reason;  // part of the reason given
    // Prepares the folder and the file; returns the options to run with.
    std::function<FileTransformOptions(const std::string& dir, const std::string& path)> setUp;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> HostileExif(bool loop)
{
    // IFD1 linked back to IFD0, or a thumbnail past the block's end.
    exifbuilder::RawTiff t(exifbuilder::Order::Little, 64);
    t.Directory(8, 2, loop ? 8 : 40);
    t.Field(10, 274, 3, 1, 6);
    t.Field(22, 513, 4, 1, 60000);
    if (!loop) {
        t.Directory(40, 2, 0);
        t.Field(42, 513, 4, 1, 60000);
        t.Field(54, 514, 4, 1, 100);
    }
    jpegwriter::EncodeOptions options;
    options.app1.push_back(t.Payload());
    return Encode(kFrames[0], options);
}

// Each refusal leaves the original byte for byte and no temporary file.
TEST(LosslessTransform, RefusalLeavesTheFileAsItWas)
{
    const std::vector<uint8_t> photo = Encode(kFrames[0]);
    const auto plain = [](const std::string&, const std::string&) { return FileTransformOptions {}; };
    std::vector<uint8_t> cut(photo.begin(), photo.begin() + long(photo.size() / 3));
    std::vector<uint8_t> trailer = photo;
    trailer.insert(trailer.end(), {0xFF, 0xD8, 'M', 'P'});
    const Refusal kRefusals[] = {
        {"not a JPEG", "not a JPEG", plain, std::vector<uint8_t>(4000, 'x')},
        {"cut short", "Premature end", plain, cut},
        {"second image", "after the end of its picture", plain, trailer},
        {"edges", "61x37 is not a whole number of 16x16", plain, Encode(kFrames[6])},
        {"exif loop", "Exif block is damaged", plain, HostileExif(true)},
        {"thumbnail outside", "thumbnail lies outside", plain, HostileExif(false)},
        {"read-only file", "file is read-only",
         [](const std::string&, const std::string& p) {
             ::chmod(p.c_str(), 0444);
             return FileTransformOptions {};
         },
         photo},
        {"read-only folder", "folder is read-only",
         [](const std::string& d, const std::string&) {
             ::chmod(d.c_str(), 0555);
             return FileTransformOptions {};
         },
         photo},
        {"changed meanwhile", "changed while",
         [](const std::string&, const std::string& p) {
             FileTransformOptions o;
             o.cancelled = [p] {
                 ::truncate(p.c_str(), 100);
                 return false;
             };
             return o;
         },
         photo},
        {"disk full", "can't be written",
         [](const std::string&, const std::string&) {
             // A file size limit makes the write fail like a full disk.
             ::signal(SIGXFSZ, SIG_IGN);
             rlimit limit {1000, RLIM_INFINITY};
             ::setrlimit(RLIMIT_FSIZE, &limit);
             return FileTransformOptions {};
         },
         photo},
    };
    for (const Refusal& row : kRefusals) {
        SCOPED_TRACE(row.name);
        decodetest::TempDir dir;
        const std::string path = dir.Write("photo.jpg", row.bytes);
        const std::string folder = dir.Path("");
        FileTransformOptions options = row.setUp(folder, path);
        options.op = TransformOp::Rotate90;
        const FileTransformResult r = TransformFile(path, options);
        rlimit none {RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &none);
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(r.outcome, FileTransformResult::Outcome::Refused);
        EXPECT_NE(r.reason.find(row.reason), std::string::npos) << r.reason;
        if (std::string(row.name) != "changed meanwhile") {
            EXPECT_EQ(jpegwriter::ReadFile(path), row.bytes);
        }
        EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

std::vector<uint8_t> Thumbnail(const std::vector<uint8_t>& jpeg)
{
    CExifReader exif;
    CCoefficientTransform t;
    t.Open(jpeg.data(), jpeg.size());
    for (const JpegMarker& m : t.Markers())
        if (m.code == 0xE1)
            exif.ParseApp1(m.data.data(), m.data.size());
    uint32_t offset = 0, length = 0;
    for (const ExifEntry& e : exif.Ifd1Dir().entries) {
        if (e.tag == 513)
            offset = e.values.at(0).unsignedValue;
        if (e.tag == 514)
            length = e.values.at(0).unsignedValue;
    }
    const auto& tiff = exif.TiffData();
    return offset + length <= tiff.size()
        ? std::vector<uint8_t>(tiff.begin() + offset, tiff.begin() + offset + length)
        : std::vector<uint8_t>();
}

// Apply the Exif orientation to a photo stored turned (tag 6, both byte
// orders): the pixels go upright, the tag becomes 1, the sizes follow, the
// thumbnail turns too, XMP follows, and the other markers stay as they were.
TEST(LosslessTransform, MetadataFollowsTheTurn)
{
    for (auto order : {exifbuilder::Order::Big, exifbuilder::Order::Little}) {
        exifbuilder::Builder b(order);
        b.Ascii(exifbuilder::Ifd0, 271, "Maker").Short(exifbuilder::Ifd0, 274, {6});
        b.Long(exifbuilder::Exif, 0xA002, {64}).Short(exifbuilder::Exif, 0xA003, {48});
        b.Thumbnail(jpegwriter::Encode(jpegwriter::MakePhotoLike(40, 24, 3)));  // 4:2:0, partial rows
        jpegwriter::EncodeOptions options;
        options.app1.push_back(b.Build());
        const std::string xmp
            = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x tiff:Orientation=\"6\"/>";
        options.app1.emplace_back(xmp.begin(), xmp.end());
        options.comments = {"kept"};
        options.iccProfile.assign(300, 7);
        const std::vector<uint8_t> jpeg = Encode(kFrames[0], options);

        const TransformResult r = TransformJpeg(jpeg, TransformOp::ApplyExif, EdgeAnswer::Refuse);
        ASSERT_EQ(r.outcome, Outcome::Done) << r.reason;
        EXPECT_EQ(std::make_pair(r.width, r.height), std::make_pair(48, 64));
        CCoefficientTransform before, after;
        before.Open(jpeg.data(), jpeg.size());
        after.Open(r.jpeg.data(), r.jpeg.size());
        ASSERT_EQ(after.Markers().size(), before.Markers().size());
        CExifReader exif;
        exif.ParseApp1(after.Markers()[0].data.data(), after.Markers()[0].data.size());
        EXPECT_EQ(ExifOrientationTag(exif), 1);
        EXPECT_EQ(exif.ExifDir().entries.at(0).values.at(0).unsignedValue, 48u);
        EXPECT_EQ(exif.ExifDir().entries.at(1).values.at(0).unsignedValue, 64u);
        const RawImage thumb = jpegwriter::DecodeReference(Thumbnail(r.jpeg));
        EXPECT_EQ(std::make_pair(thumb.width, thumb.height), std::make_pair(16, 40));
        const std::string newXmp(after.Markers()[1].data.begin(), after.Markers()[1].data.end());
        EXPECT_NE(newXmp.find("tiff:Orientation=\"1\""), std::string::npos);
        EXPECT_EQ(after.Markers()[2], before.Markers()[2]);  // ICC
        EXPECT_EQ(after.Markers()[3], before.Markers()[3]);  // COM
        // Applying it again is no change; a partial edge kept by the tag
        // leaves the pixels and writes the composed orientation.
        EXPECT_EQ(TransformJpeg(r.jpeg, TransformOp::ApplyExif, EdgeAnswer::Refuse).outcome,
                  Outcome::Unchanged);
        const TransformResult tagged
            = TransformJpeg(Encode(kFrames[6], options), TransformOp::Rotate90, EdgeAnswer::Tag);
        ASSERT_EQ(tagged.outcome, Outcome::Done);
        CCoefficientTransform t;
        t.Open(tagged.jpeg.data(), tagged.jpeg.size());
        CExifReader composed;
        composed.ParseApp1(t.Markers()[0].data.data(), t.Markers()[0].data.size());
        EXPECT_EQ(ExifOrientationTag(composed), 3);  // a quarter turn, then another
        EXPECT_EQ(std::make_pair(tagged.width, tagged.height), std::make_pair(61, 37));
    }
}

// Workers of a batch ask about partial edges one at a time (the window's
// question is asked once), and the answer is what they do.
TEST(TransformBatch, AsksAboutPartialEdgesOneAtATime)
{
    decodetest::TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i)
        paths.push_back(dir.Write("p" + std::to_string(i) + ".jpg", Encode(kFrames[i % 2 ? 6 : 0])));
    std::atomic<int> asked {0}, inside {0};
    std::atomic<bool> overlapped {false};
    FileTransformOptions options;
    options.op = TransformOp::Rotate90;
    options.askEdges = [&](const std::string&) {
        if (++inside > 1)
            overlapped = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // room for another worker to come in
        --inside;
        ++asked;
        return EdgeAnswer::Trim;
    };
    const TransformBatchResult r = TransformFiles(paths, options, 4);
    EXPECT_EQ(r.done, 4u);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(overlapped);
}

}  // namespace
