// lumvane-cli step: steps through a folder the way PageDown does and reports
// how long each image took to be fully decoded, and how many were prefetched.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "browse/shell_pidl.h"
#include "loader/thumb_loader.h"
#include "tools/cli_args.h"
#include "tools/cli_commands.h"

namespace {

int Usage(const char* why)
{
    std::fprintf(stderr,
                 "lumvane-cli step: %s\n"
                 "usage: lumvane-cli step DIR [--fit WxH] [--rotate N] [--flip-h] [--flip-v] [--count K] "
                 "[--pause MS]\n",
                 why);
    return 2;
}

struct Options {
    std::string dir;
    ViewRequest view;
    int count = -1;  // through the whole list
    int pauseMs = 0;
};

int ParseArguments(int argc, char** argv, Options* o)
{
    const std::string why = ParseCliArguments(
        argc, argv,
        {
            FitOption(o->view.targetWidth, o->view.targetHeight, 65535,
                      "--fit wants WxH, for example 1920x1080 (0 leaves a side free)"),
            RotateOption(o->view.rotation),
            FlagOption("--flip-h", o->view.flipHorizontally),
            FlagOption("--flip-v", o->view.flipVertically),
            NumberOption("--count", 0, 1000000000, o->count, "--count wants a number of steps"),
            NumberOption("--pause", 0, 3600000, o->pauseMs, "--pause wants milliseconds"),
        },
        "DIR", o->dir);
    return why.empty() ? 0 : Usage(why.c_str());
}

// Asks for the item and waits until its image is fully decoded (or found
// undecodable). Returns the wait in milliseconds.
double ShowAndWait(CThumbLoader& loader, ViewRequest request, bool* prefetched)
{
    ImageItem* item = request.item;
    *prefetched = item->displayDone.IsSet() && !loader.IsBeingDecoded(item);
    const auto start = std::chrono::steady_clock::now();
    loader.RequestView(request, false);
    item->displayDone.Wait();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int RunStep(int argc, char** argv)
{
    Options o;
    if (int status = ParseArguments(argc, argv, &o))
        return status;
    CShellPidl folder;
    uint32_t attributes = kAttrFolder | kAttrFileSystem;
    CThumbLoader loader;
    if (!folder.ParseName(o.dir, &attributes) || !(attributes & kAttrFolder) || !loader.OpenFolder(folder)) {
        std::fprintf(stderr, "lumvane-cli step: %s: the folder cannot be opened\n", o.dir.c_str());
        return 1;
    }
    std::vector<double> waits;
    long prefetchedCount = 0;
    ViewRequest request = o.view;
    request.item = loader.FirstItem();
    // PageDown stops at the end of the list; it does not wrap.
    for (long step = 0; request.item && (o.count < 0 || step <= o.count); ++step) {
        bool prefetched = false;
        const double wait = ShowAndWait(loader, request, &prefetched);
        const bool shown = loader.DisplayImageOf(request.item) != nullptr;
        std::printf("%s: %.1f ms%s%s\n", request.item->name.c_str(), wait, prefetched ? ", prefetched" : "",
                    shown ? "" : ", not decodable");
        if (step > 0) {
            waits.push_back(wait);
            prefetchedCount += prefetched;
        }
        if (o.pauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(o.pauseMs));
        request.item = request.item->next;
    }
    double median = 0, longest = 0;
    if (!waits.empty()) {
        std::vector<double> sorted = waits;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
        longest = sorted.back();
    }
    std::printf("steps: %zu, prefetched %ld, median wait %.1f ms, max %.1f ms\n", waits.size(),
                prefetchedCount, median, longest);
    return 0;
}
