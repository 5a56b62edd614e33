// lumvane-cli: the decoding, display, loading, file-transfer and lossless
// transform core from the command line.

#include <cstdio>
#include <cstring>

#include "decode/decode_memory.h"
#include "tools/cli_commands.h"

// The commands that need Qt's image classes (the image list's loader with
// the shared thumbnail cache, and the display conversion) are linked into
// lumvane-cli-full alone: without them lumvane-cli starts without loading
// QtGui and its libraries, a few milliseconds of every run, and hands those
// commands to the full program.
#ifdef LUMVANE_FULL_CLI
#define IMAGE_COMMAND(run) run
#else
#define IMAGE_COMMAND(run) nullptr
#endif

namespace {
struct Command {
    const char* name;
    int (*run)(int argc, char** argv);  // null: run by lumvane-cli-full
    const char* usage;
};

constexpr Command kCommands[] = {
    {"info", RunInfo, "info FILE"},
    {"render", RunRender,
     "render FILE -o OUT [--fit WxH] [--rotate 0|1|2|3] [--flip-h] [--flip-v] [--hq] [--interp] "
     "[--auto-orient] [--colour-profile]"},
    {"thumb", RunThumb, "thumb FILE -o OUT [--size S] [--exif] [--auto-orient] [--colour-profile]"},
    {"list", IMAGE_COMMAND(RunList), "list DIR"},
    {"thumbs", IMAGE_COMMAND(RunThumbs),
     "thumbs DIR [--size S] [--exif] [-o OUTDIR] [--as-stored] [--no-cache] [--threads N]"},
    {"step", IMAGE_COMMAND(RunStep),
     "step DIR [--fit WxH] [--rotate N] [--flip-h] [--flip-v] [--count K] [--pause MS]"},
    {"blit", IMAGE_COMMAND(RunBlit),
     "blit FILE -o OUT.png --format 0|1|2|3|4 [--no-dither] [--gamma G] [--zoom N | --zoom 1/N]"},
    {"copy", RunCopy,
     "copy [--on-collision ask|skip|replace|keep-both|cancel] [--progress] [--] SOURCE... TARGETDIR"},
    {"move", RunMove,
     "move [--on-collision ask|skip|replace|keep-both|cancel] [--progress] [--] SOURCE... TARGETDIR"},
    {"transform", RunTransform,
     "transform [--rotate 90|180|270] [--flip-h] [--flip-v] [--transpose] [--transverse] [--auto-orient] "
     "[--trim | --perfect | --tag-only] [--keep-mtime] [--progress] [--] FILE..."},
};

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  lumvane-cli %s\n", c.usage);
    std::fprintf(out, "  lumvane-cli --help | --version\n");
}

// Asked for, the usage goes to standard output with success; given on a
// mistake, to standard error with the usage status.
int Usage()
{
    PrintUsage(stderr);
    return 2;
}
}  // namespace

int main(int argc, char** argv)
{
    ShareOneHeap();
    if (argc < 2)
        return Usage();
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("lumvane-cli %s\n", LUMVANE_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    for (const Command& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0)
            return c.run ? c.run(argc - 2, argv + 2) : ExecFullCli(argv);
    std::fprintf(stderr, "lumvane-cli: unknown command %s\n", argv[1]);
    return Usage();
}
