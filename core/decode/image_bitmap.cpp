#include "decode/image_bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

#include <sys/mman.h>

void DirtyRect::Unite(const DirtyRect& r)
{
    if (r.IsEmpty())
        return;
    if (IsEmpty()) {
        *this = r;
        return;
    }
    left = std::min(left, r.left);
    top = std::min(top, r.top);
    right = std::max(right, r.right);
    bottom = std::max(bottom, r.bottom);
}

namespace {
// From this size on pixels are mapped straight from the system: zeroed for
// free and eligible for huge pages, which saves most page faults of a large
// photograph.
constexpr size_t kMapThreshold = size_t(4) << 20;
}  // namespace

void ImagePixelMemory::operator()(uint32_t* p) const
{
    if (mappedBytes)
        ::munmap(p, mappedBytes);
    else
        std::free(p);
}

bool CImageBitmap::Allocate(int width, int height, bool zeroed)
{
    if (width <= 0 || height <= 0)
        return false;
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(uint32_t);
    std::lock_guard lock(m_pixelLock);
    m_pixels.reset();
    m_width = m_height = 0;
    if (bytes >= kMapThreshold) {
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return false;
        ::madvise(p, bytes, MADV_HUGEPAGE);
        m_pixels = std::unique_ptr<uint32_t[], ImagePixelMemory>(static_cast<uint32_t*>(p),
                                                                 ImagePixelMemory {bytes});
    } else {
        void* p = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
        if (!p)
            return false;
        m_pixels
            = std::unique_ptr<uint32_t[], ImagePixelMemory>(static_cast<uint32_t*>(p), ImagePixelMemory {0});
    }
    m_width = width;
    m_height = height;
    return true;
}

bool CImageBitmap::Create(int width, int height)
{
    return Allocate(width, height, false);
}

bool CImageBitmap::CreateBlack(int width, int height)
{
    return Allocate(width, height, true);
}

void CImageBitmap::Clear()
{
    std::lock_guard lock(m_pixelLock);
    if (!m_pixels)
        return;
    m_pixels.reset();
    std::lock_guard dirty(m_dirtyLock);
    m_width = m_height = 0;
    m_dirty = m_remarked = DirtyRect {};
}

void CImageBitmap::MarkRow(int y)
{
    std::lock_guard lock(m_dirtyLock);
    const DirtyRect row {0, y, m_width, y + 1};
    m_dirty.Unite(row);
    m_remarked.Unite(row);
}

void CImageBitmap::MarkColumn(int x)
{
    std::lock_guard lock(m_dirtyLock);
    const DirtyRect column {x, 0, x + 1, m_height};
    m_dirty.Unite(column);
    m_remarked.Unite(column);
}

DirtyRect CImageBitmap::GetDirtyRect() const
{
    std::lock_guard lock(m_dirtyLock);
    return m_dirty;
}

DirtyRect CImageBitmap::TakeRemarked()
{
    std::lock_guard lock(m_dirtyLock);
    return std::exchange(m_remarked, DirtyRect {});
}
