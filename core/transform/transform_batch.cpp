#include "transform/transform_batch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

TransformBatchResult TransformFiles(const std::vector<std::string>& paths,
                                    const FileTransformOptions& options, unsigned threads,
                                    const std::function<void(const std::string& path)>& onFileDone)
{
    std::vector<FileTransformResult> results(paths.size());
    std::atomic<size_t> next {0};
    std::mutex reportLock, askLock;
    FileTransformOptions each = options;
    if (options.askEdges)
        each.askEdges = [&](const std::string& path) {
            const std::lock_guard<std::mutex> lock(askLock);
            return options.askEdges(path);
        };
    const auto work = [&] {
        for (size_t i = next++; i < paths.size(); i = next++) {
            if (options.cancelled && options.cancelled())
                results[i].outcome = FileTransformResult::Outcome::Cancelled;
            else
                results[i] = TransformFile(paths[i], each);
            if (onFileDone) {
                const std::lock_guard<std::mutex> lock(reportLock);
                onFileDone(paths[i]);
            }
        }
    };
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = unsigned(std::min<size_t>(threads, paths.size()));
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();

    TransformBatchResult batch;
    for (size_t i = 0; i < paths.size(); ++i) {
        switch (results[i].outcome) {
        case FileTransformResult::Outcome::Done: ++batch.done; break;
        case FileTransformResult::Outcome::Unchanged: ++batch.unchanged; break;
        case FileTransformResult::Outcome::Cancelled: ++batch.cancelled; break;
        case FileTransformResult::Outcome::Refused:
            batch.problems.push_back({paths[i], results[i].reason});
            break;
        }
    }
    return batch;
}
