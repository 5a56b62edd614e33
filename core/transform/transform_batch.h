#pragma once
// One transform over many files, several at a time: each file is turned by
// TransformFile on one of the worker threads, and what could not be done is
// listed in the order the files were given.
//
// Thread rules: TransformFiles blocks its caller until every file is done or
// the run is cancelled. options.cancelled, options.askEdges and onFileDone
// are called from the worker threads; askEdges calls come one at a time (a
// question the user answers once for all), and so do onFileDone calls.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "transform/file_transform.h"

struct TransformProblem {
    std::string path;
    std::string reason;
};

struct TransformBatchResult {
    size_t done = 0;       // turned and replaced
    size_t unchanged = 0;  // nothing to do (already upright)
    size_t cancelled = 0;  // not started, or stopped, once cancelled
    std::vector<TransformProblem> problems;
};

// `threads` 0 takes one per core.
TransformBatchResult TransformFiles(const std::vector<std::string>& paths,
                                    const FileTransformOptions& options, unsigned threads = 0,
                                    const std::function<void(const std::string& path)>& onFileDone = {});
