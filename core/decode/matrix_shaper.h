#pragma once
// The fast way to sRGB for the common RGB profiles (Display P3, Adobe RGB,
// ProPhoto and the like) that are three tone curves and a matrix: each
// sample through its curve to linear light, the matrix to linear sRGB, and
// a fine table back to 8-bit sRGB. A few times faster than the general
// transform, and within a step of it.
//
// Thread rules: immutable once made; Apply may run on any number of
// threads at once.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CMatrixShaper {
public:
    // The conversion for a Little CMS profile handle (cmsHPROFILE) when the
    // profile is an RGB matrix-shaper; null otherwise.
    static std::unique_ptr<CMatrixShaper> FromProfile(void* profile);

    // Converts pixels in place: three bytes red, green, blue, or with
    // `bgrx` four bytes blue, green, red and one left alone.
    void Apply(uint8_t* pixels, int count, bool bgrx) const;

private:
    // Steps of the table from linear light back to sRGB: fine enough that
    // the darkest values, where the curve is steepest, land within a fifth
    // of a step.
    static constexpr int kOutSteps = 16384;

    CMatrixShaper() = default;

    std::array<std::array<float, 256>, 3> m_linear {};  // per channel: 8-bit sample -> linear light
    std::array<float, 9> m_matrix {};                   // linear source RGB -> linear sRGB, rows
    std::vector<uint8_t> m_encode;                      // kOutSteps + 1 entries: linear sRGB -> 8-bit
};
