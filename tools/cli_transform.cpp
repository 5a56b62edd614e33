// lumvane-cli transform: lossless turns and mirrors of JPEG files in place,
// several files at a time.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

}  // namespace

int RunTransform(int argc, char** argv)
{
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
    const std::vector<std::string> files(args.begin() + 1, args.end());
    size_t finished = 0;
    const TransformBatchResult result = TransformFiles(files, options, 0, [&](const std::string&) {
        if (progress)
            std::fprintf(stderr, "progress: %zu/%zu files\n", ++finished, files.size());
    });
    for (const TransformProblem& problem : result.problems)
        std::fprintf(stderr, "lumvane-cli transform: %s: %s\n", OneLinePath(problem.path).c_str(),
                     problem.reason.c_str());
    return result.problems.empty() ? 0 : 1;
}
