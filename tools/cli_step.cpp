// lumvane-cli step: steps through a folder the way PageDown does and reports
// how long each image took to be fully decoded, and how many were prefetched.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "browse/shell_pidl.h"
#include "loader/thumb_loader.h"
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

bool ParseInt(const char* text, long low, long high, long* value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    *value = v;
    return true;
}

bool ParseSize(const char* text, int* width, int* height)
{
    const char* x = std::strchr(text, 'x');
    if (!x)
        return false;
    long w = 0, h = 0;
    const std::string first(text, x);
    if (!ParseInt(first.c_str(), 0, 65535, &w) || !ParseInt(x + 1, 0, 65535, &h))
        return false;
    *width = int(w);
    *height = int(h);
    return true;
}

struct Options {
    std::string dir;
    ViewRequest view;
    long count = -1;  // through the whole list
    long pauseMs = 0;
};

int ParseArguments(int argc, char** argv, Options* o)
{
    bool optionsEnded = false;  // after "--" every argument is DIR
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        long v = 0;
        if (optionsEnded) {
            if (!o->dir.empty())
                return Usage("more than one DIR");
            o->dir = a;
        } else if (std::strcmp(a, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(a, "--fit") == 0 && hasValue) {
            if (!ParseSize(argv[++i], &o->view.targetWidth, &o->view.targetHeight))
                return Usage("--fit wants WxH, for example 1920x1080 (0 leaves a side free)");
        } else if (std::strcmp(a, "--rotate") == 0 && hasValue) {
            if (!ParseInt(argv[++i], 0, 3, &v))
                return Usage("--rotate wants 0, 1, 2 or 3");
            o->view.rotation = int(v);
        } else if (std::strcmp(a, "--flip-h") == 0) {
            o->view.flipHorizontally = true;
        } else if (std::strcmp(a, "--flip-v") == 0) {
            o->view.flipVertically = true;
        } else if (std::strcmp(a, "--count") == 0 && hasValue) {
            if (!ParseInt(argv[++i], 0, 1000000000, &o->count))
                return Usage("--count wants a number of steps");
        } else if (std::strcmp(a, "--pause") == 0 && hasValue) {
            if (!ParseInt(argv[++i], 0, 3600000, &o->pauseMs))
                return Usage("--pause wants milliseconds");
        } else if (a[0] == '-' && a[1]) {
            return Usage((std::string("unknown or incomplete option ") + a).c_str());
        } else if (o->dir.empty()) {
            o->dir = a;
        } else {
            return Usage("more than one DIR");
        }
    }
    return o->dir.empty() ? Usage("DIR is required") : 0;
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
