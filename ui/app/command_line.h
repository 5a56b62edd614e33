#pragma once
// The command line: one optional image path, quoted or not.

#include <string>
#include <string_view>

// The program's arguments after its name joined with single blanks: the one
// raw text the parser reads.
std::string JoinArguments(int argc, const char* const* argv);

// The path named by the command-line text: leading blanks (0x20 only) are
// skipped, one opening double quote is stepped over, and the path runs to the
// next double quote or the end of the text. An unquoted path keeps its
// blanks. Empty when nothing is named.
std::string ParseCommandLine(std::string_view text);
