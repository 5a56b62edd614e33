#pragma once
// The rows of the image properties window (file data, comments, Exif tags)
// and their plain-text "Copy Report" form. Core logic only: the window and
// lumvane-cli info both build on it.
//
// Thread rules: pure functions over their arguments; any thread.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct ImageInfo;

// What a report shows at most: every row of a camera's photo, but not the
// millions of lines a crafted file can ask for. What is left out is counted
// in a last row ("… 999 000 more comment segments not shown").
constexpr size_t kMaxCommentRows = 1000;  // lines of all comments together
constexpr size_t kMaxExifRows = 500;
constexpr size_t kMaxValueBytes = 1024;  // of one value, cut at a character

struct ReportRow {
    std::string tag;
    std::string value;
    bool operator==(const ReportRow&) const = default;
};

// Every row for the file at `path` (bytes, absolute or relative to the
// current directory) from the information its decoder read.
std::vector<ReportRow> BuildPropertiesRows(const std::string& path, const ImageInfo& info);

// The rows of one comment: first line under "Comment", the others untagged,
// each value held to kMaxValueBytes.
void AddCommentRows(const std::string& comment, std::vector<ReportRow>& rows);

// 1234567 gives "1 234 567 bytes".
std::string FormatFileSize(int64_t size);
// The long local date and time; empty when the time is unknown (0) or
// can't be converted.
std::string FormatFileTime(std::time_t time);
// The folder's absolute path and the file's name.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// One line per row: the tag padded with spaces to the longest tag's length
// plus 4, the value, then `lineEnd`. Empty for no rows.
std::string FormatReport(const std::vector<ReportRow>& rows, const std::string& lineEnd);
