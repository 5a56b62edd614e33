#include <cstdio>

#include "tools/cli_commands.h"

int RunStep(int, char**)
{
    std::fprintf(stderr, "lumvane-cli step: not available yet\n");
    return 2;
}
