#pragma once
// How the thumbnail pool makes one item's thumbnail: its size, whether the
// file's Exif thumbnail may stand in, how the photo is rendered, and the
// shared thumbnail cache, looked up before decoding and written after.
//
// Ownership: a member of CThumbnailPool; shares the cache. Thread rules: set
// on the user-interface thread only while no thumbnail thread runs; Make is
// then called from every thumbnail thread at once and changes nothing here.

#include <memory>
#include <string>

#include "decode/jpeg_decoder.h"
#include "decode/sync_event.h"
#include "loader/item_decoder.h"

class CThumbnailCache;

class CThumbnailMaker {
public:
    void SetSize(int size) { m_size = size; }
    int Size() const { return m_size; }
    void SetOptions(bool exifThumbnails, const PictureOptions& picture)
    {
        m_exifThumbnails = exifThumbnails;
        m_picture = picture;
    }
    void SetCache(std::shared_ptr<const CThumbnailCache> cache) { m_cache = std::move(cache); }

    // Makes the thumbnail of the file at `path` in the decoder; false when it
    // cannot be made or `stop` was set meanwhile.
    bool Make(CItemDecoder& decoder, const std::string& path, CEvent* stop,
              std::string* error = nullptr) const;

private:
    bool MakeThroughCache(CItemDecoder& decoder, const std::string& path, CEvent* stop,
                          std::string* error) const;

    int m_size = 0;
    bool m_exifThumbnails = false;
    PictureOptions m_picture;
    std::shared_ptr<const CThumbnailCache> m_cache;
};
