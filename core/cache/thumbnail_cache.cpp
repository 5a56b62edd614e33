#include "cache/thumbnail_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QRandomGenerator>

#include "browse/user_dirs.h"
#include "loader/thumbs_log.h"
#include "browse/fd_io.h"

#ifndef LUMVANE_VERSION
#define LUMVANE_VERSION "0"
#endif

namespace {

// The folders a reader may use, smallest first; a thumbnail in one is at most
// its size on either side.
struct CacheFolder {
    int size;
    const char* name;
};
constexpr CacheFolder kFolders[] = {{128, "normal"}, {256, "large"}, {512, "x-large"}, {1024, "xx-large"}};

constexpr const char* kKeyUri = "Thumb::URI";
constexpr const char* kKeyMTime = "Thumb::MTime";
constexpr const char* kKeySize = "Thumb::Size";

// GLib leaves these bytes of a path as they are (its "unsafe path" set).
bool KeptInUri(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || (c != 0 && std::strchr("-._~!$&'()*+,=:@/", c) != nullptr);
}

// CRC-32 of PNG chunks (ISO 3309), one table entry per byte value.
constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table {};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Crc32(const char* data, size_t size)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = kCrcTable[(c ^ uint8_t(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutBe32(QByteArray& out, uint32_t v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(bytes, 4);
}

// A tEXt chunk. Qt writes longer values as compressed international text,
// which some readers of the cache (GLib's check of a thumbnail's validity
// among them) do not look at; the keys and values here are plain ASCII.
QByteArray TextChunk(const QByteArray& key, const QByteArray& value)
{
    QByteArray body = "tEXt" + key + '\0' + value;
    QByteArray chunk;
    PutBe32(chunk, uint32_t(body.size() - 4));
    chunk += body;
    PutBe32(chunk, Crc32(body.constData(), size_t(body.size())));
    return chunk;
}

// The PNG file of the image with the text chunks right after its header.
QByteArray PngWithText(const QImage& image, const std::vector<std::pair<QByteArray, QByteArray>>& texts)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // Qt maps a quality of 85 to zlib's level 1: a thumbnail a few per cent
    // larger, written in a third of the time of the default level, on the
    // thumbnail threads' road to the last thumbnail.
    writer.setQuality(85);
    if (!writer.write(image))
        return {};
    // Signature (8 bytes), then the IHDR chunk: length, type, 13 bytes, CRC.
    constexpr int kAfterHeader = 8 + 4 + 4 + 13 + 4;
    if (png.size() < kAfterHeader || png.mid(12, 4) != "IHDR")
        return {};
    QByteArray chunks;
    for (const auto& [key, value] : texts)
        chunks += TextChunk(key, value);
    return png.insert(kAfterHeader, chunks);
}

// Makes the folder and every missing one above it, private to the user.
bool MakeFolders(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// Whether a cache folder may hold the user's thumbnails: the user's own and
// writable by no one else, or others could plant thumbnails in it or take
// away the ones written there.
bool SafeFolder(int fd, const std::string& name)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && !(st.st_mode & (S_IWGRP | S_IWOTH)))
        return true;
    qCDebug(lcThumbs) << "thumbnail cache not used: the folder" << name.c_str() << "is not the user's alone";
    return false;
}

// The folder `name` in `parent` (AT_FDCWD for an absolute path), opened
// without following a symlink and checked; made private to the user first
// when `create` and it is missing.
CUniqueFd OpenSafeFolder(int parent, const std::string& name, bool create)
{
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    CUniqueFd fd(::openat(parent, name.c_str(), kFlags));
    if (!fd.Valid() && errno == ENOENT && create
        && (::mkdirat(parent, name.c_str(), 0700) == 0 || errno == EEXIST))
        fd.Reset(::openat(parent, name.c_str(), kFlags));
    if (!fd.Valid() && (errno == ELOOP || errno == ENOTDIR))
        qCDebug(lcThumbs) << "thumbnail cache not used: the folder" << name.c_str()
                          << "is a symlink or no folder";
    if (fd.Valid() && !SafeFolder(fd.Get(), name))
        fd.Reset();
    return fd;
}

// The PNG `name` in the folder when it is a regular file of at most maxSize
// pixels a side; null otherwise. The size is read from the header first, so a
// huge picture planted there is never decoded.
QImage ReadPng(int folder, const std::string& name, int maxSize)
{
    // Non-blocking, so that a FIFO in the folder cannot hold the reader up.
    CUniqueFd fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    QFile file;
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)
        || !file.open(fd.Get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    QImageReader reader(&file, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxSize || size.height() > maxSize)
        return {};
    return reader.read();
}

QByteArray Number(int64_t value)
{
    return QByteArray::number(qlonglong(value));
}

}  // namespace

std::string ThumbnailUri(const std::string& absolutePath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + absolutePath.size() * 3);
    for (const unsigned char c : absolutePath) {
        if (KeptInUri(c)) {
            uri += char(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

std::string ThumbnailName(const std::string& uri)
{
    const QByteArray md5 = QCryptographicHash::hash(QByteArray::fromStdString(uri), QCryptographicHash::Md5);
    return md5.toHex().toStdString() + ".png";
}

CThumbnailCache::CThumbnailCache(std::string root) : m_root(std::move(root))
{
    while (m_root.size() > 1 && m_root.back() == '/')
        m_root.pop_back();
}

std::string CThumbnailCache::DefaultRoot()
{
    const std::string cache = XdgCacheHome();
    return cache.empty() ? cache : cache + "/thumbnails";
}

std::string CThumbnailCache::FailFolder()
{
    return std::string("fail/lumvane-") + LUMVANE_VERSION;
}

std::string CThumbnailCache::PathIn(const std::string& folder, const std::string& uri) const
{
    return m_root + "/" + folder + "/" + ThumbnailName(uri);
}

bool CThumbnailCache::Describe(const std::string& path, CacheSource* source) const
{
    // The cache's own files are never thumbnailed into it.
    if (m_root.empty() || path.empty() || path[0] != '/'
        || path.compare(0, m_root.size() + 1, m_root + "/") == 0)
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return false;
    source->path = path;
    source->uri = ThumbnailUri(path);
    source->mtime = int64_t(st.st_mtim.tv_sec);
    source->size = int64_t(st.st_size);
    return true;
}

bool CThumbnailCache::Valid(const QImage& image, const CacheSource& source) const
{
    if (image.isNull() || image.text(kKeyUri).toStdString() != source.uri)
        return false;
    bool ok = false;
    if (image.text(kKeyMTime).toLongLong(&ok) != source.mtime || !ok)
        return false;
    const QString size = image.text(kKeySize);
    return size.isEmpty() || size.toLongLong() == source.size;
}

// Each step from the root is opened relative to the one before, so a symlink
// put anywhere on the way, now or later, is refused rather than followed.
CUniqueFd CThumbnailCache::OpenFolder(const std::string& folder, bool create) const
{
    const size_t slash = m_root.rfind('/');
    if (m_root.empty()
        || (create && slash != std::string::npos && slash > 0 && !MakeFolders(m_root.substr(0, slash))))
        return {};
    CUniqueFd fd = OpenSafeFolder(AT_FDCWD, m_root, create);
    for (size_t start = 0; fd.Valid() && start < folder.size();) {
        const size_t end = std::min(folder.find('/', start), folder.size());
        fd = OpenSafeFolder(fd.Get(), folder.substr(start, end - start), create);
        start = end + 1;
    }
    return fd;
}

QImage CThumbnailCache::Read(const CacheSource& source, int size) const
{
    const std::string name = ThumbnailName(source.uri);
    for (const CacheFolder& folder : kFolders) {
        if (folder.size < size)
            continue;
        const CUniqueFd dir = OpenFolder(folder.name, false);
        if (!dir.Valid())
            continue;
        QImage image = ReadPng(dir.Get(), name, folder.size);
        if (Valid(image, source)) {
            m_hits.fetch_add(1, std::memory_order_relaxed);
            return image;
        }
    }
    return {};
}

bool CThumbnailCache::HasFailure(const CacheSource& source) const
{
    const CUniqueFd dir = OpenFolder(FailFolder(), false);
    return dir.Valid() && Valid(ReadPng(dir.Get(), ThumbnailName(source.uri), 1), source);
}

void CThumbnailCache::Forget(const std::vector<std::string>& paths) const
{
    const auto forgetIn = [&](const std::string& folder) {
        const CUniqueFd dir = OpenFolder(folder, false);
        for (size_t i = 0; dir.Valid() && i < paths.size(); ++i)
            ::unlinkat(dir.Get(), ThumbnailName(ThumbnailUri(paths[i])).c_str(), 0);
    };
    for (const CacheFolder& folder : kFolders)
        forgetIn(folder.name);
    forgetIn(FailFolder());
}

bool CThumbnailCache::WriteNormal(const CacheSource& source, const QImage& image, int imageWidth,
                                  int imageHeight) const
{
    if (image.isNull() || image.width() > kNormalSize || image.height() > kNormalSize)
        return false;
    return Store("normal", source, image.convertToFormat(QImage::Format_ARGB32), imageWidth, imageHeight);
}

bool CThumbnailCache::WriteFailure(const CacheSource& source) const
{
    QImage empty(1, 1, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    return Store(FailFolder(), source, empty, 0, 0);
}

bool CThumbnailCache::Store(const std::string& folder, const CacheSource& source, const QImage& image,
                            int imageWidth, int imageHeight) const
{
    std::vector<std::pair<QByteArray, QByteArray>> texts {
        {kKeyUri, QByteArray::fromStdString(source.uri)},
        {kKeyMTime, Number(source.mtime)},
    };
    if (imageWidth > 0 && imageHeight > 0) {
        texts.push_back({kKeySize, Number(source.size)});
        texts.push_back({"Thumb::Mimetype", "image/jpeg"});
        texts.push_back({"Thumb::Image::Width", Number(imageWidth)});
        texts.push_back({"Thumb::Image::Height", Number(imageHeight)});
    }
    texts.push_back({"Software", "Lumvane " LUMVANE_VERSION});
    const QByteArray png = PngWithText(image, texts);
    const CUniqueFd dir = png.isEmpty() ? CUniqueFd() : OpenFolder(folder, true);
    if (!dir.Valid())
        return false;
    // A fresh name of our own, private to the user, in the folder opened.
    const std::string name = ThumbnailName(source.uri);
    std::string temporary;
    CUniqueFd file;
    for (int attempt = 0; attempt < 4 && !file.Valid(); ++attempt) {
        temporary = name + "." + QByteArray::number(QRandomGenerator::global()->generate(), 36).toStdString();
        file.Reset(::openat(dir.Get(), temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.Valid() && errno != EEXIST)
            break;
    }
    if (!file.Valid()) {
        qCDebug(lcThumbs) << "cannot store the thumbnail of" << source.path.c_str() << std::strerror(errno);
        return false;
    }
    const bool written = WriteAll(file.Get(), png.constData(), size_t(png.size()));
    const int closed = file.Close();
    if (closed != 0 || !written || ::renameat(dir.Get(), temporary.c_str(), dir.Get(), name.c_str()) != 0) {
        const int error = closed != 0 ? closed : errno;
        ::unlinkat(dir.Get(), temporary.c_str(), 0);
        qCDebug(lcThumbs) << "cannot store the thumbnail of" << source.path.c_str() << std::strerror(error);
        return false;
    }
    return true;
}
