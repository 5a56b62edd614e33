#pragma once
// Turns one JPEG file in place without losing it: the result goes to a
// temporary file in the same folder, is flushed to disk and read back (the
// bytes must be those that decoded cleanly, at the expected size, before
// they were written), and only then replaces the original by a rename.
// Permissions, owner (where allowed) and extended attributes go with it; the
// modification time too when asked. On any refusal or failure the original
// is untouched and no temporary file is left.
//
// Thread rules: any thread; calls on different files are independent. The
// cancel callback runs on the calling thread.

#include <functional>
#include <string>

#include "transform/jpeg_transform.h"

struct FileTransformOptions {
    TransformOp op = TransformOp::ApplyExif;
    EdgeAnswer edges = EdgeAnswer::Refuse;
    bool keepModificationTime = false;
    // Asked between the steps; true stops with the original as it was.
    std::function<bool()> cancelled;
    // With edges Refuse: asked for a file whose partial edge blocks would
    // move, before it is refused (the window's question); may answer Refuse.
    std::function<EdgeAnswer(const std::string& path)> askEdges;
};

struct FileTransformResult {
    enum class Outcome { Done, Unchanged, Refused, Cancelled };
    Outcome outcome = Outcome::Refused;
    std::string reason;  // Refused: why, in words for the user
};

FileTransformResult TransformFile(const std::string& path, const FileTransformOptions& options);
