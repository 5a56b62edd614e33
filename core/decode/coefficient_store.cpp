#include "decode/coefficient_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>
#include <utility>

namespace {

// Whole arrays at least this large are faulted in ahead on a thread of their own.
constexpr size_t kPopulateFrom = size_t(16) << 20;

// Zeroed memory straight from the system, which the library would otherwise
// zero a second time row by row.
class CMappedBlock {
public:
    CMappedBlock() = default;
    ~CMappedBlock()
    {
        if (m_data)
            ::munmap(m_data, m_length);
    }
    CMappedBlock(const CMappedBlock&) = delete;
    CMappedBlock& operator=(const CMappedBlock&) = delete;

    bool Allocate(size_t bytes)
    {
        m_length = std::max<size_t>(bytes, 1);
        void* mapped = ::mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            return false;
        m_data = static_cast<JCOEF*>(mapped);
        return true;
    }
    JCOEF* Data() const { return m_data; }
    size_t Length() const { return m_data ? m_length : 0; }

private:
    JCOEF* m_data = nullptr;
    size_t m_length = 0;
};

}  // namespace

struct CCoefficientStore::Array {
    JDIMENSION blocksPerRow = 0, rows = 0, maxAccess = 0;
    bool compact = false;
    CMappedBlock whole;               // rows x blocksPerRow blocks
    std::vector<JCOEF> dc;            // compact: rows x blocksPerRow, row-major
    std::vector<JCOEF> window;        // compact: maxAccess rows of blocks; AC stay 0
    std::vector<JBLOCKROW> pointers;  // whole: one per row; compact: into the window
    JDIMENSION first = 0, count = 0;  // compact: the rows in the window
    bool dirty = false;
};

CCoefficientStore::CCoefficientStore() = default;
CCoefficientStore::~CCoefficientStore()
{
    Clear();
}

void CCoefficientStore::Clear()
{
    if (m_populate.joinable())
        m_populate.join();
    m_arrays.clear();
    m_faultInAhead = false;
}

// The first scan of a progressive file writes the DC of every block, so the
// decode would fault in the whole buffer page by page (a third of its time
// to the first picture); the pages are asked for meanwhile on another core.
void CCoefficientStore::PopulateAhead()
{
    if (!m_faultInAhead)
        return;
    std::vector<std::pair<void*, size_t>> ranges;
    size_t total = 0;
    for (const auto& a : m_arrays)
        if (a->whole.Length() > 0) {
            ranges.emplace_back(a->whole.Data(), a->whole.Length());
            total += a->whole.Length();
        }
    if (total < kPopulateFrom)
        return;
    try {
        m_populate = std::thread([ranges] {
            for (const auto& [at, bytes] : ranges)
                ::madvise(at, bytes, MADV_POPULATE_WRITE);
        });
    } catch (const std::exception&) {
        // Without a thread the decode faults the pages in itself.
    }
}

bool CCoefficientStore::ReadByDcAlone(const jpeg_component_info& c)
{
#if JPEG_LIB_VERSION >= 70
    return c.DCT_h_scaled_size == 1 && c.DCT_v_scaled_size == 1;
#else
    return c.DCT_scaled_size == 1;
#endif
}

jvirt_barray_ptr CCoefficientStore::Add(JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess,
                                        bool compact)
{
    auto array = std::make_unique<Array>();
    array->blocksPerRow = blocksPerRow;
    array->rows = rows;
    array->maxAccess = std::min(maxAccess, rows);
    array->compact = compact;
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
            JCOEF* rows = nullptr;
            if (a->compact) {
                a->dc.assign(size_t(a->rows) * a->blocksPerRow, 0);
                a->window.assign(a->maxAccess * rowCoefficients, 0);
                rows = a->window.data();
            } else {
                if (!a->whole.Allocate(a->rows * rowCoefficients * sizeof(JCOEF)))
                    throw std::bad_alloc();
                rows = a->whole.Data();
            }
            a->pointers.resize(a->compact ? a->maxAccess : a->rows);
            for (size_t r = 0; r < a->pointers.size(); ++r)
                a->pointers[r] = reinterpret_cast<JBLOCKROW>(rows + r * rowCoefficients);
        }
        PopulateAhead();
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
    if (!a.compact)
        return a.pointers.data() + startRow;
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

int64_t CCoefficientStore::CompactBytes() const
{
    int64_t bytes = 0;
    for (const auto& a : m_arrays)
        bytes += int64_t((a->dc.size() + a->window.size()) * sizeof(JCOEF));
    return bytes;
}
