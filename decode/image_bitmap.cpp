#include "decode/image_bitmap.h"

#include <algorithm>
#include <new>

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

bool CImageBitmap::Create(int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    std::lock_guard lock(m_pixelLock);
    m_pixels.reset(new (std::nothrow) uint32_t[static_cast<size_t>(width) * height]);
    if (!m_pixels)
        return false;
    m_width = width;
    m_height = height;
    return true;
}

void CImageBitmap::Clear()
{
    std::lock_guard lock(m_pixelLock);
    if (!m_pixels)
        return;
    m_pixels.reset();
    std::lock_guard dirty(m_dirtyLock);
    m_width = m_height = 0;
    m_dirty = DirtyRect{};
}

void CImageBitmap::MarkRow(int y)
{
    std::lock_guard lock(m_dirtyLock);
    m_dirty.Unite(DirtyRect{0, y, m_width, y + 1});
}

void CImageBitmap::MarkColumn(int x)
{
    std::lock_guard lock(m_dirtyLock);
    m_dirty.Unite(DirtyRect{x, 0, x + 1, m_height});
}

DirtyRect CImageBitmap::GetDirtyRect() const
{
    std::lock_guard lock(m_dirtyLock);
    return m_dirty;
}
