#pragma once
// The coefficient buffers of a reduced decode of a progressive file, kept
// small. The library keeps all 64 coefficients of every block of the image
// while it reads the scans: 72 MB for a 24-megapixel 4:2:0 photograph, held
// by every thumbnail thread at once. A component that the reduced output
// reads by its DC coefficient alone (every component at 1/8 scale, but the
// chroma of a 4:2:0 file, which the library scales through a 2 x 2
// transform) keeps one coefficient per block here; the library sees a
// window of whole blocks whose AC coefficients stay zero, as they do in its
// own buffer when the scans that carry them are passed over unread. The
// output is therefore the very one the library's buffers give.
//
// The library's memory manager has no way to store coefficients in fewer
// bytes; it lets an application supply its own virtual arrays through the
// manager's function table, which is what CJpegSource does with these. The
// decode must pass over every AC scan of such a component (see
// CJpegSource::StartReducedDecompress): a decoded refinement scan would need
// the AC coefficients this store drops.
//
// Thread rules: one object per decompressor, used on that decompressor's thread.

#include <cstdint>
#include <memory>
#include <vector>

#include <jpeglib.h>

class CCoefficientStore {
public:
    CCoefficientStore();
    ~CCoefficientStore();
    CCoefficientStore(const CCoefficientStore&) = delete;
    CCoefficientStore& operator=(const CCoefficientStore&) = delete;

    // True when the output at the scale set in `info` reads the component's
    // DC coefficient alone (after jpeg_calc_output_dimensions).
    static bool ReadByDcAlone(const jpeg_component_info& c);
    // The memory of a compact array of the component, counted as the library's
    // request would size it.
    static int64_t BytesFor(const jpeg_component_info& c, int maxAccessRows);

    // A compact array of `rows` rows of `blocksPerRow` blocks, seen through a
    // window of `maxAccess` rows; storage comes with Realize.
    jvirt_barray_ptr Add(JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess);
    bool Owns(jvirt_barray_ptr array) const;
    // Allocates every array added, zeroed; false when memory ran out.
    bool Realize() noexcept;
    // The window over rows [startRow, startRow + count) of the array, its
    // blocks' DC stored back when the window moves if `writable`; null when
    // the rows are out of its bounds or were not realized.
    JBLOCKARRAY Access(jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION count, bool writable);
    // Frees every array (the library's image pool is freed).
    void Clear();
    int64_t Bytes() const;

private:
    struct Array;
    static void StoreWindow(Array& a);
    static void LoadWindow(Array& a, JDIMENSION first);

    std::vector<std::unique_ptr<Array>> m_arrays;
};
