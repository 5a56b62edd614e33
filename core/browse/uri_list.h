#pragma once
// Lists of files as text/uri-list, the form drag and drop and the clipboard
// carry between programs: one file: URI a line, lines ended by CR LF. Paths
// are raw bytes; every byte outside the unreserved set (and "/") is
// percent-encoded, so names that are not UTF-8 cross over unchanged.

#include <QByteArray>

#include <string>
#include <vector>

// The text/uri-list of these absolute paths.
QByteArray EncodeUriList(const std::vector<std::string>& paths);

// The local paths of a text/uri-list, in order; lines may end with CR LF, LF
// or CR, and a query or fragment ("?", "#") ends the path. Comment lines, URIs
// of other schemes or hosts (file:////server/x too), paths that are not
// absolute, hold a NUL byte or a broken escape ("%zz") are left out.
std::vector<std::string> DecodeUriList(const QByteArray& list);
