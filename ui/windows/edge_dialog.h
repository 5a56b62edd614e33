#pragma once
// The question of a lossless turn whose photo has partial blocks at its
// right or bottom edge (its size is not a multiple of the block size), which
// can't move without changing the picture: skip the photo, trim those
// blocks off, or keep every pixel and turn it by its Exif orientation tag
// instead; with "Apply to all" for the rest of the run when it holds several
// photos. Closing the question skips the photo.
//
// User-interface thread only; shown modal over its parent.

#include <string>

#include "transform/jpeg_transform.h"

class QWidget;

struct EdgeChoice {
    EdgeAnswer answer = EdgeAnswer::Refuse;
    bool forAll = false;
};

// Asks about the photo at `path` (bytes) and waits for the answer.
EdgeChoice AskEdgeAnswer(QWidget* parent, const std::string& path, bool several);
