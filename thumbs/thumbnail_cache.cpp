#include "thumbs/thumbnail_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QImageWriter>

#include "thumbs/thumbs_log.h"

#ifndef LUMVANE_VERSION
#define LUMVANE_VERSION "0"
#endif

namespace {

// The folders a reader may use, smallest first.
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

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= size_t(n);
    }
    return true;
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
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/thumbnails";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/thumbnails";
    return {};
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

QImage CThumbnailCache::Read(const CacheSource& source, int size) const
{
    for (const CacheFolder& folder : kFolders) {
        if (folder.size < size)
            continue;
        QImageReader reader(QString::fromStdString(PathIn(folder.name, source.uri)), "png");
        QImage image = reader.read();
        if (Valid(image, source))
            return image;
    }
    return {};
}

bool CThumbnailCache::HasFailure(const CacheSource& source) const
{
    QImageReader reader(QString::fromStdString(PathIn(FailFolder(), source.uri)), "png");
    return Valid(reader.read(), source);
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
    const std::string dir = m_root + "/" + folder;
    if (png.isEmpty() || m_root.empty() || !MakeFolders(dir))
        return false;
    const std::string target = dir + "/" + ThumbnailName(source.uri);
    std::string temporary = target + ".XXXXXX";
    // mkstemp makes the file private to the user (0600).
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, png);
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        qCDebug(lcThumbs) << "cannot store the thumbnail of" << source.path.c_str() << std::strerror(errno);
        return false;
    }
    return true;
}
