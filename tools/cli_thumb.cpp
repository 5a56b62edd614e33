#include <cstdio>

#include "tools/cli_commands.h"

int RunThumb(int, char**)
{
    std::fprintf(stderr, "lumvane-cli thumb: not available yet\n");
    return 2;
}
