#include "report/properties_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "decode/jpeg_decoder.h"
#include "report/string_table.h"

namespace {

std::string Text(int id)
{
    return res::String(id);
}

std::string Pixels(int n)
{
    return std::to_string(n) + " " + Text(10);
}

// 1234567 gives "1 234 567".
std::string GroupDigits(int64_t n)
{
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out = n < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ' ';
        out += digits[i];
    }
    return out;
}

// "… 999 000 more comment segments not shown".
std::string NotShown(int64_t n, const char* one, const char* many)
{
    return "\u2026 " + GroupDigits(n) + " more " + (n == 1 ? one : many) + " not shown";
}

// The value held to kMaxValueBytes, cut where a UTF-8 character starts.
std::string Shown(std::string value)
{
    if (value.size() <= kMaxValueBytes)
        return value;
    size_t cut = kMaxValueBytes;
    while (cut > 0 && (uint8_t(value[cut]) & 0xC0) == 0x80)
        --cut;
    const int64_t dropped = int64_t(value.size() - cut);
    value.resize(cut);
    return value + " " + NotShown(dropped, "byte", "bytes");
}

// Adds the lines of one comment while there is room for rows; returns how
// many lines found no room.
int64_t AddCommentLines(const std::string& stored, std::vector<ReportRow>& rows, size_t room)
{
    // A comment is text: it ends at its first zero byte.
    const std::string comment = stored.substr(0, stored.find('\0'));
    if (comment.empty()) {
        if (room == 0)
            return 1;
        rows.push_back({Text(7), {}});
        return 0;
    }
    int64_t left = 0;
    size_t pos = 0;
    bool first = true;
    while (pos < comment.size()) {
        size_t end = comment.find('\n', pos);
        if (end == std::string::npos)
            end = std::min(comment.find('\r', pos), comment.size());
        if (room > 0) {
            rows.push_back({first ? Text(7) : std::string(), Shown(comment.substr(pos, end - pos))});
            --room;
        } else {
            ++left;
        }
        first = false;
        pos = comment.find_first_not_of("\r\n", end);
        if (pos == std::string::npos)
            break;
    }
    return left;
}

// Every comment's lines up to kMaxCommentRows, then what was left out.
void AddComments(const ImageInfo& info, std::vector<ReportRow>& rows)
{
    size_t room = kMaxCommentRows;
    int64_t linesLeft = 0, segmentsLeft = info.commentsNotKept;
    for (const std::string& comment : info.comments) {
        if (room == 0) {
            ++segmentsLeft;
            continue;
        }
        const size_t before = rows.size();
        linesLeft += AddCommentLines(comment, rows, room);
        room -= rows.size() - before;
    }
    if (linesLeft > 0)
        rows.push_back({{}, NotShown(linesLeft, "comment line", "comment lines")});
    if (segmentsLeft > 0)
        rows.push_back({{}, NotShown(segmentsLeft, "comment segment", "comment segments")});
}

}  // namespace

std::string FormatFileSize(int64_t size)
{
    return GroupDigits(size) + " " + Text(9);
}

std::string FormatFileTime(std::time_t time)
{
    // 0 is what the decoder leaves when it could not read the file's times.
    if (time == 0)
        return {};
    std::tm local {};
    if (!localtime_r(&time, &local))
        return {};
    char buf[129];
    const size_t n = std::strftime(buf, sizeof buf, "%A, %B %d, %Y, %H:%M:%S", &local);
    return std::string(buf, n);
}

std::string FolderOf(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(path), ec);
    if (ec)
        return {};
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename())  // "dir/": the path names the folder itself
        absolute = absolute.parent_path();
    return absolute.parent_path().native();
}

std::string NameOf(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

void AddCommentRows(const std::string& comment, std::vector<ReportRow>& rows)
{
    AddCommentLines(comment, rows, SIZE_MAX);
}

std::vector<ReportRow> BuildPropertiesRows(const std::string& path, const ImageInfo& info)
{
    std::vector<ReportRow> rows = {
        {Text(1), NameOf(path)},
        {Text(2), FolderOf(path)},
        {Text(5), FormatFileSize(info.fileSizeFull)},
        {Text(6), FormatFileTime(info.created)},
        {Text(8), FormatFileTime(info.modified)},
        {Text(12), Text(info.attributes & 0x01 ? 13 : 14)},
        {Text(3), Pixels(info.imageWidth)},
        {Text(4), Pixels(info.imageHeight)},
        {Text(11), Text(info.color ? 15 : 16)},
    };
    AddComments(info, rows);
    size_t exifRows = 0;
    int64_t exifLeft = 0;
    const auto add = [&](const std::string& name, const std::string& text) {
        if (exifRows++ < kMaxExifRows)
            rows.push_back({name, Shown(text)});
        else
            ++exifLeft;
    };
    for (auto d : {CExifReader::Ifd0, CExifReader::ExifIfd_, CExifReader::InteropIfd})
        info.exif.ListIfd(d, add);
    if (exifLeft > 0)
        rows.push_back({{}, NotShown(exifLeft, "Exif entry", "Exif entries")});
    return rows;
}

std::string FormatReport(const std::vector<ReportRow>& rows, const std::string& lineEnd)
{
    size_t longest = 0;
    for (const ReportRow& r : rows)
        longest = std::max(longest, r.tag.size());
    std::string out;
    for (const ReportRow& r : rows) {
        out += r.tag;
        out.append(longest + 4 - r.tag.size(), ' ');
        out += r.value;
        out += lineEnd;
    }
    return out;
}
