#include <cstdio>

#include "tools/cli_commands.h"

int RunInfo(int, char**)
{
    std::fprintf(stderr, "lumvane-cli info: not available yet\n");
    return 2;
}
