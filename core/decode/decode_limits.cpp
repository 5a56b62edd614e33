#include "decode/decode_limits.h"

#include <algorithm>

#include "decode/coefficient_store.h"

namespace {

// Bytes a block can take in at most. A Huffman code is at most 16 bits long
// and is followed by at most 16 more; an arithmetic-coded coefficient takes
// a few dozen decisions of at most 15 bits each.
constexpr int64_t kHuffmanBlockBytes = DCTSIZE2 * 32 / 8;
constexpr int64_t kArithmeticBlockBytes = 4096;

int64_t RoundUp(int64_t value, int64_t multiple)
{
    return multiple > 1 ? (value + multiple - 1) / multiple * multiple : value;
}

// The library's window over a progressive file's rows is five row groups
// deep, for its block smoothing.
constexpr int kSmoothingRowGroups = 5;

}  // namespace

int64_t StoredBlocksPerRow(const jpeg_component_info& c)
{
    return RoundUp(c.width_in_blocks, c.h_samp_factor);
}

int64_t StoredBlockRows(const jpeg_component_info& c)
{
    return RoundUp(c.height_in_blocks, c.v_samp_factor);
}

int64_t FrameBlocks(const jpeg_decompress_struct& info)
{
    int64_t blocks = 0;
    for (int i = 0; i < info.num_components; ++i)
        blocks += StoredBlocksPerRow(info.comp_info[i]) * StoredBlockRows(info.comp_info[i]);
    return blocks;
}

bool DataCanFillFrame(const jpeg_decompress_struct& info, int64_t dataBytes)
{
    return FrameBlocks(info) <= dataBytes * 8;
}

int64_t LibraryMemoryFor(const jpeg_decompress_struct& info, bool buffered, bool compactDc)
{
    // A few row groups of samples per component (its context rows and
    // upsampling), generously counted, at the size of a block at the scale
    // asked for.
    const int64_t scaled = std::max<int64_t>(
        1, DCTSIZE * int64_t(std::max(info.scale_num, 1u)) / std::max(info.scale_denom, 1u));
    constexpr int64_t kRowGroups = 4;
    // Its small objects: decoding tables, state, per-component structures.
    int64_t bytes = int64_t(64) << 10;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info& c = info.comp_info[i];
        bytes += StoredBlocksPerRow(c) * scaled * c.v_samp_factor * scaled * kRowGroups;
    }
    // Besides, the library keeps every coefficient of a file it cannot
    // decode in one pass, by the same rule as its input controller.
    const bool wholeImage = buffered || info.progressive_mode || info.comps_in_scan < info.num_components;
    if (!wholeImage)
        return bytes;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info& c = info.comp_info[i];
        const int64_t perRow = StoredBlocksPerRow(c), rows = StoredBlockRows(c);
        // A compact array: one DC per block, and a window of whole blocks.
        if (compactDc && CCoefficientStore::ReadByDcAlone(c))
            bytes += perRow * rows * int64_t(sizeof(JCOEF))
                + perRow * kSmoothingRowGroups * c.v_samp_factor
                    * int64_t(sizeof(JBLOCK) + sizeof(JBLOCKROW));
        else
            bytes += perRow * rows * int64_t(sizeof(JBLOCK));
    }
    return bytes;
}

int64_t DecodeMemoryFor(const jpeg_decompress_struct& info, bool buffered, bool compactDc, int scaleDenom,
                        int64_t imageBytes)
{
    if (imageBytes <= 0) {
        const int64_t denom = std::max(scaleDenom, 1);
        imageBytes = (info.image_width + denom - 1) / denom * ((info.image_height + denom - 1) / denom) * 4;
    }
    return LibraryMemoryFor(info, buffered, compactDc) + imageBytes;
}

int64_t ScanBlocks(const jpeg_decompress_struct& info)
{
    if (info.comps_in_scan == 1) {
        const jpeg_component_info& c = *info.cur_comp_info[0];
        return int64_t(c.width_in_blocks) * c.height_in_blocks;
    }
    return int64_t(info.MCUs_per_row) * info.MCU_rows_in_scan * info.blocks_in_MCU;
}

int64_t DecodeWorkLimit(const jpeg_decompress_struct& info)
{
    return std::max(kMaxDecodeWork, FrameBlocks(info));
}

int64_t MaxScanBytes(const jpeg_decompress_struct& info)
{
    return FrameBlocks(info) * (info.arith_code ? kArithmeticBlockBytes : kHuffmanBlockBytes);
}
