#include <cstdio>

#include "tools/cli_commands.h"

int RunThumbs(int, char**)
{
    std::fprintf(stderr, "lumvane-cli thumbs: not available yet\n");
    return 2;
}
