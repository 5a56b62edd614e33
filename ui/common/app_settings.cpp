#include "common/app_settings.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

AppSettings AppSettings::Defaults(int w, int h, std::string currentDirectory)
{
    AppSettings s;
    // Each product is taken after its division: 7 * (W / 8), not 7 * W / 8.
    s.windowRect = {w / 8, h / 8, 7 * (w / 8), 7 * (h / 8)};
    s.mainSplitPos = h / 3;
    s.panelSplitPos = w / 4;
    s.startFolder = std::move(currentDirectory);
    s.propertiesRect = {w / 6, h / 6, 4 * (w / 6), 4 * (h / 6)};
    return s;
}

std::string CurrentDirectory()
{
    // No fixed limit: grow the buffer until the whole path fits.
    std::vector<char> buffer(4096);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE || buffer.size() > (size_t(1) << 24))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}
