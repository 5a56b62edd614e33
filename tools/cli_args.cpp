#include "tools/cli_args.h"

#include <cstdlib>
#include <cstring>

std::string ParseCliArguments(int argc, char** argv, const std::vector<CliOption>& options,
                              const char* positionalName, std::string& positional)
{
    bool havePositional = false;
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
        } else if (!havePositional) {
            positional = a;
            havePositional = true;
        } else {
            return std::string("more than one ") + positionalName;
        }
    }
    return havePositional ? std::string() : std::string(positionalName) + " is required";
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
