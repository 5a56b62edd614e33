#include "transform/coefficient_transform.h"

#include <algorithm>
#include <csetjmp>
#include <new>

#include <jpeglib.h>
// jerror.h after jpeglib.h: it needs the library's types.
#include <jerror.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decode/decode_limits.h"
#include "error_out.h"

namespace {

// The source's and the result's coefficients are both held in memory.
constexpr int64_t kMaxTransformMemory = 2 * kMaxLibraryMemory;

// An orientation as the three steps a block takes: transposed, then its
// column (x) and row (y) order reversed.
struct Axes {
    bool transpose = false;
    bool mirrorX = false;
    bool mirrorY = false;
};

Axes AxesOf(const Orientation& op)
{
    const Orientation n = Compose(op, {});  // rotation 0..3, flipVertically folded in
    constexpr Axes kByRotation[4][2] = {
        {{false, false, false}, {false, true, false}},  // as stored; mirrored
        {{true, true, false}, {true, false, false}},    // quarter turn; transposed
        {{false, true, true}, {false, false, true}},    // half turn; upside down
        {{true, false, true}, {true, true, true}},      // three quarters; transversed
    };
    return kByRotation[n.rotation & 3][n.flipHorizontally ? 1 : 0];
}

int64_t RoundUp(int64_t value, int64_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

struct ErrorJump {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char firstWarning[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}

// Warnings (corrupt data, a cut stream) are counted, never printed: a file
// that reads with one is refused rather than turned with grey blocks.
void CountWarning(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    if (cinfo->err->num_warnings++ == 0)
        cinfo->err->format_message(cinfo, reinterpret_cast<ErrorJump*>(cinfo->err)->firstWarning);
}

// Compressed output straight into the caller's vector: no buffer of the
// library's to copy from afterwards.
struct VectorDestination {
    jpeg_destination_mgr mgr {};
    std::vector<uint8_t>* bytes = nullptr;
    size_t firstSize = 0;

    static VectorDestination& Of(j_compress_ptr cinfo)
    {
        return *reinterpret_cast<VectorDestination*>(cinfo->dest);
    }

    static void Init(j_compress_ptr cinfo)
    {
        VectorDestination& d = Of(cinfo);
        d.Grow(cinfo, d.firstSize);
    }
    static boolean Empty(j_compress_ptr cinfo)
    {
        VectorDestination& d = Of(cinfo);
        d.Grow(cinfo, d.bytes->size() + d.bytes->size() / 2);
        return TRUE;
    }
    static void Term(j_compress_ptr cinfo)
    {
        VectorDestination& d = Of(cinfo);
        d.bytes->resize(d.bytes->size() - d.mgr.free_in_buffer);
    }
    // The bytes written so far stay; the rest of the vector is free to fill.
    void Grow(j_compress_ptr cinfo, size_t size)
    {
        const size_t used = bytes->size() - mgr.free_in_buffer;
        bool grown = true;
        try {
            bytes->resize(std::max(size, used + 4096));
        } catch (const std::bad_alloc&) {
            grown = false;
        }
        if (!grown) {
            cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
            cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
        }
        mgr.next_output_byte = bytes->data() + used;
        mgr.free_in_buffer = bytes->size() - used;
    }
};

}  // namespace

// The library's state for one source and its result. Every step that can
// long-jump runs in a function of its own that holds no C++ object.
struct CCoefficientTransform::Codec {
    struct Progress {
        jpeg_progress_mgr mgr {};
        int lastScan = 0;
        int64_t work = 0;
        int64_t limit = 0;
        bool exceeded = false;
    };

    ErrorJump err {};
    jpeg_decompress_struct src {};
    jpeg_compress_struct dst {};
    Progress progress;
    bool srcMade = false;
    bool dstMade = false;
    VectorDestination out;
    size_t srcSize = 0;
    jvirt_barray_ptr* srcArrays = nullptr;
    jvirt_barray_ptr dstArrays[MAX_COMPONENTS] {};
    int dstBlocksX[MAX_COMPONENTS] {};
    int dstBlocksY[MAX_COMPONENTS] {};
    std::vector<JBLOCKROW> srcRows;
    std::vector<JBLOCKROW> dstRows;
    bool outOfRange = false;

    Codec()
    {
        src.err = jpeg_std_error(&err.mgr);
        dst.err = &err.mgr;
        err.mgr.error_exit = ErrorExit;
        err.mgr.emit_message = CountWarning;
        progress.mgr.progress_monitor = LimitWork;
    }
    ~Codec()
    {
        if (dstMade)
            jpeg_destroy_compress(&dst);
        if (srcMade)
            jpeg_destroy_decompress(&src);
    }

    std::string Message()
    {
        char text[JMSG_LENGTH_MAX] = {};
        err.mgr.format_message(reinterpret_cast<j_common_ptr>(&src), text);
        return text;
    }

    // A progressive file can repeat scans over its whole frame; past the
    // decoder's own limit of work the read stops.
    static void LimitWork(j_common_ptr common)
    {
        auto* info = reinterpret_cast<j_decompress_ptr>(common);
        auto* p = reinterpret_cast<Progress*>(info->progress);
        if (info->input_scan_number == p->lastScan)
            return;
        p->lastScan = info->input_scan_number;
        p->work += ScanBlocks(*info);
        if (p->work > p->limit) {
            p->exceeded = true;
            common->err->error_exit(common);
        }
    }
};

namespace {

using Codec = CCoefficientTransform::Codec;

bool ReadHeader(Codec& c, const uint8_t* data, size_t size)
{
    if (setjmp(c.err.jump))
        return false;
    jpeg_create_decompress(&c.src);
    c.srcMade = true;
    // Past this the library asks for a backing store, which it lacks: the
    // read stops with an error instead of taking the machine's memory.
    c.src.mem->max_memory_to_use = long(kMaxTransformMemory);
    jpeg_mem_src(&c.src, data, static_cast<unsigned long>(size));
    for (int m = 0; m < 16; ++m)
        jpeg_save_markers(&c.src, JPEG_APP0 + m, 0xFFFF);
    jpeg_save_markers(&c.src, JPEG_COM, 0xFFFF);
    jpeg_read_header(&c.src, TRUE);
    return true;
}

bool ReadCoefficients(Codec& c)
{
    if (setjmp(c.err.jump))
        return false;
    c.progress.limit = DecodeWorkLimit(c.src);
    c.src.progress = &c.progress.mgr;
    c.srcArrays = jpeg_read_coefficients(&c.src);
    return true;
}

// The result's arrays, asked of the source's memory manager before the read
// makes them real, padded to whole MCUs as the compressor reads them.
bool RequestResultArrays(Codec& c, const Axes& axes, int width, int height)
{
    if (setjmp(c.err.jump))
        return false;
    const bool single = c.src.num_components == 1;
    const int maxH = axes.transpose ? c.src.max_v_samp_factor : c.src.max_h_samp_factor;
    const int maxV = axes.transpose ? c.src.max_h_samp_factor : c.src.max_v_samp_factor;
    const int mcuW = single ? DCTSIZE : maxH * DCTSIZE, mcuH = single ? DCTSIZE : maxV * DCTSIZE;
    for (int ci = 0; ci < c.src.num_components; ++ci) {
        const jpeg_component_info& s = c.src.comp_info[ci];
        const int h = single ? 1 : (axes.transpose ? s.v_samp_factor : s.h_samp_factor);
        const int v = single ? 1 : (axes.transpose ? s.h_samp_factor : s.v_samp_factor);
        c.dstBlocksX[ci] = (width + mcuW - 1) / mcuW * h;
        c.dstBlocksY[ci] = (height + mcuH - 1) / mcuH * v;
        c.dstArrays[ci] = c.src.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&c.src), JPOOL_IMAGE,
                                                         FALSE, JDIMENSION(c.dstBlocksX[ci]),
                                                         JDIMENSION(c.dstBlocksY[ci]), JDIMENSION(v));
    }
    return true;
}

// The sign each coefficient of a result block takes: a mirror in x negates
// the odd horizontal frequencies, one in y the odd vertical ones.
struct BlockSigns {
    JCOEF sign[DCTSIZE2];
};

BlockSigns BlockSignsOf(const Axes& axes)
{
    BlockSigns signs {};
    for (int v = 0; v < DCTSIZE; ++v)
        for (int u = 0; u < DCTSIZE; ++u)
            signs.sign[v * DCTSIZE + u] = ((axes.mirrorX && (u & 1)) != (axes.mirrorY && (v & 1))) ? -1 : 1;
    return signs;
}

#if defined(__SSE2__)

// An 8x8 block of 16-bit coefficients transposed in registers: pairs, then
// quads, then halves of the rows interleaved.
void TransposeRows(__m128i r[DCTSIZE])
{
    __m128i a[DCTSIZE], b[DCTSIZE];
    for (int i = 0; i < DCTSIZE; i += 2) {
        a[i] = _mm_unpacklo_epi16(r[i], r[i + 1]);
        a[i + 1] = _mm_unpackhi_epi16(r[i], r[i + 1]);
    }
    for (int i = 0; i < DCTSIZE; i += 4) {
        b[i] = _mm_unpacklo_epi32(a[i], a[i + 2]);
        b[i + 1] = _mm_unpackhi_epi32(a[i], a[i + 2]);
        b[i + 2] = _mm_unpacklo_epi32(a[i + 1], a[i + 3]);
        b[i + 3] = _mm_unpackhi_epi32(a[i + 1], a[i + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        r[2 * i] = _mm_unpacklo_epi64(b[i], b[i + 4]);
        r[2 * i + 1] = _mm_unpackhi_epi64(b[i], b[i + 4]);
    }
}

template <bool Transpose> void TurnBlock(const JCOEF* from, JCOEF* to, const BlockSigns& signs)
{
    __m128i r[DCTSIZE];
    for (int i = 0; i < DCTSIZE; ++i)
        r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i * DCTSIZE));
    if (Transpose)
        TransposeRows(r);
    for (int i = 0; i < DCTSIZE; ++i) {
        const __m128i sign = _mm_loadu_si128(reinterpret_cast<const __m128i*>(signs.sign + i * DCTSIZE));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i * DCTSIZE), _mm_mullo_epi16(r[i], sign));
    }
}

#else

// One block turned; the transpose is a template argument so that the
// compiler unrolls the copy into straight loads and stores.
template <bool Transpose> void TurnBlock(const JCOEF* from, JCOEF* to, const BlockSigns& signs)
{
    for (int v = 0; v < DCTSIZE; ++v)
        for (int u = 0; u < DCTSIZE; ++u) {
            const int k = v * DCTSIZE + u;
            to[k] = JCOEF(from[Transpose ? u * DCTSIZE + v : k] * signs.sign[k]);
        }
}

#endif

// The blocks of one component moved to their places. A transpose reads the
// source down its columns, so the work goes in tiles of blocks that stay in
// the cache, instead of a page of the source for every block written.
template <bool Transpose>
void MoveComponent(JBLOCKROW* srcRows, JBLOCKROW* dstRows, int w, int h, const Axes& axes)
{
    constexpr int kTile = 16;
    const BlockSigns signs = BlockSignsOf(axes);
    for (int y0 = 0; y0 < h; y0 += kTile)
        for (int x0 = 0; x0 < w; x0 += kTile)
            for (int y = y0; y < std::min(y0 + kTile, h); ++y) {
                const int ty = axes.mirrorY ? h - 1 - y : y;
                for (int x = x0; x < std::min(x0 + kTile, w); ++x) {
                    const int tx = axes.mirrorX ? w - 1 - x : x;
                    const JCOEF* from = Transpose ? srcRows[tx][ty] : srcRows[ty][tx];
                    TurnBlock<Transpose>(from, dstRows[y][x], signs);
                }
            }
}

// Every array is whole in memory (there is no backing store), so a row's
// address stays valid after the next access.
void AccessRows(j_common_ptr common, jvirt_barray_ptr array, int rows, bool writable,
                std::vector<JBLOCKROW>& out)
{
    out.resize(size_t(rows));
    for (int y = 0; y < rows; ++y)
        out[size_t(y)] = common->mem->access_virt_barray(common, array, JDIMENSION(y), 1, writable)[0];
}

bool MoveBlocks(Codec& c, const Axes& axes)
{
    if (setjmp(c.err.jump))
        return false;
    auto* common = reinterpret_cast<j_common_ptr>(&c.src);
    for (int ci = 0; ci < c.src.num_components; ++ci) {
        const jpeg_component_info& s = c.src.comp_info[ci];
        const int srcW = int(RoundUp(s.width_in_blocks, s.h_samp_factor));
        const int srcH = int(RoundUp(s.height_in_blocks, s.v_samp_factor));
        const int w = c.dstBlocksX[ci], h = c.dstBlocksY[ci];
        // The mirrors keep each axis within itself: the corners bound all.
        if ((axes.transpose ? h : w) > srcW || (axes.transpose ? w : h) > srcH) {
            c.outOfRange = true;
            return false;
        }
        AccessRows(common, c.srcArrays[ci], srcH, false, c.srcRows);
        AccessRows(common, c.dstArrays[ci], h, true, c.dstRows);
        if (axes.transpose)
            MoveComponent<true>(c.srcRows.data(), c.dstRows.data(), w, h, axes);
        else
            MoveComponent<false>(c.srcRows.data(), c.dstRows.data(), w, h, axes);
    }
    return true;
}

bool WriteResult(Codec& c, const Axes& axes, int width, int height, const std::vector<JpegMarker>& markers)
{
    if (setjmp(c.err.jump))
        return false;
    jpeg_create_compress(&c.dst);
    c.dstMade = true;
    c.out.mgr.init_destination = VectorDestination::Init;
    c.out.mgr.empty_output_buffer = VectorDestination::Empty;
    c.out.mgr.term_destination = VectorDestination::Term;
    c.dst.dest = &c.out.mgr;
    jpeg_copy_critical_parameters(&c.src, &c.dst);
    c.dst.image_width = JDIMENSION(width);
    c.dst.image_height = JDIMENSION(height);
    for (int ci = 0; ci < c.dst.num_components; ++ci) {
        jpeg_component_info& d = c.dst.comp_info[ci];
        if (c.dst.num_components == 1)
            d.h_samp_factor = d.v_samp_factor = 1;
        else if (axes.transpose)
            std::swap(d.h_samp_factor, d.v_samp_factor);
    }
    if (axes.transpose) {
        for (JQUANT_TBL* table : c.dst.quant_tbl_ptrs)
            if (table)
                for (int v = 0; v < DCTSIZE; ++v)
                    for (int u = v + 1; u < DCTSIZE; ++u)
                        std::swap(table->quantval[v * DCTSIZE + u], table->quantval[u * DCTSIZE + v]);
    }
    // The source's own APP0 and APP14 come with the other markers.
    c.dst.write_JFIF_header = FALSE;
    c.dst.write_Adobe_marker = FALSE;
    c.dst.arith_code = c.src.arith_code;
    // The standard Huffman tables, as a camera writes: one pass fewer than
    // tables made for the picture, at about the same size.
    c.dst.optimize_coding = FALSE;
    c.dst.restart_interval = c.src.restart_interval;
    if (c.src.progressive_mode)
        jpeg_simple_progression(&c.dst);
    jpeg_write_coefficients(&c.dst, c.dstArrays);
    for (const JpegMarker& m : markers)
        jpeg_write_marker(&c.dst, m.code, m.data.data(), unsigned(m.data.size()));
    jpeg_finish_compress(&c.dst);
    jpeg_finish_decompress(&c.src);
    return true;
}

}  // namespace

bool PartialEdgesMove(const JpegFrame& frame, const Orientation& op)
{
    const Axes axes = AxesOf(op);
    // The right edge moves when x is mirrored before a transpose or y after
    // it, and the bottom edge the other way round.
    const bool rightMoves = axes.transpose ? axes.mirrorY : axes.mirrorX;
    const bool bottomMoves = axes.transpose ? axes.mirrorX : axes.mirrorY;
    return (rightMoves && frame.width % frame.mcuWidth != 0)
        || (bottomMoves && frame.height % frame.mcuHeight != 0);
}

void TransformedSize(const JpegFrame& frame, const Orientation& op, bool trim, int& width, int& height)
{
    const Axes axes = AxesOf(op);
    int w = frame.width, h = frame.height;
    if (trim) {
        if (axes.transpose ? axes.mirrorY : axes.mirrorX)
            w -= w % frame.mcuWidth;
        if (axes.transpose ? axes.mirrorX : axes.mirrorY)
            h -= h % frame.mcuHeight;
    }
    width = axes.transpose ? h : w;
    height = axes.transpose ? w : h;
}

CCoefficientTransform::CCoefficientTransform() = default;
CCoefficientTransform::~CCoefficientTransform() = default;

bool CCoefficientTransform::Open(const uint8_t* data, size_t size, std::string* error)
{
    m_codec = std::make_unique<Codec>();
    m_markers.clear();
    m_frame = {};
    Codec& c = *m_codec;
    if (!ReadHeader(c, data, size))
        return Fail(error, "not a JPEG file the library reads (" + c.Message() + ")");
    if (!DataCanFillFrame(c.src, int64_t(size)))
        return Fail(error, "the file is cut short: its data can't fill its frame");
    if (FrameBlocks(c.src) * int64_t(sizeof(JBLOCK)) * 2 > kMaxTransformMemory)
        return Fail(error, "the picture is too large to turn in memory");
    const bool single = c.src.num_components == 1;
    m_frame.width = int(c.src.image_width);
    m_frame.height = int(c.src.image_height);
    m_frame.mcuWidth = single ? DCTSIZE : c.src.max_h_samp_factor * DCTSIZE;
    m_frame.mcuHeight = single ? DCTSIZE : c.src.max_v_samp_factor * DCTSIZE;
    m_frame.components = c.src.num_components;
    m_frame.progressive = c.src.progressive_mode;
    m_frame.arithmetic = c.src.arith_code;
    c.srcSize = size;
    for (jpeg_saved_marker_ptr m = c.src.marker_list; m; m = m->next) {
        // A segment longer than the kept length would come out cut.
        if (m->original_length != m->data_length)
            return Fail(error, "a marker segment is longer than it can be kept");
        m_markers.push_back({m->marker, std::vector<uint8_t>(m->data, m->data + m->data_length)});
    }
    return true;
}

bool CCoefficientTransform::Write(const Orientation& op, bool trim, const std::vector<JpegMarker>& markers,
                                  std::vector<uint8_t>& out, std::string* error)
{
    out.clear();
    if (!m_codec || !m_codec->srcMade || m_codec->srcArrays)
        return Fail(error, "nothing opened to transform");
    if (!trim && PartialEdgesMove(m_frame, op))
        return Fail(error, "the partial blocks on the edge can't move losslessly");
    int width = 0, height = 0;
    TransformedSize(m_frame, op, trim, width, height);
    if (width <= 0 || height <= 0)
        return Fail(error, "trimming the partial edge blocks leaves nothing");
    Codec& c = *m_codec;
    const Axes axes = AxesOf(op);
    if (!RequestResultArrays(c, axes, width, height) || !ReadCoefficients(c))
        return Fail(error,
                    c.progress.exceeded ? "its scans ask for too much work"
                                        : "the file can't be read (" + c.Message() + ")");
    // Bytes after the end of the picture (a second image a camera appended)
    // would not come along; padding may go.
    const JOCTET* tail = c.src.src->next_input_byte;
    if (std::any_of(tail, tail + c.src.src->bytes_in_buffer, [](JOCTET b) { return b != 0 && b != 0xFF; }))
        return Fail(error, "it holds data after the end of its picture, which the turn would lose");
    if (c.err.mgr.num_warnings > 0)
        return Fail(error, std::string("the file is damaged (") + c.err.firstWarning + ")");
    // About the source's size: the result is seldom larger.
    c.out.bytes = &out;
    c.out.firstSize = c.srcSize + 65536;
    for (const JpegMarker& m : markers)
        c.out.firstSize += m.data.size() + 4;
    if (!MoveBlocks(c, axes) || !WriteResult(c, axes, width, height, markers)) {
        out.clear();
        return Fail(error,
                    c.outOfRange ? "a block lies outside the frame"
                                 : "the result can't be written (" + c.Message() + ")");
    }
    return true;
}

namespace {

// Decodes at an eighth of the size: every Huffman code and marker of every
// scan is still read, but only the DC of a block is kept and there is no
// inverse DCT and no whole-frame coefficient array (except for a
// progressive file, whose scans must be gathered first).
bool DecodeEighth(Codec& c, std::vector<JSAMPLE>& row)
{
    if (setjmp(c.err.jump))
        return false;
    c.src.scale_num = 1;
    c.src.scale_denom = 8;
    c.src.do_fancy_upsampling = FALSE;
    c.progress.limit = DecodeWorkLimit(c.src);
    c.src.progress = &c.progress.mgr;
    jpeg_start_decompress(&c.src);
    row.resize(size_t(c.src.output_width) * size_t(c.src.output_components));
    JSAMPROW rows[1] = {row.data()};
    while (c.src.output_scanline < c.src.output_height)
        jpeg_read_scanlines(&c.src, rows, 1);
    jpeg_finish_decompress(&c.src);
    return true;
}

}  // namespace

bool JpegDecodesCleanly(const uint8_t* data, size_t size, int width, int height)
{
    Codec c;
    if (!ReadHeader(c, data, size) || int(c.src.image_width) != width || int(c.src.image_height) != height)
        return false;
    std::vector<JSAMPLE> row;
    if (FrameBlocks(c.src) * int64_t(sizeof(JBLOCK)) > kMaxTransformMemory || !DecodeEighth(c, row))
        return false;
    return c.err.mgr.num_warnings == 0;
}
