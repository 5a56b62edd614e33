#include "thumbs/name_order.h"

#include <QString>
#include <algorithm>

#include "thumbs/image_item.h"

namespace {
bool EqualsIgnoringAsciiCase(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i])
            return false;
    }
    return true;
}
}  // namespace

bool HasJpegExtension(const std::string& name)
{
    // A '.' byte never occurs inside a UTF-8 sequence, so a byte search finds
    // the last real dot.
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    const size_t n = name.size() - dot;
    const char* ext = name.data() + dot;
    return (n == 4 && EqualsIgnoringAsciiCase(ext, ".jpg", 4))
        || (n == 5 && EqualsIgnoringAsciiCase(ext, ".jpeg", 5));
}

void SortByName(std::vector<ImageItem*>& items)
{
    // Decode every name once; the comparisons then work on ready strings.
    struct Keyed {
        QString key;
        ImageItem* item;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(items.size());
    for (ImageItem* item : items)
        keyed.push_back(
            {QString::fromUtf8(item->name.data(), static_cast<qsizetype>(item->name.size())), item});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return QString::compare(a.key, b.key, Qt::CaseInsensitive) < 0;
    });
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = keyed[i].item;
}
