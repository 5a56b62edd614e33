#pragma once
// Encodes pixels to JPEG with libjpeg, for the sample maker, the benchmarks
// and the tests: they make their own test data.

#include <cstdint>
#include <string>
#include <vector>

namespace jpegwriter {

struct RawImage {
    int width = 0;
    int height = 0;
    int components = 3;           // 3: RGB, 1: gray, 4: CMYK (written as is, with the Adobe marker)
    std::vector<uint8_t> pixels;  // rows top-down, no padding
    uint8_t* Row(int y) { return pixels.data() + size_t(y) * width * components; }
    const uint8_t* Row(int y) const { return pixels.data() + size_t(y) * width * components; }
};

// One scan of a progressive script: the components it carries (indices),
// its band of zigzag coefficients and its successive approximation bits.
struct Scan {
    std::vector<int> components;
    int ss = 0, se = 0, ah = 0, al = 0;
};

struct EncodeOptions {
    int quality = 90;
    bool progressive = false;
    bool subsample = true;                   // 4:2:0 chroma when true, 4:4:4 otherwise
    bool subsampleVertically = true;         // with subsample: false gives 4:2:2
    std::vector<Scan> scans;                 // a progressive script of our own (empty: the library's)
    int restartRows = 0;                     // a restart marker every this many block rows (0: none)
    std::vector<std::vector<uint8_t>> app1;  // APP1 payloads, identifier included
    std::vector<std::string> comments;       // COM segments, in order
    std::vector<uint8_t> iccProfile;         // APP2 ICC_PROFILE chunks (split by the library past 64 KiB)
};

std::vector<uint8_t> Encode(const RawImage& image, const EncodeOptions& options = {});

// The library's own RGB (or gray) output of a JPEG, for exact comparisons.
// Empty image when the data can't be decoded.
RawImage DecodeReference(const std::vector<uint8_t>& jpeg, int scaleDenom = 1);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);

// A landscape with some texture (sky gradient with sun and clouds, hills, a
// meadow, fine grain), the same for the same arguments. Empty when a side is
// not positive.
RawImage MakePhotoLike(int width, int height, uint32_t seed = 1, bool gray = false);

}  // namespace jpegwriter
