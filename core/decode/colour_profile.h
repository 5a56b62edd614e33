#pragma once
// True colours from an embedded ICC profile: a Little CMS 2 transform from
// the profile's colours to sRGB, applied to decoded rows in place or from
// CMYK samples into RGB rows. Photos without a profile, with an unreadable
// one, with one of another colour model than the file's, or with an sRGB
// profile get no transform at all, so their rows are never touched.
//
// Thread rules: a transform is immutable once made and may be applied from
// any number of threads at once (it keeps no per-pixel cache). The cache
// behind ColourTransformFor is guarded by its own lock.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CMatrixShaper;

// How the samples of a row are laid out.
enum class RowLayout {
    Rgb,           // red, green, blue
    Bgrx,          // blue, green, red, a byte without meaning (the bitmaps' layout)
    Cmyk,          // cyan, magenta, yellow, black: ink, 255 is full
    CmykInverted,  // the same stored inverted (0 is full ink), as Adobe writes it
};

class CColourTransform {
public:
    ~CColourTransform();
    CColourTransform(const CColourTransform&) = delete;
    CColourTransform& operator=(const CColourTransform&) = delete;

    // Converts `pixels` pixels from `in` (the input layout it was made for)
    // to `out` (Rgb or Bgrx). `in` and `out` may be the same buffer when
    // both layouts have the same size.
    void Apply(const uint8_t* in, uint8_t* out, int pixels) const;
    RowLayout Input() const { return m_input; }
    RowLayout Output() const { return m_output; }

private:
    friend class CColourTransforms;
    CColourTransform(void* transform, std::unique_ptr<CMatrixShaper> shaper, RowLayout input,
                     RowLayout output);

    void* m_transform;                        // cmsHTRANSFORM
    std::unique_ptr<CMatrixShaper> m_shaper;  // the fast way, when the profile allows it
    RowLayout m_input;
    RowLayout m_output;
};

// The transform from `profile` (the bytes of an ICC profile) to sRGB for rows
// of `input` written as `output`; null when the photo needs none (see
// above). Made once per profile and layouts, then shared; the few used last
// are kept for the next photos (none holds on to the profile's bytes).
std::shared_ptr<const CColourTransform> ColourTransformFor(const std::vector<uint8_t>& profile,
                                                           RowLayout input, RowLayout output);

// CMYK without a profile, by the usual formula: each of red, green and blue
// is what its ink and the black leave of the paper.
void ConvertCmykPlain(const uint8_t* in, bool inverted, uint8_t* out, RowLayout output, int pixels);
