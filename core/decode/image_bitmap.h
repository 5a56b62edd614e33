#pragma once
// One decoded image in memory: 32-bit pixels, rows top-down without gaps,
// bytes blue, green, red and one byte without meaning (QImage::Format_RGB32).
//
// Thread rules: whoever reads or writes the pixels, or clears the bitmap, holds
// the pixel lock. The dirty rectangle has a lock of its own so that the view
// can poll it while a decoder holds the pixel lock.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

// A rectangle in bitmap coordinates, right and bottom exclusive.
struct DirtyRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool IsEmpty() const { return right <= left || bottom <= top; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const DirtyRect&) const = default;
    // Union; an empty side leaves the other.
    void Unite(const DirtyRect& r);
};

// Frees the pixels of a CImageBitmap from either allocation (heap or mapped).
struct ImagePixelMemory {
    size_t mappedBytes = 0;  // 0: heap
    void operator()(uint32_t* p) const;
};

class CImageBitmap {
public:
    CImageBitmap() = default;
    CImageBitmap(const CImageBitmap&) = delete;
    CImageBitmap& operator=(const CImageBitmap&) = delete;

    // Allocates width x height pixels (not initialised). The bitmap must be
    // clear before. False when the size is not positive or memory is refused.
    bool Create(int width, int height);
    // Like Create, with every pixel zero (black). Large images take their
    // memory zeroed from the system, so no separate clearing pass is needed.
    bool CreateBlack(int width, int height);
    // Frees the pixels; width and height become 0, the dirty rectangle empty.
    void Clear();

    void LockPixels() { m_pixelLock.lock(); }
    void UnlockPixels() { m_pixelLock.unlock(); }
    std::mutex& PixelLock() { return m_pixelLock; }

    void MarkRow(int y);
    void MarkColumn(int x);
    // Every part marked since the pixels were made: what holds a picture.
    DirtyRect GetDirtyRect() const;
    // The part marked since the last call, and empties it: what a decode
    // that writes the image again (a later pass) changed there.
    DirtyRect TakeRemarked();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsNull() const { return !m_pixels; }
    // Row y starts at Pixels() + y * Width().
    uint32_t* Pixels() { return m_pixels.get(); }
    const uint32_t* Pixels() const { return m_pixels.get(); }
    uint32_t* Row(int y) { return m_pixels.get() + static_cast<size_t>(y) * m_width; }
    const uint32_t* Row(int y) const { return m_pixels.get() + static_cast<size_t>(y) * m_width; }

private:
    bool Allocate(int width, int height, bool zeroed);

    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<uint32_t[], ImagePixelMemory> m_pixels;
    std::mutex m_pixelLock;
    mutable std::mutex m_dirtyLock;
    DirtyRect m_dirty;
    DirtyRect m_remarked;
};

// Scoped pixel lock.
class PixelLocker {
public:
    explicit PixelLocker(CImageBitmap& b) : m_bitmap(b) { m_bitmap.LockPixels(); }
    ~PixelLocker() { m_bitmap.UnlockPixels(); }
    PixelLocker(const PixelLocker&) = delete;
    PixelLocker& operator=(const PixelLocker&) = delete;

private:
    CImageBitmap& m_bitmap;
};
