#include "decode/jpeg_source.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numeric>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLoggingCategory>

#include <jerror.h>

#include "decode/colour_profile.h"
#include "error_out.h"
#include "decode/exif_reader.h"
#include "decode/icc_markers.h"
#include "decode/sync_event.h"

Q_LOGGING_CATEGORY(lcJpeg, "lumvane.decode.jpeg", QtWarningMsg)

namespace {
// The longest marker segment: a hole in a sparse file is read this far at
// least, whatever the frame.
constexpr int64_t kMaxSegmentBytes = 65536;

// Reads one byte of a marker segment; the source never runs dry (it supplies
// an end-of-image marker at the end), so this always succeeds.
uint8_t NextByte(j_decompress_ptr cinfo)
{
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer == 0)
        src->fill_input_buffer(cinfo);
    --src->bytes_in_buffer;
    return *src->next_input_byte++;
}
}  // namespace

CJpegSource::CJpegSource() = default;

CJpegSource::~CJpegSource()
{
    Close();
}

CJpegSource& CJpegSource::Self(j_common_ptr cinfo)
{
    return *static_cast<CJpegSource*>(cinfo->client_data);
}

CJpegSource& CJpegSource::Self(j_decompress_ptr cinfo)
{
    return *static_cast<CJpegSource*>(cinfo->client_data);
}

void CJpegSource::SetError(const char* text)
{
    std::snprintf(m_error, sizeof m_error, "%s", text);
}

bool CJpegSource::Failed(std::string* error) const
{
    return Fail(error, m_error);
}

bool CJpegSource::CreateDecompressor()
{
    m_info = jpeg_decompress_struct {};
    m_coefficients.Clear();
    m_compactPlanned = false;
    m_info.err = jpeg_std_error(&m_errorManager);
    m_errorManager.error_exit = ErrorExit;
    m_errorManager.output_message = OutputMessage;
    m_libraryEmitMessage = m_errorManager.emit_message;
    m_errorManager.emit_message = EmitMessage;
    m_info.client_data = this;
    m_error[0] = 0;
    if (setjmp(m_jump))
        return false;  // the library could not allocate its own state
    jpeg_create_decompress(&m_info);
    m_created = true;
    HookCoefficientBuffers();
    // The library's own backstop, should the estimate checked before the
    // start (WithinMemoryLimit) miss some of its small buffers.
    m_info.mem->max_memory_to_use = long(kMaxLibraryMemory + kMaxLibraryMemory / 8);
    m_progress.progress_monitor = ProgressMonitor;
    m_info.progress = &m_progress;
    m_info.src = &m_sourceManager;
    m_sourceManager.resync_to_restart = jpeg_resync_to_restart;
    m_sourceManager.term_source = TermSource;
    if (m_memory) {
        m_sourceManager.init_source = InitMemory;
        m_sourceManager.fill_input_buffer = FillMemory;
        m_sourceManager.skip_input_data = SkipMemory;
    } else {
        m_sourceManager.init_source = InitFile;
        m_sourceManager.fill_input_buffer = FillFile;
        m_sourceManager.skip_input_data = SkipFile;
    }
    m_sourceManager.bytes_in_buffer = 0;
    m_sourceManager.next_input_byte = nullptr;
    // ICC profiles come in APP2 segments, kept for IccProfile. Files
    // without one pay nothing.
    jpeg_set_marker_processor(&m_info, JPEG_APP0 + 2, SaveIccMarker);
    return true;
}

bool CJpegSource::OpenFile(const std::string& path, CExifReader* exif, std::vector<std::string>* comments,
                           std::string* error)
{
    Close();
    // Without O_NONBLOCK a FIFO named like a photo would block the open until
    // some writer came; only regular files are read.
    m_fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!m_fd.Valid()) {
        SetError(std::strerror(errno));
        return Failed(error);
    }
    struct stat st {};
    if (::fstat(m_fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        SetError(S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file");
        return Failed(error);
    }
    ::posix_fadvise(m_fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fileSize = int64_t(st.st_size);
    m_offset = 0;
    m_zeroLimit = kMaxSegmentBytes;
    if (!m_buffer)
        m_buffer.reset(new (std::nothrow) uint8_t[kBufferSize]);
    m_exif = exif;
    m_comments = comments;
    m_commentBytes = 0;
    m_commentsNotKept = 0;
    m_memory = nullptr;
    m_memoryLength = 0;
    if (!m_buffer || !CreateDecompressor()) {
        Close();
        SetError("out of memory");
        return Failed(error);
    }
    if (comments)
        jpeg_set_marker_processor(&m_info, JPEG_COM, ProcessMarker);
    if (exif)
        jpeg_set_marker_processor(&m_info, JPEG_APP0 + 1, ProcessMarker);
    return true;
}

bool CJpegSource::OpenMemory(const uint8_t* data, size_t length, std::string* error)
{
    Close();
    m_memory = data ? data : kEndOfImage;
    m_memoryLength = data ? length : 0;
    if (!CreateDecompressor()) {
        Close();
        SetError("out of memory");
        return Failed(error);
    }
    return true;
}

void CJpegSource::Close()
{
    if (m_created) {
        jpeg_destroy_decompress(&m_info);
        m_created = false;
    }
    m_coefficients.Clear();
    m_memoryHeld.Reset();
    m_fd.Reset();
    m_buffer.reset();
    m_fileSize = 0;
    m_offset = 0;
    m_zeroRun = 0;
    m_copyingSegment = false;
    m_memory = nullptr;
    m_memoryLength = 0;
    m_exif = nullptr;
    m_comments = nullptr;
    m_cancel = nullptr;
    m_dataEnded = false;
    m_endedIMcuRow = 0;
    m_history = {};
    m_period = 0;
    m_matchedRows = 0;
    m_repeating = false;
    m_repeatedRows = 0;
    m_restartsBeforeData = 0;
    m_chargedScan = 0;
    m_work = 0;
    m_fromCmyk = false;
    m_cmykInverted = false;
    m_cmykRow = {};
    m_transform.reset();
    m_skippedScans = false;
    m_skipping = false;
    m_skipWarnings = 0;
    m_restLength = 0;
    m_inputComplete = false;
    m_dcRead = m_dcUnderWay = 0;
}

// The guarded steps: setjmp is taken in each step's own frame, and nothing
// with a destructor lives between it and the library.

bool CJpegSource::ReadHeader(std::string* error)
{
    if (!m_created)
        return Failed(error);
    if (setjmp(m_jump))
        return Failed(error);
    if (jpeg_read_header(&m_info, FALSE) == JPEG_HEADER_OK) {
        m_zeroLimit = std::max(kMaxSegmentBytes, MaxScanBytes(m_info));
        return true;
    }
    SetError("no image in the file");
    return Failed(error);
}

std::vector<uint8_t> CJpegSource::IccProfile()
{
    if (!m_created)
        return {};
    JOCTET* data = nullptr;
    unsigned int length = 0;
    if (setjmp(m_jump))
        return {};
    // The library checks the chunks' numbers and count; a broken set is
    // no profile.
    if (!jpeg_read_icc_profile(&m_info, &data, &length))
        return {};
    std::vector<uint8_t> profile(data, data + length);
    std::free(data);
    return profile;
}

// Decides how rows reach the caller: as the library gives them, converted
// in place from the embedded profile, or from CMYK samples. Runs before the
// guarded start, so nothing here jumps.
void CJpegSource::ChooseColourConversion(J_COLOR_SPACE space)
{
    m_asked = space;
    m_fromCmyk = false;
    m_transform.reset();
    if (space != JCS_RGB && space != JCS_EXT_BGRX)
        return;
    const RowLayout rows = space == JCS_RGB ? RowLayout::Rgb : RowLayout::Bgrx;
    const bool cmyk = m_info.jpeg_color_space == JCS_CMYK || m_info.jpeg_color_space == JCS_YCCK;
    const bool rgb = m_info.num_components == 3;
    if (!cmyk && !rgb)
        return;
    m_fromCmyk = cmyk;
    // Adobe's CMYK files, nearly all there are, store the inks inverted;
    // they say so with their APP14 marker.
    m_cmykInverted = cmyk && m_info.saw_Adobe_marker;
    if (!m_colourManaged)
        return;
    const std::vector<uint8_t> profile = IccProfile();
    if (profile.empty())
        return;
    m_transform = ColourTransformFor(
        profile, cmyk ? (m_cmykInverted ? RowLayout::CmykInverted : RowLayout::Cmyk) : rows, rows);
}

bool CJpegSource::StartDecompress(J_COLOR_SPACE space, int scaleDenom, int64_t imageBytes, std::string* error)
{
    if (!m_created)
        return Failed(error);
    ChooseColourConversion(space);
    if (setjmp(m_jump))
        return Failed(error);
    m_info.out_color_space = m_fromCmyk ? JCS_CMYK : space;
    m_info.scale_num = 1;
    m_info.scale_denom = unsigned(scaleDenom);
    return (WithinMemoryLimit(imageBytes) && ReserveMemory(imageBytes)
            && jpeg_start_decompress(&m_info) != FALSE)
        || Failed(error);
}

// Judged from the header before the library allocates anything large: its
// buffers within their limit, and past kMaxUnbackedMemory (with the picture
// the caller fills) a file long enough to fill its frame.
bool CJpegSource::WithinMemoryLimit(int64_t imageBytes)
{
    const int64_t library = LibraryMemoryFor(m_info, m_info.buffered_image, m_compactPlanned);
    if (library > kMaxLibraryMemory) {
        std::snprintf(m_error, sizeof m_error, "too large: the decode would need %lld MB",
                      (long long)(library >> 20));
        return false;
    }
    const int64_t bytes = library + imageBytes;
    const int64_t dataBytes = m_memory ? int64_t(m_memoryLength) : m_fileSize;
    if (bytes <= kMaxUnbackedMemory || DataCanFillFrame(m_info, dataBytes))
        return true;
    std::snprintf(m_error, sizeof m_error, "too large: the decode would need %lld MB for a file of %lld KB",
                  (long long)(bytes >> 20), (long long)(dataBytes >> 10));
    return false;
}

// Waits for the decode's share of the budget; nothing here calls the library.
bool CJpegSource::ReserveMemory(int64_t imageBytes)
{
    const int64_t bytes = DecodeMemoryFor(m_info, m_info.buffered_image, m_compactPlanned,
                                          int(m_info.scale_denom), imageBytes);
    if (m_memoryHeld.Take(bytes, m_cancel))
        return true;
    SetError("cancelled");
    return false;
}

// Counts the blocks of each scan once, as it starts; false past the limit.
bool CJpegSource::ChargeScan()
{
    if (m_info.input_scan_number == m_chargedScan || m_info.comps_in_scan <= 0)
        return true;
    m_chargedScan = m_info.input_scan_number;
    m_work += ScanBlocks(m_info);
    const int64_t limit = DecodeWorkLimit(m_info);
    if (m_work <= limit)
        return true;
    std::snprintf(m_error, sizeof m_error, "too large: its scans decode more than %lld blocks",
                  (long long)limit);
    return false;
}

bool CJpegSource::ReadScanline(uint8_t* row, std::string* error)
{
    if (!m_created)
        return Failed(error);
    if (!m_fromCmyk) {
        if (!ReadRawScanline(row))
            return Failed(error);
        if (m_transform)
            m_transform->Apply(row, row, OutputWidth());
        return true;
    }
    m_cmykRow.resize(size_t(m_info.output_width) * 4);
    if (!ReadRawScanline(m_cmykRow.data()))
        return Failed(error);
    const RowLayout rows = m_asked == JCS_RGB ? RowLayout::Rgb : RowLayout::Bgrx;
    if (m_transform)
        m_transform->Apply(m_cmykRow.data(), row, OutputWidth());
    else
        ConvertCmykPlain(m_cmykRow.data(), m_cmykInverted, row, rows, OutputWidth());
    return true;
}

bool CJpegSource::ReadRawScanline(uint8_t* row)
{
    const size_t bytes = size_t(m_info.output_width) * size_t(m_info.output_components);
    if (m_repeating) {
        if (m_info.output_scanline + m_repeatedRows >= m_info.output_height)
            return false;
        const JDIMENSION y = m_info.output_scanline + m_repeatedRows;
        std::memcpy(row, m_history.data() + (y % m_period) * bytes, bytes);
        ++m_repeatedRows;
        return true;
    }
    if (!ReadLibraryScanline(row))
        return false;
    if (m_dataEnded)
        NoteRowAfterTheEnd(row, bytes);
    return true;
}

bool CJpegSource::ReadLibraryScanline(uint8_t* row)
{
    if (setjmp(m_jump))
        return false;
    JSAMPROW rows[1] = {row};
    return jpeg_read_scanlines(&m_info, rows, 1) == 1;
}

// The rows of the block row where the scan's data ended, of the next (blended with
// it by the upsampler) and of one more for good measure may still differ;
// below them every block is empty, and the rows repeat with the period that
// NoteEndOfData found. They settle once a whole period has repeated.
// Arithmetic coding goes on decoding symbols from the supplied zeros, and a
// file of several scans was read whole before the first row, so neither
// settles.
void CJpegSource::NoteRowAfterTheEnd(const uint8_t* row, size_t bytes)
{
    if (m_period == 0 || m_info.arith_code || jpeg_has_multiple_scans(&m_info))
        return;
    if (m_history.size() != m_period * bytes) {
        m_history.assign(m_period * bytes, 0);
        m_matchedRows = 0;
    }
    const JDIMENSION y = m_info.output_scanline - 1;
    uint8_t* kept = m_history.data() + (y % m_period) * bytes;
    const JDIMENSION blockRowHeight = JDIMENSION(m_info.max_v_samp_factor * m_info.min_DCT_scaled_size);
    const bool pastTheEnd = y >= (m_endedIMcuRow + 3) * blockRowHeight + m_period;
    m_matchedRows = pastTheEnd && std::memcmp(kept, row, bytes) == 0 ? m_matchedRows + 1 : 0;
    std::memcpy(kept, row, bytes);
    m_repeating = m_matchedRows >= m_period;
}

// Every block after the end decodes as empty, but for the first block of
// each later restart interval, which the library decodes from the zeros it
// supplies: with intervals the rows repeat once the intervals line up with
// the rows of blocks again.
void CJpegSource::NoteEndOfData(bool atRestart)
{
    if (m_dataEnded)
        return;
    m_dataEnded = true;
    m_endedIMcuRow = m_info.input_iMCU_row;
    const int64_t interval = m_info.restart_interval, mcus = m_info.MCUs_per_row;
    const int64_t blockRows = atRestart && interval > 0 && mcus > 0 ? interval / std::gcd(interval, mcus) : 1;
    const int64_t rows = blockRows * m_info.max_v_samp_factor * m_info.min_DCT_scaled_size;
    const int64_t rowBytes = int64_t(m_info.output_width) * m_info.output_components;
    // A period longer than that is not worth holding.
    constexpr int64_t kMaxPeriodBytes = int64_t(64) << 20;
    m_period = rows * rowBytes <= kMaxPeriodBytes ? JDIMENSION(rows) : 0;
}

bool CJpegSource::FinishDecompress(std::string* error)
{
    if (!m_created)
        return Failed(error);
    if (setjmp(m_jump))
        return Failed(error);
    // Whatever follows the last row (further scans, the end marker, or a
    // never-ending file) changes no pixel.
    jpeg_abort_decompress(&m_info);
    m_memoryHeld.Reset();
    return true;
}

// Library callbacks.

void CJpegSource::ErrorExit(j_common_ptr cinfo)
{
    CJpegSource& self = Self(cinfo);
    // Past the data the source supplies an end-of-image marker: the library
    // would name those bytes as what the file starts with.
    if (cinfo->err->msg_code == JERR_NO_SOI && self.m_dataBytes < 2)
        self.SetError(self.m_dataBytes > 0 ? "too short for a JPEG file"
                          : self.m_memory  ? "no data"
                                           : "the file is empty");
    else
        cinfo->err->format_message(cinfo, self.m_error);
    cinfo->err->output_message(cinfo);
    std::longjmp(self.m_jump, 1);
}

// The library warns once the scan's data has run into a marker. Any marker
// but a restart marker ends the scan's data for good: every later block of
// the scan decodes as empty.
void CJpegSource::EmitMessage(j_common_ptr cinfo, int level)
{
    CJpegSource& self = Self(cinfo);
    // A scan whose data was skipped on purpose ends at once, and the library
    // says so; that is no damage of the file.
    if (level < 0 && self.m_skipping) {
        ++self.m_skipWarnings;
        self.m_libraryEmitMessage(cinfo, level);
        return;
    }
    if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER && cinfo->is_decompressor) {
        const int marker = reinterpret_cast<j_decompress_ptr>(cinfo)->unread_marker;
        const bool restart = marker >= JPEG_RST0 && marker <= JPEG_RST0 + 7;
        if (marker != 0 && (!restart || self.OnlyRestartMarkersAhead()))
            self.NoteEndOfData(restart);
    }
    self.m_libraryEmitMessage(cinfo, level);
}

void CJpegSource::OutputMessage(j_common_ptr cinfo)
{
    // Silent unless a developer enables the category.
    if (lcJpeg().isDebugEnabled()) {
        char text[JMSG_LENGTH_MAX];
        cinfo->err->format_message(cinfo, text);
        qCDebug(lcJpeg, "%s", text);
    }
}

void CJpegSource::ProgressMonitor(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    auto* info = reinterpret_cast<j_decompress_ptr>(cinfo);
    CJpegSource& self = Self(cinfo);
    if (info->input_scan_number > kMaxScans) {
        std::snprintf(self.m_error, sizeof self.m_error, "more than %d scans", kMaxScans);
        std::longjmp(self.m_jump, 1);
    }
    if (!self.ChargeScan())
        std::longjmp(self.m_jump, 1);
    if (self.m_cancel && self.m_cancel->IsSet()) {
        self.SetError("cancelled");
        std::longjmp(self.m_jump, 1);
    }
}

boolean CJpegSource::ProcessMarker(j_decompress_ptr cinfo)
{
    CJpegSource& self = Self(cinfo);
    const bool app1 = cinfo->unread_marker == JPEG_APP0 + 1;
    const int high = NextByte(cinfo);
    const int length = (high << 8) | NextByte(cinfo);
    // A length below 2 cannot even hold itself: the segment has no payload
    // and nothing is recorded for it.
    if (length < 2)
        return TRUE;
    const size_t n = size_t(length - 2);
    jpeg_source_mgr* src = cinfo->src;
    // Past what a report can show, comments are only counted.
    if (!app1 && (self.m_comments->size() >= kMaxComments || self.m_commentBytes + n > kMaxCommentBytes)) {
        ++self.m_commentsNotKept;
        if (n > 0)
            src->skip_input_data(cinfo, long(n));
        return TRUE;
    }
    // Nothing below calls back into the library, so it cannot jump out while
    // the buffers are alive; exceptions must not cross the library either.
    try {
        if (app1 && src->bytes_in_buffer >= n) {
            self.m_exif->ParseApp1(src->next_input_byte, n);
            src->next_input_byte += n;
            src->bytes_in_buffer -= n;
            return TRUE;
        }
        std::vector<uint8_t> copy(n + 1);
        size_t done = 0;
        self.m_copyingSegment = true;
        while (done < n) {
            if (src->bytes_in_buffer == 0)
                src->fill_input_buffer(cinfo);
            // The file ended inside the segment: keep what it held, and leave
            // the supplied end-of-image marker to the library.
            if (src->next_input_byte == kEndOfImage)
                break;
            const size_t take = std::min(n - done, src->bytes_in_buffer);
            std::memcpy(copy.data() + done, src->next_input_byte, take);
            src->next_input_byte += take;
            src->bytes_in_buffer -= take;
            done += take;
        }
        self.m_copyingSegment = false;
        copy[done] = 0;
        if (app1) {
            self.m_exif->ParseApp1(copy.data(), done);
        } else {
            self.m_comments->emplace_back(reinterpret_cast<const char*>(copy.data()));
            self.m_commentBytes += n;
        }
    } catch (...) {
        qCDebug(lcJpeg, "marker segment dropped: out of memory");
    }
    self.m_copyingSegment = false;
    return TRUE;
}
