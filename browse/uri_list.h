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

// The local paths of a text/uri-list, in order. Comment lines, URIs of other
// schemes or hosts, and paths that are not absolute or hold a NUL byte are
// left out.
std::vector<std::string> DecodeUriList(const QByteArray& list);
