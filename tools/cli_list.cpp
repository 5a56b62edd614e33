// lumvane-cli list: the folder's image list, in the order the viewer shows it.

#include <cstdio>
#include <cstring>
#include <string>

#include "browse/shell_pidl.h"
#include "loader/thumb_loader.h"
#include "tools/cli_commands.h"

int RunList(int argc, char** argv)
{
    // "--" ends the options, so that a folder named "-x" can be given.
    if (argc == 2 && std::strcmp(argv[0], "--") == 0) {
        --argc;
        ++argv;
    } else if (argc != 1 || (argv[0][0] == '-' && argv[0][1])) {
        std::fprintf(stderr, "usage: lumvane-cli list [--] DIR\n");
        return 2;
    }
    const std::string dir = argv[0];
    CShellPidl folder;
    uint32_t attributes = kAttrFolder | kAttrFileSystem;
    if (!folder.ParseName(dir, &attributes)) {
        std::fprintf(stderr, "lumvane-cli list: %s: no such folder\n", dir.c_str());
        return 1;
    }
    if (!(attributes & kAttrFolder)) {
        std::fprintf(stderr, "lumvane-cli list: %s: not a folder\n", dir.c_str());
        return 1;
    }
    CThumbLoader loader;
    if (!loader.OpenFolder(folder)) {
        std::fprintf(stderr, "lumvane-cli list: %s: the folder cannot be read\n", dir.c_str());
        return 1;
    }
    for (const ImageItem* item = loader.FirstItem(); item; item = item->next) {
        std::fwrite(item->name.data(), 1, item->name.size(), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
