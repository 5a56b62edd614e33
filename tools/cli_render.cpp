#include <cstdio>

#include "tools/cli_commands.h"

int RunRender(int, char**)
{
    std::fprintf(stderr, "lumvane-cli render: not available yet\n");
    return 2;
}
