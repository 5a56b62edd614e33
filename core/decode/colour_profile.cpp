#include "decode/colour_profile.h"

#include <array>
#include <cstdlib>
#include <list>
#include <mutex>
#include <tuple>
#include <utility>

#include <QByteArray>
#include <QCryptographicHash>
#include <QLoggingCategory>

#include <lcms2.h>

#include "decode/matrix_shaper.h"

Q_LOGGING_CATEGORY(lcColour, "lumvane.decode.colour", QtWarningMsg)

namespace {

// Samples of the cube that tell an sRGB profile (or one as good as sRGB)
// from any other: if each comes back within one step, the transform is
// left out.
constexpr int kProbeSteps = 6;

// Transforms kept for reuse: enough for the profiles of one folder's cameras
// and editors, few enough that large profiles do not pile up.
constexpr size_t kKeptTransforms = 8;

cmsUInt32Number FormatOf(RowLayout layout)
{
    switch (layout) {
    case RowLayout::Rgb: return TYPE_RGB_8;
    case RowLayout::Bgrx: return TYPE_BGRA_8;
    case RowLayout::Cmyk: return TYPE_CMYK_8;
    case RowLayout::CmykInverted: return TYPE_CMYK_8_REV;
    }
    return TYPE_RGB_8;
}

bool IsCmyk(RowLayout layout)
{
    return layout == RowLayout::Cmyk || layout == RowLayout::CmykInverted;
}

void LogLcms(cmsContext, cmsUInt32Number code, const char* text)
{
    qCDebug(lcColour, "lcms %u: %s", unsigned(code), text);
}

// True when the transform leaves RGB samples as they are, within a step.
bool IsIdentity(cmsHTRANSFORM transform)
{
    std::vector<uint8_t> in, out;
    for (int r = 0; r < kProbeSteps; ++r)
        for (int g = 0; g < kProbeSteps; ++g)
            for (int b = 0; b < kProbeSteps; ++b)
                for (int c : {r, g, b})
                    in.push_back(uint8_t(c * 255 / (kProbeSteps - 1)));
    out.resize(in.size());
    cmsDoTransform(transform, in.data(), out.data(), cmsUInt32Number(in.size() / 3));
    for (size_t i = 0; i < in.size(); ++i)
        if (std::abs(int(in[i]) - int(out[i])) > 1)
            return false;
    return true;
}

}  // namespace

// The transforms made last, for the few profiles a folder's photos share. A
// profile that needs none is remembered as null too, so an sRGB or broken
// profile is not looked at again while it is kept.
class CColourTransforms {
public:
    static CColourTransforms& Instance()
    {
        static CColourTransforms instance;
        return instance;
    }

    std::shared_ptr<const CColourTransform> For(const std::vector<uint8_t>& profile, RowLayout input,
                                                RowLayout output)
    {
        // Keyed on SHA-256 rather than the bytes, which can be 16 MB each: no
        // two profiles share a digest in practice, and none can be made to,
        // so a hit needs no comparison with the bytes.
        const QByteArray digest = QCryptographicHash::hash(
            QByteArrayView(profile.data(), qsizetype(profile.size())), QCryptographicHash::Sha256);
        const Key key {digest, input, output};
        std::lock_guard lock(m_lock);
        for (auto kept = m_made.begin(); kept != m_made.end(); ++kept) {
            if (kept->first == key) {
                m_made.splice(m_made.begin(), m_made, kept);  // now the most recently used
                return kept->second;
            }
        }
        std::shared_ptr<const CColourTransform> made = Make(profile, input, output);
        m_made.emplace_front(key, made);
        if (m_made.size() > kKeptTransforms)
            m_made.pop_back();
        return made;
    }

private:
    using Key = std::tuple<QByteArray, RowLayout, RowLayout>;

    CColourTransforms() { cmsSetLogErrorHandler(LogLcms); }

    static cmsHTRANSFORM Create(cmsHPROFILE source, RowLayout input, RowLayout output)
    {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        cmsHTRANSFORM transform = srgb ? cmsCreateTransform(source, FormatOf(input), srgb, FormatOf(output),
                                                            INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE)
                                       : nullptr;
        if (srgb)
            cmsCloseProfile(srgb);
        return transform;
    }

    static std::shared_ptr<const CColourTransform> Make(const std::vector<uint8_t>& bytes, RowLayout input,
                                                        RowLayout output)
    {
        cmsHPROFILE source = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
        if (!source) {
            qCDebug(lcColour, "unreadable profile of %zu bytes: taken as sRGB", bytes.size());
            return nullptr;
        }
        // A profile of another colour model than the samples is a mistake
        // of the file: the photo is shown as if it had none.
        const bool fits = cmsGetColorSpace(source) == (IsCmyk(input) ? cmsSigCmykData : cmsSigRgbData);
        bool needed = fits;
        if (fits && !IsCmyk(input)) {
            // Many cameras embed sRGB itself: such photos are left as they are.
            cmsHTRANSFORM probe = Create(source, RowLayout::Rgb, RowLayout::Rgb);
            needed = probe && !IsIdentity(probe);
            if (probe)
                cmsDeleteTransform(probe);
        }
        cmsHTRANSFORM transform = needed ? Create(source, input, output) : nullptr;
        // RGB rows converted in place may take the fast way.
        std::unique_ptr<CMatrixShaper> shaper
            = transform && input == output ? CMatrixShaper::FromProfile(source) : nullptr;
        cmsCloseProfile(source);
        if (!transform)
            return nullptr;
        return std::shared_ptr<const CColourTransform>(
            new CColourTransform(transform, std::move(shaper), input, output));
    }

    std::mutex m_lock;
    std::list<std::pair<Key, std::shared_ptr<const CColourTransform>>> m_made;  // most recent first
};

CColourTransform::CColourTransform(void* transform, std::unique_ptr<CMatrixShaper> shaper, RowLayout input,
                                   RowLayout output)
    : m_transform(transform), m_shaper(std::move(shaper)), m_input(input), m_output(output)
{
}

CColourTransform::~CColourTransform()
{
    cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_transform));
}

void CColourTransform::Apply(const uint8_t* in, uint8_t* out, int pixels) const
{
    if (pixels <= 0)
        return;
    if (m_shaper && in == out) {
        m_shaper->Apply(out, pixels, m_output == RowLayout::Bgrx);
        return;
    }
    cmsDoTransform(static_cast<cmsHTRANSFORM>(m_transform), in, out, cmsUInt32Number(pixels));
}

std::shared_ptr<const CColourTransform> ColourTransformFor(const std::vector<uint8_t>& profile,
                                                           RowLayout input, RowLayout output)
{
    if (profile.empty() || IsCmyk(output))
        return nullptr;
    return CColourTransforms::Instance().For(profile, input, output);
}

void ConvertCmykPlain(const uint8_t* in, bool inverted, uint8_t* out, RowLayout output, int pixels)
{
    const bool bgrx = output == RowLayout::Bgrx;
    for (int i = 0; i < pixels; ++i, in += 4) {
        // What the paper keeps of each light: the complement of the ink.
        const int c = inverted ? in[0] : 255 - in[0], m = inverted ? in[1] : 255 - in[1];
        const int y = inverted ? in[2] : 255 - in[2], k = inverted ? in[3] : 255 - in[3];
        const uint8_t r = uint8_t((c * k + 127) / 255), g = uint8_t((m * k + 127) / 255),
                      b = uint8_t((y * k + 127) / 255);
        if (bgrx) {
            out[0] = b;
            out[1] = g;
            out[2] = r;
            out[3] = 0xFF;
            out += 4;
        } else {
            out[0] = r;
            out[1] = g;
            out[2] = b;
            out += 3;
        }
    }
}
