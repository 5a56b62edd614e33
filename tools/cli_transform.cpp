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

// The turn options; several compose, in the order given, into the one
// transform they make together.
struct TurnWord {
    const char* option;
    const char* value;  // of --rotate; nullptr for a flag
    TransformOp op;
};

constexpr TurnWord kOps[] = {
    {"--rotate", "90", TransformOp::Rotate90},          {"--rotate", "180", TransformOp::Rotate180},
    {"--rotate", "270", TransformOp::Rotate270},        {"--flip-h", nullptr, TransformOp::FlipH},
    {"--flip-v", nullptr, TransformOp::FlipV},          {"--transpose", nullptr, TransformOp::Transpose},
    {"--transverse", nullptr, TransformOp::Transverse},
};

struct EdgeWord {
    const char* option;
    EdgeAnswer edges;
};

constexpr EdgeWord kEdges[] = {
    {"--perfect", EdgeAnswer::Refuse},
    {"--trim", EdgeAnswer::Trim},
    {"--tag-only", EdgeAnswer::Tag},
};

// The operation that turns as `turn` does; false for no turn at all, which
// no operation makes (each one stores the result upright).
bool OpOfTurn(const Orientation& turn, TransformOp& op)
{
    for (const TurnWord& t : kOps)
        if (Compose(OrientationOf(t.op), {}) == turn) {
            op = t.op;
            return true;
        }
    return false;
}

// Reads the options into `options` and the files into `files`; returns why
// the arguments are unusable, or an empty string.
std::string ParseTransformArguments(int argc, char** argv, FileTransformOptions& options, bool& progress,
                                    std::vector<std::string>& files)
{
    Orientation turn;
    int turns = 0;
    bool autoOrient = false;
    const EdgeWord* edges = nullptr;
    const auto addTurn = [&](TransformOp op) {
        turn = Compose(turn, OrientationOf(op));
        ++turns;
        return true;
    };
    std::vector<CliOption> table;
    for (const TurnWord& t : kOps)
        if (!t.value)
            table.push_back(
                {t.option, false, [&addTurn, op = t.op](const char*) { return addTurn(op); }, ""});
    table.push_back({"--rotate", true,
                     [&addTurn](const char* v) {
                         for (const TurnWord& t : kOps)
                             if (t.value && std::strcmp(v, t.value) == 0)
                                 return addTurn(t.op);
                         return false;
                     },
                     "--rotate takes 90, 180 or 270"});
    for (const EdgeWord& e : kEdges)
        table.push_back({e.option, false,
                         [&, word = &e](const char*) {
                             if (edges && edges != word)
                                 return false;
                             edges = word;
                             return true;
                         },
                         "--trim, --perfect and --tag-only exclude each other"});
    table.push_back(FlagOption("--auto-orient", autoOrient));
    table.push_back(FlagOption("--keep-mtime", options.keepModificationTime));
    table.push_back(FlagOption("--progress", progress));
    std::string why = ParseCliArgumentList(argc, argv, table, "FILE", SIZE_MAX, files);
    if (!why.empty())
        return why;
    if (edges)
        options.edges = edges->edges;
    if (autoOrient && turns)
        return "--auto-orient depends on each file's tag, so it takes no other turn";
    if (autoOrient)
        options.op = TransformOp::ApplyExif;
    else if (!turns)
        return "a turn is required: --rotate, --flip-h, --flip-v, --transpose, --transverse or --auto-orient";
    else if (!OpOfTurn(turn, options.op))
        return "the turns given cancel each other out";
    return {};
}

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
// the work on a 24 MP photo. This process does nothing else, so its workers'
// one heap (see ShareOneHeap) keeps them for the next file.
void KeepLargeBlocks()
{
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

}  // namespace

int RunTransform(int argc, char** argv)
{
    KeepLargeBlocks();
    FileTransformOptions options;
    bool progress = false;
    std::vector<std::string> files;
    const std::string why = ParseTransformArguments(argc, argv, options, progress, files);
    if (!why.empty()) {
        std::fprintf(stderr, "lumvane-cli transform: %s\n", why.c_str());
        std::fprintf(stderr,
                     "usage: lumvane-cli transform [--rotate 90|180|270] [--flip-h] [--flip-v] [--transpose] "
                     "[--transverse] [--auto-orient] [--trim | --perfect | --tag-only] [--keep-mtime] "
                     "[--progress] [--] FILE...\n");
        return 2;
    }
    CancelOnInterrupt(options);
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
