#pragma once
// What one decode may ask of the machine, judged from the frame and scan
// headers before the library does the work: the memory of its buffers, the
// blocks its scans decode, and the most entropy-coded data a scan can take
// in (which bounds how much of a hole in a sparse file is worth reading).
//
// Thread rules: plain functions of one decompressor's state, called on that
// decompressor's thread.

#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

// Most memory the library may ask for in one decode: the coefficient buffers
// of a progressive or otherwise multi-scan file, the strip buffers of any
// other. A 100-megapixel 4:2:0 progressive photograph needs about 300 MB.
constexpr int64_t kMaxLibraryMemory = int64_t(512) << 20;

// Most blocks the scans of one file may decode in all, beyond one pass over
// its frame (which any file may take, so every single-scan frame fits):
// sixteen passes over the largest multi-scan frame the memory limit admits,
// where the scans of a progressive photograph make two or three.
constexpr int64_t kMaxDecodeWork = int64_t(1) << 26;

// Most memory a decode may fill from a file that holds less than a bit for
// every block of its frame: past it, such a file (a few kilobytes declaring a
// huge picture) is refused rather than drawn as a gigabyte of grey. Cut
// photographs of any ordinary size still show what they hold.
constexpr int64_t kMaxUnbackedMemory = int64_t(256) << 20;

// The memory the library asks for when the decode starts, from the header
// (after jpeg_read_header) and the scale set in `info`; `buffered` for
// buffered-image mode, which keeps every coefficient like a multi-scan file;
// `compactDc` when components read by their DC alone keep it alone (see
// coefficient_store.h; the output size must be calculated).
int64_t LibraryMemoryFor(const jpeg_decompress_struct& info, bool buffered, bool compactDc = false);

// The working memory of one decode at 1/`scaleDenom`, reserved before it
// starts (see decode_memory.h): the library's buffers and the picture made
// from its rows, `imageBytes`, or when that is 0 the output in 32-bit pixels.
int64_t DecodeMemoryFor(const jpeg_decompress_struct& info, bool buffered, bool compactDc, int scaleDenom,
                        int64_t imageBytes);

// Whether `dataBytes` of entropy-coded data could fill every block of the
// frame: a block takes at least one bit.
bool DataCanFillFrame(const jpeg_decompress_struct& info, int64_t dataBytes);

// The blocks of every component, padded to whole MCUs as the library stores
// them (after jpeg_read_header).
int64_t FrameBlocks(const jpeg_decompress_struct& info);
// The same for one component: blocks of a row, and rows.
int64_t StoredBlocksPerRow(const jpeg_component_info& c);
int64_t StoredBlockRows(const jpeg_component_info& c);

// The blocks of the scan whose header was read last.
int64_t ScanBlocks(const jpeg_decompress_struct& info);

// The most blocks the scans of the file may decode in all.
int64_t DecodeWorkLimit(const jpeg_decompress_struct& info);

// The most entropy-coded bytes one scan of the frame can take in: every block
// of every component at the longest codes. Past that, the decoder only looks
// for the next marker.
int64_t MaxScanBytes(const jpeg_decompress_struct& info);
