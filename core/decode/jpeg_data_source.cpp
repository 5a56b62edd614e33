// The data source of CJpegSource: the library's source-manager callbacks
// over a file (read to the size it had when opened, with the cancel event
// polled before every read and the holes of a sparse file passed over) or
// over a memory block.

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "decode/jpeg_source.h"
#include "decode/sync_event.h"

void CJpegSource::InitFile(j_decompress_ptr cinfo)
{
    cinfo->src->bytes_in_buffer = 0;
    Self(cinfo).m_dataBytes = 0;
}

boolean CJpegSource::FillFile(j_decompress_ptr cinfo)
{
    CJpegSource& self = Self(cinfo);
    if (self.m_restLength > 0) {
        cinfo->src->next_input_byte = self.m_rest;
        cinfo->src->bytes_in_buffer = self.m_restLength;
        self.m_restLength = 0;
        return TRUE;
    }
    if (self.m_cancel && self.m_cancel->IsSet())
        self.StopReading();
    const size_t got = self.ReadFileData();
    if (got > 0) {
        cinfo->src->next_input_byte = self.m_buffer.get();
        cinfo->src->bytes_in_buffer = got;
        self.m_dataBytes += got;
    } else {
        cinfo->src->next_input_byte = kEndOfImage;
        cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
    }
    return TRUE;
}

void CJpegSource::SkipFile(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    CJpegSource& self = Self(cinfo);
    size_t n = size_t(count);
    if (n < src->bytes_in_buffer) {
        src->next_input_byte += n;
        src->bytes_in_buffer -= n;
        return;
    }
    n -= src->bytes_in_buffer;
    src->bytes_in_buffer = 0;
    // What is left of a read put aside behind a split marker comes first.
    const size_t rest = std::min(n, self.m_restLength);
    self.m_rest += rest;
    self.m_restLength -= rest;
    n -= rest;
    if (n > 0 && self.m_zeroRun > 0) {
        const int64_t zeros = std::min(int64_t(n), self.m_zeroRun);
        self.m_zeroRun -= zeros;
        n -= size_t(zeros);
        if (self.m_zeroRun == 0)
            self.m_offset = self.m_holeEnd;
    }
    self.m_offset += int64_t(n);
}

// A cancelled decode fails the library step under way. A marker processor
// copying a segment holds a buffer that the jump would leak: it gets the end
// of the data instead, and the next read jumps.
void CJpegSource::StopReading()
{
    SetError("cancelled");
    if (!m_copyingSegment)
        std::longjmp(m_jump, 1);
    m_offset = m_fileSize;
    m_zeroRun = 0;
}

// Reads the next block of the file into the buffer; 0 at its end.
size_t CJpegSource::ReadFileData()
{
    if (m_zeroRun > 0) {
        const size_t n = size_t(std::min(int64_t(kBufferSize), m_zeroRun));
        std::memset(m_buffer.get(), 0, n);
        m_zeroRun -= int64_t(n);
        if (m_zeroRun == 0)
            m_offset = m_holeEnd;
        return n;
    }
    if (m_offset >= m_fileSize)
        return 0;
    const size_t want = size_t(std::min(int64_t(kBufferSize), m_fileSize - m_offset));
    ssize_t got;
    do {
        got = ::pread(m_fd.Get(), m_buffer.get(), want, off_t(m_offset));
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return 0;
    const int64_t start = m_offset;
    m_offset += got;
    const uint8_t* bytes = m_buffer.get();
    if (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, size_t(got) - 1) == 0)
        ShortenHole(start, size_t(got));
    return size_t(got);
}

// Zeros just read may lie in a hole of a sparse file. A hole holds no
// marker, so no scan takes in more of it than m_zeroLimit bytes before it
// looks for the next marker, which only the data after the hole can hold:
// the rest of a longer hole is handed out as zeros no longer, and the
// decode is the same.
void CJpegSource::ShortenHole(int64_t start, size_t got)
{
    off_t data = ::lseek(m_fd.Get(), off_t(m_offset), SEEK_DATA);
    if (data < 0) {
        if (errno != ENXIO)
            return;                // the file system cannot tell
        data = off_t(m_fileSize);  // a hole to the end
    }
    if (int64_t(data) - start <= m_zeroLimit)
        return;
    m_zeroRun = m_zeroLimit - int64_t(got);
    m_holeEnd = int64_t(data);
    if (m_zeroRun <= 0) {
        m_zeroRun = 0;
        m_offset = m_holeEnd;
    }
}

// True when nothing but restart markers (and fill bytes) comes before the
// next other marker or the end of the data: every later interval of the
// scan is empty, as after the end of its data. Looks ahead without taking
// anything from the source. A run of markers found to end in data is
// counted, so that each of its markers is not looked over again.
bool CJpegSource::OnlyRestartMarkersAhead()
{
    if (m_restartsBeforeData > 0) {
        --m_restartsBeforeData;
        return false;
    }
    long restarts = 0;
    bool afterFF = false;
    // 1: the scan's data ends here; 0: data comes; -1: not known yet.
    const auto look = [&](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (!afterFF) {
                if (p[i] != 0xFF)
                    return 0;
                afterFF = true;
            } else if (p[i] != 0xFF) {  // 0xFF again is a fill byte
                afterFF = false;
                if (p[i] < JPEG_RST0 || p[i] > JPEG_RST0 + 7)
                    return p[i] == 0x00 ? 0 : 1;
                ++restarts;
            }
        }
        return -1;
    };
    int found = look(m_sourceManager.next_input_byte, m_sourceManager.bytes_in_buffer);
    if (found < 0 && m_restLength > 0)
        found = look(m_rest, m_restLength);
    if (found < 0 && !m_memory) {
        if (m_zeroRun > 0)
            found = 0;
        uint8_t chunk[4096];
        for (int64_t at = m_offset; found < 0 && at < m_fileSize; at += int64_t(sizeof chunk)) {
            const ssize_t got = ::pread(m_fd.Get(), chunk,
                                        size_t(std::min(int64_t(sizeof chunk), m_fileSize - at)), off_t(at));
            if (got <= 0 || (m_cancel && m_cancel->IsSet()))
                return false;
            found = look(chunk, size_t(got));
        }
    }
    if (found == 0) {
        m_restartsBeforeData = restarts;
        return false;
    }
    return true;  // the source supplies the end of the data after the last byte
}

void CJpegSource::InitMemory(j_decompress_ptr cinfo)
{
    CJpegSource& self = Self(cinfo);
    cinfo->src->next_input_byte = self.m_memory;
    cinfo->src->bytes_in_buffer = self.m_memoryLength;
    self.m_dataBytes = self.m_memoryLength;
}

boolean CJpegSource::FillMemory(j_decompress_ptr cinfo)
{
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

void CJpegSource::SkipMemory(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    const size_t n = std::min(size_t(count), src->bytes_in_buffer);
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
}

void CJpegSource::TermSource(j_decompress_ptr) {}
