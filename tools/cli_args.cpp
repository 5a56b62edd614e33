#include "tools/cli_args.h"

#include "decode/bitmap_export.h"
#include "decode/image_bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string ParseCliArgumentList(int argc, char** argv, const std::vector<CliOption>& options,
                                 const char* positionalName, size_t maxPositionals,
                                 std::vector<std::string>& positionals)
{
    bool optionsEnded = false;  // after "--" every argument is positional
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        const CliOption* option = nullptr;
        for (const CliOption& o : options)
            if (!optionsEnded && std::strcmp(a, o.name) == 0)
                option = &o;
        if (option && option->takesValue && i + 1 >= argc)
            option = nullptr;  // reported below as incomplete
        if (option) {
            if (!option->apply(option->takesValue ? argv[++i] : nullptr))
                return option->complaint;
        } else if (!optionsEnded && std::strcmp(a, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && a[0] == '-' && a[1]) {
            return std::string("unknown or incomplete option ") + a;
        } else if (positionals.size() < maxPositionals) {
            positionals.push_back(a);
        } else {
            return std::string("more than one ") + positionalName;
        }
    }
    return positionals.empty() ? std::string(positionalName) + " is required" : std::string();
}

std::string ParseCliArguments(int argc, char** argv, const std::vector<CliOption>& options,
                              const char* positionalName, std::string& positional)
{
    std::vector<std::string> positionals;
    const std::string why = ParseCliArgumentList(argc, argv, options, positionalName, 1, positionals);
    if (!positionals.empty())
        positional = positionals.front();
    return why;
}

CliOption OutputOption(std::string& output)
{
    return {"-o", true,
            [&output](const char* v) {
                output = v;
                return true;
            },
            ""};
}

CliOption SizeOption(int& size)
{
    return NumberOption("--size", 1, 4096, size, "--size wants a number from 1 to 4096");
}

CliOption RotateOption(int& rotation)
{
    return NumberOption("--rotate", 0, 3, rotation, "--rotate wants 0, 1, 2 or 3");
}

CliOption FitOption(int& width, int& height, int maxSide, const char* complaint)
{
    return {"--fit", true,
            [&width, &height, maxSide](const char* v) {
                const char* x = std::strchr(v, 'x');
                if (!x)
                    return false;
                const std::string w(v, x);
                return ParseCliNumber(w.c_str(), 0, maxSide, width)
                    && ParseCliNumber(x + 1, 0, maxSide, height);
            },
            complaint};
}

CliOption NumberOption(const char* name, int min, int max, int& value, const char* complaint)
{
    return {name, true, [min, max, &value](const char* v) { return ParseCliNumber(v, min, max, value); },
            complaint};
}

CliOption FlagOption(const char* name, bool& flag, bool value)
{
    return {name, false,
            [&flag, value](const char*) {
                flag = value;
                return true;
            },
            ""};
}

bool ParseCliNumber(const char* text, int min, int max, int& value)
{
    if (!(*text >= '0' && *text <= '9'))
        return false;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end || v < min || v > max)
        return false;
    value = int(v);
    return true;
}

std::string ImageOutputProblem(const std::string& output)
{
    if (output.empty())
        return "-o OUT is required";
    if (FormatOfPath(output) == ImageFileFormat::Unknown)
        return "OUT must end in .ppm, .bmp or .png";
    return {};
}

bool WriteCliImage(const char* command, CImageBitmap& image, const std::string& output)
{
    std::string error;
    if (WriteImageFile(image, output, &error))
        return true;
    std::fprintf(stderr, "lumvane-cli %s: %s: %s\n", command, output.c_str(), error.c_str());
    return false;
}

std::string OneLinePath(const std::string& path)
{
    std::string line = path;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return line;
}
