#include "loader/sort_order.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include "decode/exif_reader.h"
#include "loader/image_item.h"
#include "loader/name_order.h"

namespace {

constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr int kTypeAscii = 2;
// Exif must come in the first segments; a file that puts it further back
// is read no further than this.
constexpr int kMaxSegmentsBeforeExif = 16;

// Reads exactly `n` bytes at `offset`; false at the end of the file.
bool ReadAt(int fd, off_t offset, uint8_t* out, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, out + done, n - done, offset + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

// "YYYY:MM:DD HH:MM:SS" as local time; nothing for another shape, including
// the blank or zeroed dates cameras write when their clock is not set.
std::optional<int64_t> ParseExifDate(const std::string& text)
{
    int year, month, day, hour, minute, second;
    if (text.size() < 19
        || std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second)
            != 6
        || year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59
        || second > 60)
        return std::nullopt;
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return int64_t(std::mktime(&tm));
}

std::optional<int64_t> DateTakenOf(const CExifReader& exif)
{
    for (const ExifEntry& e : exif.ExifDir().entries)
        if (e.tag == kTagDateTimeOriginal && e.type == kTypeAscii)
            return ParseExifDate(std::string(e.text.c_str()));
    return std::nullopt;
}

// One item's sort key, read once per sort.
struct Keyed {
    ImageItem* item;
    QString name;
    int64_t key = 0;
};

int64_t KeyOf(SortKey key, const std::string& path)
{
    struct stat st {};
    const bool known = !path.empty() && ::stat(path.c_str(), &st) == 0;
    switch (key) {
    case SortKey::Size: return known ? int64_t(st.st_size) : -1;
    case SortKey::DateTaken:
        if (const std::optional<int64_t> taken = ReadDateTaken(path))
            return *taken;
        [[fallthrough]];
    case SortKey::DateModified: return known ? int64_t(st.st_mtime) : INT64_MIN + 1;
    case SortKey::Name: break;
    }
    return 0;
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int Natural(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Digit runs by value: leading zeros dropped, then the longer run
            // is the larger number, then the digits decide.
            const qsizetype si = i, sj = j;
            while (i < a.size() && IsDigit(a[i]))
                ++i;
            while (j < b.size() && IsDigit(b[j]))
                ++j;
            qsizetype zi = si, zj = sj;
            while (zi < i - 1 && a[zi] == u'0')
                ++zi;
            while (zj < j - 1 && b[zj] == u'0')
                ++zj;
            if (i - zi != j - zj)
                return i - zi < j - zj ? -1 : 1;
            if (const int c = a.mid(zi, i - zi).compare(b.mid(zj, j - zj)))
                return c;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Equal but for case or leading zeros: the plain orders decide, so the
    // order is total and does not depend on the listing.
    if (const int c = a.compare(b, Qt::CaseInsensitive))
        return c;
    return a.compare(b);
}

int CompareNames(const Keyed& a, const Keyed& b, bool natural)
{
    return natural ? Natural(a.name, b.name) : QString::compare(a.name, b.name, Qt::CaseInsensitive);
}

Keyed KeyedOf(ImageItem* item, const SortOrder& order,
              const std::function<std::string(const ImageItem*)>& pathOf)
{
    Keyed k {item, QString::fromUtf8(item->name.data(), qsizetype(item->name.size()))};
    if (order.key == SortKey::DateTaken) {
        // Reading the Exif data is the slow part; the others are a stat.
        if (item->dateTakenKey == INT64_MIN)
            item->dateTakenKey = KeyOf(order.key, pathOf(item));
        k.key = item->dateTakenKey;
    } else if (order.key != SortKey::Name) {
        k.key = KeyOf(order.key, pathOf(item));
    }
    return k;
}

bool Before(const Keyed& a, const Keyed& b, const SortOrder& order)
{
    if (a.key != b.key)
        return order.reverse ? a.key > b.key : a.key < b.key;
    const int names = CompareNames(a, b, order.natural);
    return order.reverse ? names > 0 : names < 0;
}

}  // namespace

int CompareNaturally(const std::string& a, const std::string& b)
{
    return Natural(QString::fromUtf8(a.data(), qsizetype(a.size())),
                   QString::fromUtf8(b.data(), qsizetype(b.size())));
}

std::optional<int64_t> ReadDateTaken(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<int64_t> taken;
    struct stat st {};
    uint8_t head[4];
    off_t at = 2;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAt(fd, 0, head, 2) && head[0] == 0xFF
        && head[1] == 0xD8) {
        std::vector<uint8_t> payload;
        for (int segment = 0; segment < kMaxSegmentsBeforeExif && ReadAt(fd, at, head, 4); ++segment) {
            const int marker = head[1], length = head[2] << 8 | head[3];
            // The image data starts (SOS), or the stream is not what it
            // claims: no date in the headers.
            if (head[0] != 0xFF || marker == 0xDA || marker == 0xD9 || length < 2)
                break;
            if (marker == 0xE1) {
                payload.resize(size_t(length - 2));
                if (!ReadAt(fd, at + 4, payload.data(), payload.size()))
                    break;
                CExifReader exif;
                exif.ParseApp1(payload.data(), payload.size());
                if (!exif.IsEmpty()) {
                    taken = DateTakenOf(exif);
                    break;
                }
            }
            at += 2 + length;
        }
    }
    ::close(fd);
    return taken;
}

void SortItems(std::vector<ImageItem*>& items, const SortOrder& order,
               const std::function<std::string(const ImageItem*)>& pathOf)
{
    if (order == kFolderOrder) {
        SortByName(items);
        return;
    }
    std::vector<Keyed> keyed;
    keyed.reserve(items.size());
    for (ImageItem* item : items)
        keyed.push_back(KeyedOf(item, order, pathOf));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&order](const Keyed& a, const Keyed& b) { return Before(a, b, order); });
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = keyed[i].item;
}

void InsertSorted(std::vector<ImageItem*>& items, std::vector<ImageItem*> added, const SortOrder& order,
                  const std::function<std::string(const ImageItem*)>& pathOf)
{
    SortItems(added, order, pathOf);
    for (ImageItem* item : added) {
        // After the items it equals, as a stable sort of the whole would put it.
        const Keyed k = KeyedOf(item, order, pathOf);
        const auto at = std::upper_bound(items.begin(), items.end(), k, [&](const Keyed& a, ImageItem* b) {
            return Before(a, KeyedOf(b, order, pathOf), order);
        });
        items.insert(at, item);
    }
}
