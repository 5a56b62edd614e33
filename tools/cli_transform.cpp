// lumvane-cli transform: lossless turns and mirrors of JPEG files in place,
// several files at a time.

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <malloc.h>

#include "tools/cli_args.h"
#include "tools/cli_commands.h"
#include "transform/transform_batch.h"

namespace {

struct OpWord {
    const char* word;
    TransformOp op;
};

constexpr OpWord kOps[] = {
    {"rotate90", TransformOp::Rotate90},     {"rotate180", TransformOp::Rotate180},
    {"rotate270", TransformOp::Rotate270},   {"flip-h", TransformOp::FlipH},
    {"flip-v", TransformOp::FlipV},          {"transpose", TransformOp::Transpose},
    {"transverse", TransformOp::Transverse}, {"auto", TransformOp::ApplyExif},
};

struct EdgeWord {
    const char* word;
    EdgeAnswer edges;
};

constexpr EdgeWord kEdges[] = {
    {"refuse", EdgeAnswer::Refuse},
    {"trim", EdgeAnswer::Trim},
    {"tag", EdgeAnswer::Tag},
};

// Ctrl+C or a TERM stops the run between two steps of a file, so that no
// temporary file is left behind and no original is half replaced.
std::atomic<bool> g_interrupted {false};

extern "C" void OnInterrupt(int)
{
    g_interrupted = true;
}

void CancelOnInterrupt(FileTransformOptions& options)
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    options.cancelled = [] { return g_interrupted.load(); };
}

// A photo's coefficients take arrays of tens of megabytes, which malloc maps
// afresh for every file (or in a worker's own arena that it unmaps when the
// file is done), and the kernel then zeroes a page at a time: a fifth of
// the work on a 24 MP photo. This process does nothing else, so its workers
// share one heap that keeps them for the next file.
void KeepLargeBlocks()
{
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

}  // namespace

int RunTransform(int argc, char** argv)
{
    KeepLargeBlocks();
    FileTransformOptions options;
    bool progress = false;
    std::vector<std::string> args;
    std::string why = ParseCliArgumentList(argc, argv,
                                           {{"--edges", true,
                                             [&](const char* v) {
                                                 for (const EdgeWord& e : kEdges)
                                                     if (std::strcmp(v, e.word) == 0) {
                                                         options.edges = e.edges;
                                                         return true;
                                                     }
                                                 return false;
                                             },
                                             "--edges takes refuse, trim or tag"},
                                            FlagOption("--keep-mtime", options.keepModificationTime),
                                            FlagOption("--progress", progress)},
                                           "OP", SIZE_MAX, args);
    const OpWord* op = nullptr;
    for (const OpWord& o : kOps)
        if (!args.empty() && args.front() == o.word)
            op = &o;
    if (why.empty() && !op)
        why = "unknown OP " + args.front();
    else if (why.empty() && args.size() < 2)
        why = "FILE is required";
    if (!why.empty()) {
        std::fprintf(stderr, "lumvane-cli transform: %s\n", why.c_str());
        std::fprintf(stderr,
                     "usage: lumvane-cli transform rotate90|rotate180|rotate270|flip-h|flip-v|transpose|"
                     "transverse|auto [--edges refuse|trim|tag] [--keep-mtime] [--progress] [--] FILE...\n");
        return 2;
    }
    options.op = op->op;
    CancelOnInterrupt(options);
    const std::vector<std::string> files(args.begin() + 1, args.end());
    size_t finished = 0;
    const TransformBatchResult result = TransformFiles(files, options, 0, [&](const std::string&) {
        if (progress)
            std::fprintf(stderr, "progress: %zu/%zu files\n", ++finished, files.size());
    });
    for (const TransformProblem& problem : result.problems)
        std::fprintf(stderr, "lumvane-cli transform: %s: %s\n", OneLinePath(problem.path).c_str(),
                     problem.reason.c_str());
    if (result.cancelled)
        std::fprintf(stderr, "lumvane-cli transform: cancelled; %zu files left as they were\n",
                     result.cancelled);
    return result.problems.empty() && !result.cancelled ? 0 : 1;
}
