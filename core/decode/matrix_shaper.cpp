#include "decode/matrix_shaper.h"

#include <algorithm>
#include <cmath>

#include <lcms2.h>

namespace {

using Matrix = std::array<double, 9>;

Matrix Multiply(const Matrix& a, const Matrix& b)
{
    Matrix m {};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                m[size_t(r * 3 + c)] += a[size_t(r * 3 + k)] * b[size_t(k * 3 + c)];
    return m;
}

bool Invert(const Matrix& m, Matrix& out)
{
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6])
        + m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (std::abs(det) < 1e-12)
        return false;
    out = {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
           (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
           (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
           (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
           (m[0] * m[4] - m[1] * m[3]) / det};
    return true;
}

// The colorants as the columns of the matrix from linear RGB to XYZ (D50,
// as profiles store them).
bool Colorants(cmsHPROFILE profile, Matrix& m)
{
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
        if (!xyz)
            return false;
        m[size_t(c)] = xyz->X;
        m[size_t(3 + c)] = xyz->Y;
        m[size_t(6 + c)] = xyz->Z;
    }
    return true;
}

double SrgbEncode(double v)
{
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

}  // namespace

std::unique_ptr<CMatrixShaper> CMatrixShaper::FromProfile(void* handle)
{
    auto* profile = static_cast<cmsHPROFILE>(handle);
    if (!profile || cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile))
        return nullptr;
    Matrix source {}, srgb {}, toSrgb {};
    cmsHPROFILE reference = cmsCreate_sRGBProfile();
    const bool known
        = reference && Colorants(profile, source) && Colorants(reference, srgb) && Invert(srgb, toSrgb);
    if (reference)
        cmsCloseProfile(reference);
    if (!known)
        return nullptr;
    std::unique_ptr<CMatrixShaper> shaper(new CMatrixShaper);
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int c = 0; c < 3; ++c) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
        if (!curve)
            return nullptr;
        for (int i = 0; i < 256; ++i)
            shaper->m_linear[size_t(c)][size_t(i)]
                = cmsEvalToneCurveFloat(curve, cmsFloat32Number(i / 255.0));
    }
    const Matrix m = Multiply(toSrgb, source);
    for (size_t i = 0; i < 9; ++i)
        shaper->m_matrix[i] = float(m[i]);
    shaper->m_encode.resize(kOutSteps + 1);
    for (int i = 0; i <= kOutSteps; ++i)
        shaper->m_encode[size_t(i)] = uint8_t(std::lround(SrgbEncode(double(i) / kOutSteps) * 255));
    return shaper;
}

void CMatrixShaper::Apply(uint8_t* p, int count, bool bgrx) const
{
    const int stride = bgrx ? 4 : 3, red = bgrx ? 2 : 0, blue = bgrx ? 0 : 2;
    const float* m = m_matrix.data();
    const uint8_t* encode = m_encode.data();
    // Outside the sRGB gamut a colour is clipped, as the general transform's
    // relative colorimetric rendering of a matrix-shaper profile does.
    const auto out
        = [encode](float v) { return encode[int(std::clamp(v, 0.0f, 1.0f) * float(kOutSteps) + 0.5f)]; };
    for (int i = 0; i < count; ++i, p += stride) {
        const float r = m_linear[0][p[red]], g = m_linear[1][p[1]], b = m_linear[2][p[blue]];
        p[red] = out(m[0] * r + m[1] * g + m[2] * b);
        p[1] = out(m[3] * r + m[4] * g + m[5] * b);
        p[blue] = out(m[6] * r + m[7] * g + m[8] * b);
    }
}
