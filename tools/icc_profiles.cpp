#include "tools/icc_profiles.h"

#include <string>

#include <lcms2.h>

namespace iccprofiles {
namespace {

    std::vector<uint8_t> Save(cmsHPROFILE profile)
    {
        std::vector<uint8_t> bytes;
        cmsUInt32Number size = 0;
        if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
            bytes.resize(size);
            cmsSaveProfileToMem(profile, bytes.data(), &size);
        }
        if (profile)
            cmsCloseProfile(profile);
        return bytes;
    }

    void Describe(cmsHPROFILE profile, const char* text)
    {
        cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(mlu, "en", "US", text);
        cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
        cmsMLUfree(mlu);
    }

    std::vector<uint8_t> Rgb(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve, const char* name)
    {
        const cmsCIExyY d65 {0.3127, 0.3290, 1.0};
        cmsToneCurve* curves[3] = {curve, curve, curve};
        cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
        cmsFreeToneCurve(curve);
        if (profile)
            Describe(profile, name);
        return Save(profile);
    }

    // The sRGB transfer curve, which Display P3 shares.
    cmsToneCurve* SrgbCurve()
    {
        const cmsFloat64Number params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return cmsBuildParametricToneCurve(nullptr, 4, params);
    }

    struct PressCargo {
        cmsHTRANSFORM toLab;
    };

    cmsInt32Number PressSampler(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo)
    {
        const double inks[4] = {in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0, in[3] / 65535.0};
        double rgb[3];
        PressRgb(inks, rgb);
        cmsCIELab lab;
        cmsDoTransform(static_cast<PressCargo*>(cargo)->toLab, rgb, &lab, 1);
        cmsFloat2LabEncoded(out, &lab);
        return TRUE;
    }

}  // namespace

std::vector<uint8_t> DisplayP3()
{
    return Rgb({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, SrgbCurve(), "Display P3");
}

std::vector<uint8_t> AdobeRgb()
{
    return Rgb({{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}, cmsBuildGamma(nullptr, 563.0 / 256.0),
               "Adobe RGB (1998)");
}

std::vector<uint8_t> Srgb()
{
    return Save(cmsCreate_sRGBProfile());
}

void PressRgb(const double cmyk[4], double rgb[3])
{
    const double paper = 1 - cmyk[3];
    rgb[0] = (1 - cmyk[0]) * paper;
    rgb[1] = (1 - cmyk[1]) * paper * 0.92;
    rgb[2] = (1 - cmyk[2]) * paper * 0.80;
}

std::vector<uint8_t> Press()
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    PressCargo cargo {
        cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0)};
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);

    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    Describe(profile, "Lumvane test press");
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, PressSampler, &cargo, 0);
    // A v4 lookup table wants curves around its grid; these change nothing.
    cmsPipelineInsertStage(lut, cmsAT_BEGIN, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, grid);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsPipelineFree(lut);
    cmsDeleteTransform(cargo.toLab);
    return Save(profile);
}

std::vector<uint8_t> Padded(const std::vector<uint8_t>& bytes, size_t size)
{
    cmsHPROFILE profile = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
    if (!profile)
        return {};
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", std::string(size, 'x').c_str());
    cmsWriteTag(profile, cmsSigCopyrightTag, mlu);
    cmsMLUfree(mlu);
    return Save(profile);
}

}  // namespace iccprofiles
