#pragma once
// Turns and mirrors a JPEG on its DCT coefficients, never through pixels: a
// block moves to its new place and its coefficients are transposed and their
// odd frequencies negated, so the picture stays exactly as it was encoded.
// Baseline, progressive, arithmetic-coded, restart markers, greyscale, CMYK
// and every chroma subsampling come out in the coding they came in.
//
// Usage:
//     CCoefficientTransform t;
//     if (!t.Open(data, size)) ... t.Error()
//     if (PartialEdgesMove(t.Frame(), op)) ... refuse, or trim
//     t.Write(op, trim, t.Markers(), out);
//
// Thread rules: one object on one thread at a time; objects are independent.
// Errors: each step returns false and leaves the reason in Error().

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/exif_orientation.h"

// One APPn or COM segment: its marker code (0xE0..0xEF, 0xFE) and payload.
struct JpegMarker {
    int code = 0;
    std::vector<uint8_t> data;
    bool operator==(const JpegMarker&) const = default;
};

// What the frame header says, as far as a transform cares.
struct JpegFrame {
    int width = 0;
    int height = 0;
    int mcuWidth = 8;  // pixels of one MCU: what can move as a whole
    int mcuHeight = 8;
    int components = 0;
    bool progressive = false;
    bool arithmetic = false;
};

// Whether `op` moves blocks of the partial MCU column on the right or the
// partial row at the bottom (which can't move without changing the picture).
bool PartialEdgesMove(const JpegFrame& frame, const Orientation& op);

// The size of the result of `op`, with those partial MCUs dropped when
// `trim`; zero when trimming leaves nothing.
void TransformedSize(const JpegFrame& frame, const Orientation& op, bool trim, int& width, int& height);

class CCoefficientTransform {
public:
    CCoefficientTransform();
    ~CCoefficientTransform();
    CCoefficientTransform(const CCoefficientTransform&) = delete;
    CCoefficientTransform& operator=(const CCoefficientTransform&) = delete;

    // Reads the headers and keeps every APPn and COM segment. `data` must
    // stay valid until Write returns.
    bool Open(const uint8_t* data, size_t size, std::string* error = nullptr);
    const JpegFrame& Frame() const { return m_frame; }
    const std::vector<JpegMarker>& Markers() const { return m_markers; }

    // Reads the coefficients (a damaged or cut stream is refused) and writes
    // SOI, `markers` in order, then the frame turned by `op`. Once per Open.
    bool Write(const Orientation& op, bool trim, const std::vector<JpegMarker>& markers,
               std::vector<uint8_t>& out, std::string* error = nullptr);

    struct Codec;  // the library's state, defined where it is used

private:
    std::unique_ptr<Codec> m_codec;
    JpegFrame m_frame;
    std::vector<JpegMarker> m_markers;
};

// Whether `data` is a whole JPEG stream of width x height whose every scan
// decodes without a warning: the check of a written file before it replaces
// the original. It reads every code and marker but makes pixels at an eighth
// of the size only.
bool JpegDecodesCleanly(const uint8_t* data, size_t size, int width, int height);
