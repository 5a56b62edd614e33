#pragma once
// Follows the scans of a progressive JPEG as they are read and tells when
// those read so far already fix every pixel of a reduced output pass, so that
// the rest of the file cannot change them.
//
// At 1/8 scale each block of a component becomes one pixel computed from its
// DC coefficient alone, and most progressive files complete the DC in their
// first scans: a thumbnail then needs none of the large AC scans behind. A
// component that the library scales through a larger inverse DCT (the chroma
// of a 4:2:0 file, scaled up by a 2 x 2 transform instead of upsampled) reads
// AC coefficients too, so all of its coefficients must be complete.
//
// The library's block smoothing is the other thing that can change what such
// a pass shows: when some low AC coefficients are still unknown at the end of
// the file, it estimates them from neighbouring DC values, and for a component
// with no AC data at all it also adjusts the DC itself; in the rows after a
// scan cut short it judges by the state before that scan. Complete() holds
// only when neither can touch a coefficient the pass reads, whatever the rest
// of the file holds, as long as its scans keep to the standard's rule that no
// coefficient bit is sent twice (the library warns when they do not; a
// warning before the end stops the shortcut, see CJpegSource).
//
// Thread rules: one object per decompressor, used on that decompressor's thread.

#include <array>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

class CScanProgress {
public:
    // Called once the output size is known and the first scan has started
    // (after jpeg_start_decompress in buffered-image mode). False when the
    // file is not one whose scans can be followed (sequential, arithmetic
    // coded); Complete() then stays false.
    bool Plan(const jpeg_decompress_struct& info);
    // Called each time a later scan has started (jpeg_consume_input returned
    // JPEG_REACHED_SOS): the scan before it is read to its end.
    void ScanStarted(const jpeg_decompress_struct& info);
    // True when the scans read to their end fix every pixel of the output.
    bool Complete() const;
    // True when the scan just started carries only coefficients the output
    // never reads: AC coefficients of components read by their DC alone.
    // Their values matter nowhere, not even to the library's smoothing,
    // which judges them by the scan headers alone.
    bool CurrentScanUnread() const;

private:
    static constexpr int kUnknown = -1;
    using Bits = std::array<int, DCTSIZE2>;  // per coefficient: -1, or the Al of the last pass read

    struct Component {
        bool dcOnly = false;  // its inverse DCT reads the DC coefficient alone
        Bits done {};         // the passes read to their end
        Bits claimed {};      // the passes started, the one under way included
        // The library's view at the start of the component's latest scan,
        // which it uses for the rows after a scan cut short.
        Bits before {};
    };
    struct PendingScan {
        std::vector<int> components;
        int ss = 0, se = 0, al = 0;
    };

    void Start(const jpeg_decompress_struct& info);
    void FinishPending();
    bool NeedsDone(const Component& c) const;
    bool SmoothingMayTouch(const Component& c) const;

    bool m_followed = false;
    int m_scans = 0;
    std::vector<Component> m_components;
    PendingScan m_pending;
};
