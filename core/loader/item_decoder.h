#pragma once
// The decoder of one list item, made when the item's file is first decoded
// or read, so that the items of a huge folder that are never looked at cost
// a pointer each. It answers like the decoder it holds.
//
// Thread rules: the decoder may be made from any thread; the first to make
// it wins and the others use that one. After that, the decoder's own rules
// hold (see CJpegDecoder).

#include <atomic>
#include <string>

#include "decode/jpeg_decoder.h"

class CItemDecoder {
public:
    CItemDecoder() = default;
    ~CItemDecoder() { delete m_decoder.load(std::memory_order_relaxed); }
    CItemDecoder(const CItemDecoder&) = delete;
    CItemDecoder& operator=(const CItemDecoder&) = delete;

    // The decoder, made now when it is not yet.
    CJpegDecoder& Get();
    operator CJpegDecoder&() { return Get(); }
    // The decoder, or null when none was made.
    CJpegDecoder* IfMade() const { return m_decoder.load(std::memory_order_acquire); }

    const ImageInfo& ReadInfo(const std::string& path) { return Get().ReadInfo(path); }
    bool MakeThumbnail(const std::string& path, int size, bool useExif, CEvent* cancel,
                       const PictureOptions& picture = {}, std::string* error = nullptr)
    {
        return Get().MakeThumbnail(path, size, useExif, cancel, picture, error);
    }
    bool OpenForDisplay(const DecodeRequest& request, CEvent* cancel = nullptr, std::string* error = nullptr)
    {
        return Get().OpenForDisplay(request, cancel, error);
    }
    bool Decode(CEvent* cancel, IDecodeProgress* progress, std::string* error = nullptr)
    {
        return Get().Decode(cancel, progress, error);
    }
    CImageBitmap& DisplayImage() { return Get().DisplayImage(); }
    CImageBitmap& Thumbnail() { return Get().Thumbnail(); }
    // Drops the thumbnail's pixels; makes no decoder for it.
    void ClearThumbnail()
    {
        if (CJpegDecoder* decoder = IfMade())
            decoder->Thumbnail().Clear();
    }

private:
    std::atomic<CJpegDecoder*> m_decoder {nullptr};
};
