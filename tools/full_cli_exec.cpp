// Finding and running lumvane-cli-full: next to lumvane-cli in the build
// folder, in the private program folder once installed.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "tools/cli_commands.h"

int ExecFullCli(char** argv)
{
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::fprintf(stderr, "lumvane-cli: cannot find its own program: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string here(self, size_t(n));
    const std::string dir = here.substr(0, here.rfind('/') + 1);
    std::string tried;
    int why = ENOENT;
    for (const char* relative : {"", LUMVANE_FULL_CLI_DIR "/"}) {
        tried = dir + relative + "lumvane-cli-full";
        ::execv(tried.c_str(), argv);  // returns only when it failed
        why = errno;
        if (why != ENOENT)
            break;
    }
    std::fprintf(stderr, "lumvane-cli: cannot run %s: %s\n", tried.c_str(), std::strerror(why));
    return 1;
}
