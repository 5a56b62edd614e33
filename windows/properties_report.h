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

struct ReportRow {
    std::string tag;
    std::string value;
    bool operator==(const ReportRow&) const = default;
};

// Every row for the file at `path` (bytes, absolute or relative to the
// current directory) from the information its decoder read.
std::vector<ReportRow> BuildPropertiesRows(const std::string& path, const ImageInfo& info);

// The rows of one comment: first line under "Comment", the others untagged.
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
