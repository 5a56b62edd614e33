// CJpegSource's reduced decompression of progressive files: the scans are
// read one by one, those carrying only coefficients the output never reads
// are passed over by looking for their end (the next marker) rather than
// decoding them, and the reading stops as soon as the scans read fix every
// pixel of the output (CScanProgress).

#include <cstring>

#include "decode/jpeg_source.h"
#include "decode/sync_event.h"

bool CJpegSource::StartReducedDecompress(J_COLOR_SPACE space, int scaleDenom, std::string* error)
{
    m_skippedScans = false;
    if (!m_created)
        return Failed(error);
    if (!m_info.progressive_mode || m_info.arith_code)
        return StartDecompress(space, scaleDenom, 0, error);
    ChooseColourConversion(space);
    if (setjmp(m_jump))
        return Failed(error);
    m_info.out_color_space = m_fromCmyk ? JCS_CMYK : space;
    m_info.scale_num = 1;
    m_info.scale_denom = unsigned(scaleDenom);
    // In buffered-image mode the start reads no scan; they are read below.
    m_info.buffered_image = TRUE;
    jpeg_calc_output_dimensions(&m_info);
    // Scans are passed over only in a file, and only outside restart
    // intervals (see ConsumeNeededScans); elsewhere every block keeps all
    // its coefficients.
    m_compactPlanned = !m_memory && m_info.restart_interval == 0;
    if (!WithinMemoryLimit() || !ReserveMemory())
        return Failed(error);
    if (!jpeg_start_decompress(&m_info))
        return Failed(error);
    bool early = false, wholeRead = false;
    if (!ConsumeNeededScans(early, wholeRead))
        return Failed(error);
    if (early) {
        // The output shows the scans read to their end; smoothing would
        // estimate the coefficients still to come, which the whole file
        // gives exactly.
        m_info.do_block_smoothing = FALSE;
        m_skippedScans = true;
        return jpeg_start_output(&m_info, m_info.input_scan_number - 1) != FALSE || Failed(error);
    }
    if (wholeRead) {
        // The guarded steps below set jump targets of their own, so nothing
        // may call the library in this frame after them.
        return (Rewind() && ReadHeader() && StartDecompress(space, scaleDenom)) || Failed(error);
    }
    // At the end of the file the output is the library's usual one.
    return jpeg_start_output(&m_info, m_info.input_scan_number) != FALSE || Failed(error);
}

// Called inside StartReducedDecompress's guarded frame.
// `wholeRead` when only a whole read of the file gives the usual output: the
// library takes a scan that ended early, as a skipped one does, for a cut-off
// file and smooths the rows after it by the state before it; and compact
// buffers cannot decode a scan they were meant to pass over.
bool CJpegSource::ConsumeNeededScans(bool& early, bool& wholeRead)
{
    const bool followed = m_scanProgress.Plan(m_info);
    const bool compact = m_compactPlanned && m_coefficients.CompactBytes() > 0;
    // Skipping works on the file's read buffer. Within restart intervals the
    // library would count the skipped scan's missing data against the next
    // scan and warn there, so such scans are decoded.
    const auto skip = [this, followed] {
        if (followed && !m_memory && m_info.restart_interval == 0 && m_scanProgress.CurrentScanUnread())
            SkipScanData();
    };
    const auto unskippable = [&] {
        return compact && (!followed || (m_info.restart_interval != 0 && m_scanProgress.CurrentScanUnread()));
    };
    if (unskippable()) {
        wholeRead = true;
        return true;
    }
    skip();
    for (;;) {
        const int got = ConsumeStep();
        if (got < 0)
            return false;
        if (got == JPEG_REACHED_EOI) {
            wholeRead = m_skipping;
            m_skipping = false;
            return true;
        }
        if (got != JPEG_REACHED_SOS || !followed)
            continue;
        m_skipping = false;
        m_scanProgress.ScanStarted(m_info);
        // A warning means some scan so far was damaged or out of order: what
        // the rest of the file does to it cannot be foreseen.
        if (m_errorManager.num_warnings == m_skipWarnings && m_scanProgress.Complete()) {
            early = true;
            return true;
        }
        if (unskippable()) {
            wholeRead = true;
            return true;
        }
        skip();
    }
}

// One step of jpeg_consume_input under the checks of every read: cancel, the
// number of scans and the work they take. Called inside a guarded frame;
// what the library returned, or -1 with the reason in m_error.
int CJpegSource::ConsumeStep()
{
    if (m_cancel && m_cancel->IsSet()) {
        SetError("cancelled");
        return -1;
    }
    if (m_info.input_scan_number > kMaxScans) {
        std::snprintf(m_error, sizeof m_error, "more than %d scans", kMaxScans);
        return -1;
    }
    if (!ChargeScan())
        return -1;
    const int got = jpeg_consume_input(&m_info);
    if (got == JPEG_SUSPENDED) {
        // The sources never suspend; should one, nothing more would come.
        SetError("the data stopped");
        return -1;
    }
    return got;
}

// Drops the entropy-coded data of the scan just started, up to the next
// marker that is not a restart marker, and leaves that marker to the
// library: it then finds the scan's data at an end and passes over its
// blocks without decoding any. Entropy-coded data holds no other marker (a
// 0xFF byte of the data is followed by 0x00), so the marker found is the one
// after the scan, or the end of the file the source supplies.
void CJpegSource::SkipScanData()
{
    jpeg_source_mgr* src = &m_sourceManager;
    m_skipping = true;
    for (;;) {
        if (src->bytes_in_buffer == 0)
            src->fill_input_buffer(&m_info);
        const JOCTET* p = src->next_input_byte;
        const JOCTET* end = p + src->bytes_in_buffer;
        while (p < end) {
            const auto* ff = static_cast<const JOCTET*>(std::memchr(p, 0xFF, size_t(end - p)));
            if (!ff)
                break;
            if (ff + 1 == end) {
                // The marker's code is in the next read: hand the two bytes
                // out together, then the rest of that read.
                src->next_input_byte = end;
                src->bytes_in_buffer = 0;
                src->fill_input_buffer(&m_info);
                const JOCTET code = *src->next_input_byte;
                if (code == 0x00 || (code >= JPEG_RST0 && code <= JPEG_RST0 + 7) || code == 0xFF) {
                    p = src->next_input_byte + (code == 0xFF ? 0 : 1);
                    end = src->next_input_byte + src->bytes_in_buffer;
                    continue;
                }
                m_markerBytes[0] = 0xFF;
                m_markerBytes[1] = code;
                m_rest = src->next_input_byte + 1;
                m_restLength = src->bytes_in_buffer - 1;
                src->next_input_byte = m_markerBytes;
                src->bytes_in_buffer = 2;
                return;
            }
            const JOCTET code = ff[1];
            // Stuffed data bytes, restart markers and fill bytes go on.
            if (code == 0x00 || (code >= JPEG_RST0 && code <= JPEG_RST0 + 7) || code == 0xFF) {
                p = ff + (code == 0xFF ? 1 : 2);
                continue;
            }
            src->bytes_in_buffer -= size_t(ff - src->next_input_byte);
            src->next_input_byte = ff;
            return;
        }
        src->next_input_byte = end;
        src->bytes_in_buffer = 0;
    }
}

// Back to the start of the file with a new decompressor, for a whole read.
bool CJpegSource::Rewind()
{
    if (!m_fd.Valid())
        return false;
    jpeg_destroy_decompress(&m_info);
    m_created = false;
    m_offset = 0;
    m_zeroRun = 0;
    m_chargedScan = 0;
    m_restLength = 0;
    m_skipping = false;
    m_skipWarnings = 0;
    if (!CreateDecompressor())
        return false;
    if (m_comments)
        jpeg_set_marker_processor(&m_info, JPEG_COM, ProcessMarker);
    if (m_exif)
        jpeg_set_marker_processor(&m_info, JPEG_APP0 + 1, ProcessMarker);
    return true;
}
