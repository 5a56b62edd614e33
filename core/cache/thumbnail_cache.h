#pragma once
// The desktop's shared thumbnail cache, laid out as the freedesktop thumbnail
// standard says, so that thumbnails made here serve the file manager and
// other viewers and theirs serve us: PNG files under $XDG_CACHE_HOME/
// thumbnails (else ~/.cache/thumbnails), in "normal" (128 pixels), "large"
// (256), "x-large" (512) and "xx-large" (1024), each named by the MD5 of its
// original's file URI and carrying that URI and the original's modification
// time; and empty PNGs under fail/lumvane-VERSION/ for originals this
// program could not thumbnail.
//
// A folder of the cache is used only when it is the user's own, no symlink and
// writable by no one else; otherwise the cache is skipped, so that thumbnails
// neither leak into nor come from someone else's folder. Every folder is
// opened step by step from the root without following symlinks, and files are
// read and written relative to it, so a symlink put in later is not followed.
//
// Thread rules: immutable after construction but for the count of hits (an
// atomic); every operation may run on any thread at once. A thumbnail is
// written to a temporary file in its folder and renamed into place, so a
// reader never sees half of one.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

#include "browse/unique_fd.h"

// An original as the cache knows it.
struct CacheSource {
    std::string path;   // absolute
    std::string uri;    // ThumbnailUri(path)
    int64_t mtime = 0;  // seconds
    int64_t size = 0;   // bytes
};

class CThumbnailCache {
public:
    // The size of the "normal" folder, the one this program writes.
    static constexpr int kNormalSize = 128;

    // A cache rooted at this folder (the "thumbnails" folder itself).
    explicit CThumbnailCache(std::string root);
    // The "thumbnails" folder of the user's cache folder (XdgCacheHome);
    // empty when there is no home.
    static std::string DefaultRoot();
    const std::string& Root() const { return m_root; }

    // Fills `source` for the file at `path`. False when the cache must not be
    // used for it: not a readable regular file, or a file inside the cache.
    bool Describe(const std::string& path, CacheSource* source) const;

    // The cached thumbnail for showing at `size` pixels: the one in the
    // smallest folder at least that large, when its URI, modification time
    // and (when it has one) size match the original and it is no larger than
    // its folder's size. Null when there is none.
    QImage Read(const CacheSource& source, int size) const;
    // How many reads found a thumbnail.
    int64_t Hits() const { return m_hits.load(std::memory_order_relaxed); }
    // Stores the thumbnail of an original of imageWidth x imageHeight pixels
    // in "normal"; `image` fits 128 x 128.
    bool WriteNormal(const CacheSource& source, const QImage& image, int imageWidth, int imageHeight) const;
    // Records that the original could not be thumbnailed, and asks.
    bool WriteFailure(const CacheSource& source) const;
    bool HasFailure(const CacheSource& source) const;
    // Removes every thumbnail and failure record of the originals at these
    // absolute paths: their pictures changed while their names stayed, and
    // perhaps their modification times too.
    void Forget(const std::vector<std::string>& paths) const;

    // Where the thumbnail of `uri` lives in a folder ("normal", "fail/...").
    std::string PathIn(const std::string& folder, const std::string& uri) const;
    static std::string FailFolder();

private:
    CUniqueFd OpenFolder(const std::string& folder, bool create) const;
    bool Valid(const QImage& image, const CacheSource& source) const;
    bool Store(const std::string& folder, const CacheSource& source, const QImage& image, int imageWidth,
               int imageHeight) const;

    std::string m_root;
    mutable std::atomic<int64_t> m_hits {0};
};

// The file URI of an absolute path as GLib makes it: "file://" and the path's
// bytes, each one outside the letters, digits, "-._~!$&'()*+,=:@" and "/"
// written as %XX. The cache names thumbnails by its MD5, so it must match the
// desktop's byte for byte, names that are not UTF-8 included.
std::string ThumbnailUri(const std::string& absolutePath);
// The file name of the thumbnail of `uri`: its MD5 in lower-case hex, ".png".
std::string ThumbnailName(const std::string& uri);
