#pragma once
// The APP2 marker processor that keeps a file's ICC profile chunks where
// jpeg_read_icc_profile looks for them (the decompressor's marker list), as
// jpeg_save_markers would, but only as many as one profile can have: a file
// flooded with APP2 segments costs no more than its largest possible profile.
// Hand-written because the library's own saver keeps every segment.
//
// Thread rules: runs inside the library's header read, on the decoder's
// thread; it allocates from the decompressor's image pool, freed with it.

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

// A profile is numbered in chunks of one byte: at most 255 of them.
constexpr int kMaxIccChunks = 255;

// For jpeg_set_marker_processor(cinfo, JPEG_APP0 + 2, SaveIccMarker). Other
// APP2 segments, and chunks past the first kMaxIccChunks, are skipped.
boolean SaveIccMarker(j_decompress_ptr cinfo);
