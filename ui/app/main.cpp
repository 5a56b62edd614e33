#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/image_app.h"
#include "decode/decode_memory.h"

int main(int argc, char** argv)
{
    ShareOneHeap();
    // Answered before QApplication is made: it would need a display.
    const ArgumentCheck check = CheckArguments(argc, argv);
    switch (check.kind) {
    case ArgumentCheck::Help: std::fputs(HelpText().c_str(), stdout); return std::fflush(stdout) == 0 ? 0 : 1;
    case ArgumentCheck::Version:
        std::printf("lumvane %s\n", LUMVANE_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case ArgumentCheck::Usage:
        std::fprintf(stderr, "lumvane: unknown option %s\nTry 'lumvane --help'.\n", check.argument.c_str());
        return 2;
    case ArgumentCheck::Run: break;
    }
    CImageApp app(argc, argv);
    if (!app.InitInstance())
        return 0;
    return app.exec();
}
