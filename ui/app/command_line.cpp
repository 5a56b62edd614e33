#include "app/command_line.h"

std::string JoinArguments(int argc, const char* const* argv)
{
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
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
