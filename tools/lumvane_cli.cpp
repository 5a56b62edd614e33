// lumvane-cli: the decoding, display, loading, file-transfer and lossless
// transform core from the command line.

#include <cstdio>
#include <cstring>

#include "tools/cli_commands.h"

namespace {
struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"info", RunInfo, "info FILE"},
    {"render", RunRender,
     "render FILE -o OUT [--fit WxH] [--rotate 0|1|2|3] [--flip-h] [--flip-v] [--hq] [--interp] "
     "[--auto-orient] [--colour-profile]"},
    {"thumb", RunThumb, "thumb FILE -o OUT [--size S] [--exif] [--auto-orient] [--colour-profile]"},
    {"list", RunList, "list DIR"},
    {"thumbs", RunThumbs,
     "thumbs DIR [--size S] [--exif] [-o OUTDIR] [--as-stored] [--no-cache] [--threads N]"},
    {"step", RunStep, "step DIR [--fit WxH] [--rotate N] [--flip-h] [--flip-v] [--count K] [--pause MS]"},
    {"blit", RunBlit,
     "blit FILE -o OUT.png --format 0|1|2|3|4 [--no-dither] [--gamma G] [--zoom N | --zoom 1/N]"},
    {"copy", RunCopy,
     "copy [--on-collision ask|skip|replace|keep-both|cancel] [--progress] [--] SOURCE... TARGETDIR"},
    {"move", RunMove,
     "move [--on-collision ask|skip|replace|keep-both|cancel] [--progress] [--] SOURCE... TARGETDIR"},
    {"transform", RunTransform,
     "transform rotate90|rotate180|rotate270|flip-h|flip-v|transpose|transverse|auto "
     "[--edges refuse|trim|tag] [--keep-mtime] [--progress] [--] FILE..."},
};

int Usage()
{
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  lumvane-cli %s\n", c.usage);
    return 2;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    for (const Command& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0)
            return c.run(argc - 2, argv + 2);
    return Usage();
}
