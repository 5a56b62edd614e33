#include <cstdio>

#include "tools/cli_commands.h"

int RunList(int, char**)
{
    std::fprintf(stderr, "lumvane-cli list: not available yet\n");
    return 2;
}
