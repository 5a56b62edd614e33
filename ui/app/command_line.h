#pragma once
// The command line: one optional image path, quoted or not, and the few
// options answered before any window is made.

#include <string>
#include <string_view>

// What the arguments ask for, decided before QApplication exists (it would
// need a display). "--help"/"-h" and "--version" win; any other argument
// before "--" that starts with '-' must be an existing file or one of Qt's
// own options (kept for QApplication), else it is a usage error.
struct ArgumentCheck {
    enum Kind { Run, Help, Version, Usage } kind = Run;
    std::string argument;  // Usage: the argument refused
};
ArgumentCheck CheckArguments(int argc, const char* const* argv);

// The text --help prints.
std::string HelpText();

// The program's arguments after its name joined with single blanks: the one
// raw text the parser reads. The first "--" is left out: it only ends the
// options, so that a name starting with '-' can follow.
std::string JoinArguments(int argc, const char* const* argv);

// The path named by the command-line text: leading blanks (0x20 only) are
// skipped, one opening double quote is stepped over, and the path runs to the
// next double quote or the end of the text. An unquoted path keeps its
// blanks. Empty when nothing is named.
std::string ParseCommandLine(std::string_view text);
