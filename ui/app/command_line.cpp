#include "app/command_line.h"

#include <cstring>
#include <sys/stat.h>

namespace {

struct QtOption {
    const char* name;  // with one leading '-'; Qt takes "--name" alike
    bool takesValue;
    bool joinedValue = false;  // "-style=fusion" too
};

// The options QApplication takes out of argv itself.
constexpr QtOption kQtOptions[] = {
    {"-platform", true},
    {"-platformpluginpath", true},
    {"-platformtheme", true},
    {"-plugin", true},
    {"-qwindowgeometry", true},
    {"-qwindowicon", true},
    {"-qwindowtitle", true},
    {"-geometry", true},
    {"-title", true},
    {"-icon", true},
    {"-display", true},
    {"-name", true},
    {"-session", true},
    {"-style", true, true},
    {"-stylesheet", true, true},
    {"-reverse", false},
    {"-widgetcount", false},
    {"-nograb", false},
    {"-dograb", false},
    {"-sync", false},
};

// The Qt option `arg` names, or null; `joined` tells "-style=fusion".
const QtOption* FindQtOption(const char* arg, bool* joined)
{
    if (arg[0] == '-' && arg[1] == '-')
        ++arg;
    for (const QtOption& o : kQtOptions) {
        const size_t n = std::strlen(o.name);
        if (std::strncmp(arg, o.name, n) != 0)
            continue;
        *joined = o.joinedValue && arg[n] == '=';
        if (arg[n] == '\0' || *joined)
            return &o;
    }
    return nullptr;
}

bool Exists(const char* path)
{
    struct stat st {};
    return ::stat(path, &st) == 0;
}

}  // namespace

ArgumentCheck CheckArguments(int argc, const char* const* argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)
            return {ArgumentCheck::Help, {}};
        if (std::strcmp(a, "--version") == 0)
            return {ArgumentCheck::Version, {}};
    }
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        if (a[0] != '-' || Exists(a))
            continue;
        bool joined = false;
        const QtOption* qt = FindQtOption(a, &joined);
        if (!qt)
            return {ArgumentCheck::Usage, a};
        if (qt->takesValue && !joined)
            ++i;
    }
    return {};
}

std::string HelpText()
{
    return "usage: lumvane [--] [FILE | FOLDER]\n"
           "       lumvane --help | --version\n"
           "\n"
           "Browses and shows JPEG photographs. A FILE is shown at start, a FOLDER\n"
           "opened in the folder tree; without either the current folder is opened.\n"
           "The path may be given unquoted with its blanks; \"--\" ends the\n"
           "options, for a name starting with '-'.\n"
           "\n"
           "  -h, --help     print this help and exit\n"
           "  --version      print the version and exit\n"
           "\n"
           "Qt's own options (-platform NAME, -style NAME, ...) are accepted.\n"
           "See lumvane(1).\n";
}

std::string JoinArguments(int argc, const char* const* argv)
{
    std::string text;
    bool optionsEnded = false;
    bool first = true;
    for (int i = 1; i < argc; ++i) {
        if (!optionsEnded && std::strcmp(argv[i], "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (!first)
            text += ' ';
        text += argv[i];
        first = false;
    }
    return text;
}

std::string ParseCommandLine(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos < text.size() && text[pos] == '"')
        ++pos;
    const size_t end = text.find('"', pos);
    return std::string(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
}
