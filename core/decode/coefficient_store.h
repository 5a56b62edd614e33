#pragma once
// The coefficient buffers of a decode that keeps every coefficient of the
// image (a progressive file, or buffered-image mode), in place of the
// library's own. The library's memory manager lets an application supply
// its virtual arrays through the manager's function table, which is what
// CJpegSource does with these; it has no way of its own to do either of the
// two things done here.
//
// For the decode of a picture someone waits for, whole arrays are mapped
// zeroed from the system, and a large one is faulted in on a thread of its
// own as the decode starts. The first scan of a
// progressive file writes the DC of every block, so the library's own buffer
// (72 MB for a 24-megapixel 4:2:0 photograph) was faulted in page by page,
// and zeroed twice, before the first picture could be shown.
//
// Compact arrays serve a reduced decode, whose output reads some components
// by their DC coefficient alone (every component at 1/8 scale, but the
// chroma of a 4:2:0 file, which the library scales through a 2 x 2
// transform): they keep one coefficient per block, and the library sees a
// window of whole blocks whose AC coefficients stay zero, as they do in its
// own buffer when the scans that carry them are passed over unread. The
// output is therefore the very one the library's buffers give; the decode
// must pass over every AC scan of such a component (see
// CJpegSource::StartReducedDecompress), since a refinement scan needs the
// AC coefficients this store drops.
//
// Thread rules: one object per decompressor, used on that decompressor's
// thread; the thread it starts only asks the system for the pages.

#include <cstdint>
#include <memory>
#include <thread>
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

    // An array of `rows` rows of `blocksPerRow` blocks; a compact one is seen
    // through a window of `maxAccess` rows. Storage comes with Realize.
    jvirt_barray_ptr Add(JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess, bool compact);
    bool Owns(jvirt_barray_ptr array) const;
    // Allocates every array added, zeroed; false when memory ran out.
    bool Realize() noexcept;
    // Rows [startRow, startRow + count) of the array; a compact window's
    // blocks have their DC stored back when the window moves if `writable`.
    // Null when the rows are out of its bounds or were not realized.
    JBLOCKARRAY Access(jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION count, bool writable);
    // Whole arrays of the next Realize are faulted in ahead (for a decode
    // someone waits for; thumbnail threads keep the cores busy anyway).
    void FaultInAhead() { m_faultInAhead = true; }
    bool FaultsInAhead() const { return m_faultInAhead; }
    // Frees every array (the library's image pool is freed).
    void Clear();
    // The bytes of the compact arrays.
    int64_t CompactBytes() const;

private:
    struct Array;
    static void StoreWindow(Array& a);
    static void LoadWindow(Array& a, JDIMENSION first);
    void PopulateAhead();

    std::vector<std::unique_ptr<Array>> m_arrays;
    bool m_faultInAhead = false;
    std::thread m_populate;  // faulting in the whole arrays' pages
};
