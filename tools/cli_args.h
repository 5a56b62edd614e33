#pragma once
// Argument parsing shared by the lumvane-cli subcommands that take a few
// options and one positional argument (or several).
//
// Thread rules: plain functions over their arguments.

#include <functional>
#include <string>
#include <vector>

struct CliOption {
    const char* name;  // "-o", "--size"
    bool takesValue;   // the next argument is its value
    // Takes the value (nullptr for a flag); false when the value is unusable.
    std::function<bool(const char* value)> apply;
    const char* complaint;  // why, when apply refuses the value
};

// The entries several commands share, so that each is spelled and checked
// the same way everywhere.
CliOption OutputOption(std::string& output);  // -o OUT
CliOption SizeOption(int& size);              // --size N, 1 to 4096
CliOption RotateOption(int& rotation);        // --rotate N, 0 to 3 quarter turns clockwise
// --fit WxH, each side from 0 (free) to maxSide.
CliOption FitOption(int& width, int& height, int maxSide, const char* complaint);
// NAME N, a whole number from min to max.
CliOption NumberOption(const char* name, int min, int max, int& value, const char* complaint);
// Sets `flag` to `value` when given ("--hq" on, "--no-dither" off).
CliOption FlagOption(const char* name, bool& flag, bool value = true);

// Walks argv: each option of the table, and exactly one positional argument
// (which may not start with '-', except "-" itself, unless it follows "--").
// Returns an empty string on success, else the reason for a usage message.
std::string ParseCliArguments(int argc, char** argv, const std::vector<CliOption>& options,
                              const char* positionalName, std::string& positional);

// The same for up to `maxPositionals` positional arguments, kept in order;
// at least one is required.
std::string ParseCliArgumentList(int argc, char** argv, const std::vector<CliOption>& options,
                                 const char* positionalName, size_t maxPositionals,
                                 std::vector<std::string>& positionals);

// A whole decimal number from min to max, without sign or spaces.
bool ParseCliNumber(const char* text, int min, int max, int& value);

// A path on one line: control bytes (a newline in a name) show as '?'.
std::string OneLinePath(const std::string& path);

class CImageBitmap;

// Why OUT cannot name the image file to write ("-o OUT is required", or a
// wrong extension), or an empty string when it can.
std::string ImageOutputProblem(const std::string& output);

// Writes the image in the format OUT's extension names. On failure prints
// "lumvane-cli COMMAND: OUT: why" on stderr and returns false.
bool WriteCliImage(const char* command, CImageBitmap& image, const std::string& output);
