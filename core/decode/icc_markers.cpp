#include "decode/icc_markers.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr JOCTET kIccIdentifier[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
// The identifier, the chunk's number and the count of chunks.
constexpr size_t kIccOverhead = sizeof kIccIdentifier + 2;

// Copies `n` bytes of the segment; the program's sources never run dry (they
// supply an end-of-image marker at the end of the data).
void Read(j_decompress_ptr cinfo, JOCTET* out, size_t n)
{
    jpeg_source_mgr* src = cinfo->src;
    while (n > 0) {
        if (src->bytes_in_buffer == 0)
            src->fill_input_buffer(cinfo);
        const size_t take = std::min(n, src->bytes_in_buffer);
        std::memcpy(out, src->next_input_byte, take);
        src->next_input_byte += take;
        src->bytes_in_buffer -= take;
        out += take;
        n -= take;
    }
}

int KeptChunks(j_decompress_ptr cinfo)
{
    int kept = 0;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
        kept += m->marker == JPEG_APP0 + 2;
    return kept;
}

}  // namespace

// No C++ object with a destructor lives here: the pool's allocation may
// leave through the error manager's jump.
boolean SaveIccMarker(j_decompress_ptr cinfo)
{
    JOCTET head[kIccOverhead];
    Read(cinfo, head, 2);
    const size_t length = size_t(head[0]) << 8 | head[1];
    if (length < 2)
        return TRUE;
    const size_t n = length - 2, headLength = std::min(n, kIccOverhead);
    Read(cinfo, head, headLength);
    if (headLength < kIccOverhead || std::memcmp(head, kIccIdentifier, sizeof kIccIdentifier) != 0
        || KeptChunks(cinfo) >= kMaxIccChunks) {
        if (n > headLength)
            cinfo->src->skip_input_data(cinfo, long(n - headLength));
        return TRUE;
    }
    auto* marker = static_cast<jpeg_saved_marker_ptr>(cinfo->mem->alloc_large(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, sizeof(jpeg_marker_struct) + n));
    marker->next = nullptr;
    marker->marker = UINT8(JPEG_APP0 + 2);
    marker->original_length = unsigned(n);
    marker->data_length = unsigned(n);
    marker->data = reinterpret_cast<JOCTET*>(marker + 1);
    std::memcpy(marker->data, head, headLength);
    Read(cinfo, marker->data + headLength, n - headLength);
    // Kept in file order, after what is there.
    jpeg_saved_marker_ptr* tail = &cinfo->marker_list;
    while (*tail)
        tail = &(*tail)->next;
    *tail = marker;
    return TRUE;
}
