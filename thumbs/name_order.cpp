#include "thumbs/name_order.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "thumbs/image_item.h"

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
// Bytes compared with ASCII letters folded to lower case, then by length:
// negative, zero or positive.
int CompareAsciiIgnoringCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = LowerAscii(a[i]), cb = LowerAscii(b[i]);
        if (ca != cb)
            return ca - cb;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
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
    // ASCII case folded compare as the Unicode comparison would, at a small
    // part of its cost.
    struct Keyed {
        std::string_view name;
        QString wide;  // the decoded name; empty for a name of ASCII alone
        bool ascii;
        ImageItem* item;
    };
    const auto compare = [](const Keyed& a, const Keyed& b) {
        if (a.ascii && b.ascii)
            return CompareAsciiIgnoringCase(a.name, b.name);
        const QLatin1StringView latinA(a.name.data(), qsizetype(a.name.size()));
        const QLatin1StringView latinB(b.name.data(), qsizetype(b.name.size()));
        if (a.ascii)
            return -QString::compare(b.wide, latinA, Qt::CaseInsensitive);
        if (b.ascii)
            return QString::compare(a.wide, latinB, Qt::CaseInsensitive);
        return QString::compare(a.wide, b.wide, Qt::CaseInsensitive);
    };
    std::vector<Keyed> keyed;
    keyed.reserve(items.size());
    for (ImageItem* item : items) {
        const std::string_view name = item->name;
        const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x80; });
        keyed.push_back(
            {name, ascii ? QString() : QString::fromUtf8(name.data(), qsizetype(name.size())), ascii, item});
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const Keyed& a, const Keyed& b) { return compare(a, b) < 0; });
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = keyed[i].item;
}
