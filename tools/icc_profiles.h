#pragma once
// ICC profiles made with Little CMS 2 for the tests and the benchmarks:
// Display P3, Adobe RGB (1998), sRGB and a made-up CMYK press whose colours
// are known, so that tests can embed them in the JPEGs they write.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace iccprofiles {

std::vector<uint8_t> DisplayP3();
std::vector<uint8_t> AdobeRgb();
std::vector<uint8_t> Srgb();
// A CMYK profile whose inks give exactly PressRgb's colours (within the
// profile's grid): every ink takes away a share of its light, and black
// takes away some of all three, more of the blue.
std::vector<uint8_t> Press();
void PressRgb(const double cmyk[4], double rgb[3]);  // inks 0..1 -> sRGB 0..1
// `profile` grown past `size` bytes with a private tag, so that a JPEG
// must split it over several APP2 segments.
std::vector<uint8_t> Padded(const std::vector<uint8_t>& profile, size_t size);

}  // namespace iccprofiles
