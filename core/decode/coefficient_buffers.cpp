// CJpegSource's coefficient buffers: the decompressor's memory manager asks
// CCoefficientStore for them, and the library's own functions for the rest.

#include <jerror.h>

#include "decode/jpeg_source.h"

// Called once the decompressor is created.
void CJpegSource::HookCoefficientBuffers()
{
    jpeg_memory_mgr& mem = *m_info.mem;
    m_libraryMemory = mem;
    mem.request_virt_barray = RequestBlocks;
    mem.realize_virt_arrays = RealizeArrays;
    mem.access_virt_barray = AccessBlocks;
    mem.free_pool = FreePool;
    m_blockRequests = 0;
}

// The coefficient controller asks for one array per component, in their
// order, while the decode starts. The store takes the compact ones, and whole
// ones only for a decode it faults in ahead: elsewhere the library's arrays
// come from the heap, whose pages a thread's earlier decodes have already
// faulted in. What the store cannot take (another pool, a size that is not
// the component's) is left to the library.
jvirt_barray_ptr CJpegSource::RequestBlocks(j_common_ptr cinfo, int pool, boolean preZero,
                                            JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess)
{
    CJpegSource& self = Self(cinfo);
    const int index = self.m_blockRequests++;
    if (pool == JPOOL_IMAGE && index < self.m_info.num_components) {
        const jpeg_component_info& c = self.m_info.comp_info[index];
        if (blocksPerRow == StoredBlocksPerRow(c) && rows == StoredBlockRows(c)) {
            const bool compact = self.m_compactPlanned && preZero && CCoefficientStore::ReadByDcAlone(c);
            if (compact || self.m_coefficients.FaultsInAhead())
                return self.m_coefficients.Add(blocksPerRow, rows, maxAccess, compact);
        }
    }
    return self.m_libraryMemory.request_virt_barray(cinfo, pool, preZero, blocksPerRow, rows, maxAccess);
}

void CJpegSource::RealizeArrays(j_common_ptr cinfo)
{
    CJpegSource& self = Self(cinfo);
    self.m_libraryMemory.realize_virt_arrays(cinfo);
    if (!self.m_coefficients.Realize())
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
}

JBLOCKARRAY CJpegSource::AccessBlocks(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION startRow,
                                      JDIMENSION rows, boolean writable)
{
    CJpegSource& self = Self(cinfo);
    if (!self.m_coefficients.Owns(array))
        return self.m_libraryMemory.access_virt_barray(cinfo, array, startRow, rows, writable);
    JBLOCKARRAY blocks = self.m_coefficients.Access(array, startRow, rows, writable != FALSE);
    if (!blocks)
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    return blocks;
}

void CJpegSource::FreePool(j_common_ptr cinfo, int pool)
{
    CJpegSource& self = Self(cinfo);
    if (pool == JPOOL_IMAGE) {
        // The decode has ended.
        self.m_coefficients.Clear();
        self.m_blockRequests = 0;
        self.m_compactPlanned = false;
    }
    self.m_libraryMemory.free_pool(cinfo, pool);
}
