// Fuzz target: a whole file through the lossless transform, with each answer
// for the edges; whatever the transform calls done must read back cleanly at
// the size it reported.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/coefficient_transform.h"
#include "transform/jpeg_transform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> jpeg(data, data + size);
    for (EdgeAnswer edges : {EdgeAnswer::Refuse, EdgeAnswer::Trim, EdgeAnswer::Tag}) {
        const TransformOp op = edges == EdgeAnswer::Trim ? TransformOp::FlipH : TransformOp::Rotate90;
        const TransformResult r = TransformJpeg(jpeg, op, edges);
        if (r.outcome == TransformResult::Outcome::Done
            && !JpegDecodesCleanly(r.jpeg.data(), r.jpeg.size(), r.width, r.height))
            __builtin_trap();
    }
    return 0;
}
