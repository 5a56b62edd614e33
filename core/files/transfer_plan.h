#pragma once
// The checks a transfer makes before it touches anything, and the count of
// what it will copy. Every source is looked at (links not followed) and its
// folder opened; a folder that must be copied is walked, so that an
// unreadable folder, a loop through a mount or a tree too deep is refused
// before the first byte moves.
//
// Thread rules: plain functions; the plan belongs to its caller.

#include "files/file_transfer.h"
#include "browse/unique_fd.h"

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

// How deep below a source a transfer goes into folders.
inline constexpr int kMaxTransferDepth = 200;

struct TransferSource {
    CUniqueFd parent;   // the folder that holds it
    std::string name;   // its entry there
    std::string path;   // as given, for messages
    struct stat st {};  // as looked at (a link is not followed)
};

struct TransferPlan {
    CUniqueFd target;
    struct stat targetStatus {};
    std::string targetPath;
    std::vector<TransferSource> sources;  // in the order given, each once
    uint64_t files = 0;                   // files and links to copy, items to rename
    uint64_t bytes = 0;                   // bytes to copy
    std::vector<TransferProblem> refusals;
};

TransferPlan PlanTransfer(TransferKind kind, const std::vector<std::string>& sources,
                          const std::string& targetDir);

// Splits a path into its folder and its last name ("a/b/" gives "a" and "b",
// "x" gives "." and "x"); "." and ".." are resolved first. The root has no
// name: false.
bool SplitSourcePath(const std::string& path, std::string* folder, std::string* name);

// "dir/name", or "name" alone when `dir` is empty.
std::string JoinPath(const std::string& dir, const std::string& name);

// The names in an open folder, sorted, without "." and "..". False (with
// errno set) when it can't be read.
bool ReadFolderNames(int dirFd, std::vector<std::string>* names);
