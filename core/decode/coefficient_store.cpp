#include "decode/coefficient_store.h"

#include <algorithm>
#include <new>

struct CCoefficientStore::Array {
    JDIMENSION blocksPerRow = 0, rows = 0, maxAccess = 0;
    std::vector<JCOEF> dc;            // rows x blocksPerRow, row-major
    std::vector<JCOEF> window;        // maxAccess rows of blocks; AC stay 0
    std::vector<JBLOCKROW> pointers;  // into the window, one per row
    JDIMENSION first = 0, count = 0;  // the rows in the window
    bool dirty = false;
};

CCoefficientStore::CCoefficientStore() = default;
CCoefficientStore::~CCoefficientStore() = default;

void CCoefficientStore::Clear()
{
    m_arrays.clear();
}

bool CCoefficientStore::ReadByDcAlone(const jpeg_component_info& c)
{
#if JPEG_LIB_VERSION >= 70
    return c.DCT_h_scaled_size == 1 && c.DCT_v_scaled_size == 1;
#else
    return c.DCT_scaled_size == 1;
#endif
}

int64_t CCoefficientStore::BytesFor(const jpeg_component_info& c, int maxAccessRows)
{
    const int64_t perRow
        = (int64_t(c.width_in_blocks) + c.h_samp_factor - 1) / c.h_samp_factor * c.h_samp_factor;
    const int64_t rows
        = (int64_t(c.height_in_blocks) + c.v_samp_factor - 1) / c.v_samp_factor * c.v_samp_factor;
    return perRow * rows * int64_t(sizeof(JCOEF))
        + perRow * maxAccessRows * int64_t(sizeof(JBLOCK) + sizeof(JBLOCKROW));
}

jvirt_barray_ptr CCoefficientStore::Add(JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess)
{
    auto array = std::make_unique<Array>();
    array->blocksPerRow = blocksPerRow;
    array->rows = rows;
    array->maxAccess = std::min(maxAccess, rows);
    m_arrays.push_back(std::move(array));
    // The library hands the pointer back to Access alone; it never looks inside.
    return reinterpret_cast<jvirt_barray_ptr>(m_arrays.back().get());
}

bool CCoefficientStore::Owns(jvirt_barray_ptr array) const
{
    return std::any_of(m_arrays.begin(), m_arrays.end(), [array](const auto& a) {
        return reinterpret_cast<jvirt_barray_ptr>(a.get()) == array;
    });
}

bool CCoefficientStore::Realize() noexcept
{
    try {
        for (auto& a : m_arrays) {
            if (!a->pointers.empty())
                continue;
            const size_t rowCoefficients = size_t(a->blocksPerRow) * DCTSIZE2;
            a->dc.assign(size_t(a->rows) * a->blocksPerRow, 0);
            a->window.assign(a->maxAccess * rowCoefficients, 0);
            a->pointers.resize(a->maxAccess);
            for (size_t r = 0; r < a->pointers.size(); ++r)
                a->pointers[r] = reinterpret_cast<JBLOCKROW>(a->window.data() + r * rowCoefficients);
        }
        return true;
    } catch (const std::bad_alloc&) {
        m_arrays.clear();
        return false;
    }
}

JBLOCKARRAY CCoefficientStore::Access(jvirt_barray_ptr handle, JDIMENSION startRow, JDIMENSION count,
                                      bool writable)
{
    Array& a = *reinterpret_cast<Array*>(handle);
    if (a.pointers.empty() || count > a.maxAccess || startRow > a.rows || count > a.rows - startRow)
        return nullptr;
    if (startRow < a.first || startRow + count > a.first + a.count) {
        StoreWindow(a);
        LoadWindow(a, std::min(startRow, a.rows - a.maxAccess));
    }
    a.dirty = a.dirty || writable;
    return a.pointers.data() + (startRow - a.first);
}

void CCoefficientStore::StoreWindow(Array& a)
{
    if (!a.dirty)
        return;
    for (JDIMENSION r = 0; r < a.count; ++r) {
        const JBLOCKROW row = a.pointers[r];
        JCOEF* dc = a.dc.data() + size_t(a.first + r) * a.blocksPerRow;
        for (JDIMENSION b = 0; b < a.blocksPerRow; ++b)
            dc[b] = row[b][0];
    }
    a.dirty = false;
}

void CCoefficientStore::LoadWindow(Array& a, JDIMENSION first)
{
    a.first = first;
    a.count = a.maxAccess;
    for (JDIMENSION r = 0; r < a.count; ++r) {
        const JBLOCKROW row = a.pointers[r];
        const JCOEF* dc = a.dc.data() + size_t(first + r) * a.blocksPerRow;
        for (JDIMENSION b = 0; b < a.blocksPerRow; ++b)
            row[b][0] = dc[b];
    }
}

int64_t CCoefficientStore::Bytes() const
{
    int64_t bytes = 0;
    for (const auto& a : m_arrays)
        bytes += int64_t((a->dc.size() + a->window.size()) * sizeof(JCOEF));
    return bytes;
}
