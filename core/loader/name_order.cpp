#include "loader/name_order.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "loader/image_item.h"

namespace {
int LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : uint8_t(c);
}

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
    // A name of ASCII alone (most names are) is not decoded: its bytes with
    // ASCII letters lowered compare as the Unicode comparison would, at a
    // small part of its cost. The keys sit side by side, away from the items.
    struct Keyed {
        std::string lowered;  // a name of ASCII alone, lowered; else empty
        QString wide;         // any other name, decoded
        bool ascii;
        ImageItem* item;
    };
    const auto compare = [](const Keyed& a, const Keyed& b) {
        if (a.ascii && b.ascii)
            return a.lowered.compare(b.lowered);
        const QLatin1StringView latinA(a.lowered.data(), qsizetype(a.lowered.size()));
        const QLatin1StringView latinB(b.lowered.data(), qsizetype(b.lowered.size()));
        if (a.ascii)
            return -QString::compare(b.wide, latinA, Qt::CaseInsensitive);
        if (b.ascii)
            return QString::compare(a.wide, latinB, Qt::CaseInsensitive);
        return QString::compare(a.wide, b.wide, Qt::CaseInsensitive);
    };
    std::vector<Keyed> keyed;
    keyed.reserve(items.size());
    for (ImageItem* item : items) {
        const std::string& name = item->name;
        Keyed k {
            {}, {}, std::all_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x80; }), item};
        if (k.ascii) {
            k.lowered.resize(name.size());
            std::transform(name.begin(), name.end(), k.lowered.begin(),
                           [](char c) { return char(LowerAscii(c)); });
        } else {
            k.wide = QString::fromUtf8(name.data(), qsizetype(name.size()));
        }
        keyed.push_back(std::move(k));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const Keyed& a, const Keyed& b) { return compare(a, b) < 0; });
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = keyed[i].item;
}
