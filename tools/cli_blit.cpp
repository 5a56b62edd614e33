#include <cstdio>

#include "tools/cli_commands.h"

int RunBlit(int, char**)
{
    std::fprintf(stderr, "lumvane-cli blit: not available yet\n");
    return 2;
}
