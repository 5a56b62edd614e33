#pragma once
// One libjpeg decompressor over a file (read through a 32768-byte buffer) or a
// memory block, with the program's error manager, source manager and marker
// processors for COM and APP1 segments.
//
// A file is read up to the size it had when opened, with the cancel event
// polled before every read; a hole of a sparse file is read only as far as a
// scan could take its zeros in (MaxScanBytes), since a hole holds no marker.
// A decode whose buffers or scans pass the limits of decode_limits.h is
// refused before the library does the work, with an error saying "too large".
//
// Failure model: the library reports fatal errors through error_exit, which
// jumps back with longjmp. Every library call therefore goes through one of
// the guarded steps below; each sets the jump target in its own frame, where
// no C++ object with a destructor is alive, and turns a library failure into a
// false result. After a failed step the only valid calls are Close and the
// destructor. Each step that can fail takes a nullable `error` last (see
// error_out.h), which then gets the library's message or the system's; it
// is left empty when the step failed without one.
//
// On a thread with a DecodeMemoryScope, a decode reserves its working memory
// (DecodeMemoryFor) as it starts, waiting for it when the budget is spent (a
// set cancel event ends the wait with "cancelled"), and gives it back when it
// finishes or closes.
//
// Thread rules: one object is used by one thread at a time.

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "browse/unique_fd.h"
#include "decode/coefficient_store.h"
#include "decode/decode_limits.h"
#include "decode/decode_memory.h"
#include "decode/scan_progress.h"

class CColourTransform;
class CEvent;
class CExifReader;

// Most scans a decode accepts; a file with more keeps the library busy for no
// picture (a real progressive file has about ten).
constexpr int kMaxScans = 1000;
// Most COM segments, and most of their bytes together, kept for a file's
// report; the rest are only counted. A camera writes one short comment.
constexpr size_t kMaxComments = 1000;
constexpr size_t kMaxCommentBytes = size_t(1) << 20;

class CJpegSource {
public:
    static constexpr size_t kBufferSize = 32768;
    // What the source supplies at the end of the data: an end-of-image
    // marker, so that the library completes a truncated image instead of
    // failing. One object: the marker reader tells it by its address.
    static constexpr JOCTET kEndOfImage[2] = {0xFF, 0xD9};

    CJpegSource();
    ~CJpegSource();
    CJpegSource(const CJpegSource&) = delete;
    CJpegSource& operator=(const CJpegSource&) = delete;

    // Opens the file and creates the decompressor; APP1 segments go to exif
    // and COM segments to comments when those are given (as many as
    // kMaxComments and kMaxCommentBytes allow; CommentsNotKept counts the rest).
    bool OpenFile(const std::string& path, CExifReader* exif, std::vector<std::string>* comments,
                  std::string* error = nullptr);
    // Creates the decompressor over a memory block that outlives this object.
    bool OpenMemory(const uint8_t* data, size_t length, std::string* error = nullptr);
    // Destroys the decompressor, closes the file, frees the read buffer.
    void Close();
    bool IsOpen() const { return m_created; }
    int64_t CommentsNotKept() const { return m_commentsNotKept; }
    // Polled before every read of the file and by the library between steps
    // of its own long loops (absorbing every scan of a progressive file
    // before the first row); a signalled event fails the step under way with
    // "cancelled".
    void SetCancel(CEvent* cancel) { m_cancel = cancel; }

    // With colour management on, StartDecompress converts the rows from the
    // file's embedded ICC profile to sRGB (see colour_profile.h). Set before
    // StartDecompress; off by default.
    void SetColourManaged(bool on) { m_colourManaged = on; }
    // True when the rows are converted from an embedded profile.
    bool ConvertsColour() const { return m_transform != nullptr; }

    // Guarded library steps; false when the library failed.
    // Require-image off; true when a frame header was read.
    bool ReadHeader(std::string* error = nullptr);
    // The ICC profile of the APP2 segments read with the header, put
    // together from its chunks; empty when there is none or its chunks do
    // not fit together.
    std::vector<uint8_t> IccProfile();
    // Starts the decode to rows of `space`: JCS_RGB or JCS_EXT_BGRX (or any
    // space the library converts to). A CMYK or YCCK file asked for RGB rows
    // is decoded as CMYK and converted here, through its profile when it has
    // one and colour management is on, else by the plain formula.
    // `imageBytes`: the picture the caller will fill from the rows, counted
    // with the library's buffers against the decode limits.
    bool StartDecompress(J_COLOR_SPACE space, int scaleDenom, int64_t imageBytes = 0,
                         std::string* error = nullptr);
    // Like StartDecompress, but a progressive file's scans are read only
    // until they fix every pixel of the output (CScanProgress), and the data
    // of AC scans whose coefficients the output does not read is skipped
    // without decoding: the rows are the very ones StartDecompress gives. A
    // library warning on the way (a damaged scan) reads the file to its end.
    bool StartReducedDecompress(J_COLOR_SPACE space, int scaleDenom, std::string* error = nullptr);
    // True when the last StartReducedDecompress left scans unread.
    bool SkippedScans() const { return m_skippedScans; }

    // Pass by pass (buffered_decompress.cpp): a progressive file's scans are
    // read in steps, and after each step an output pass gives every row of
    // the picture the scans read so far make. The pass made once the file is
    // read to its end gives the very rows StartDecompress does; earlier ones
    // use the library's fast inverse DCT and no block smoothing.
    bool IsProgressive() const { return m_info.progressive_mode != FALSE; }
    // Like StartDecompress, in the library's buffered-image mode; reads no scan.
    bool StartBufferedDecompress(J_COLOR_SPACE space, int scaleDenom, int64_t imageBytes,
                                 std::string* error = nullptr);
    // Reads scans until every component has its DC coefficients (a whole,
    // if coarse, picture), or with `toTheEnd` until the end of the file. The
    // cancel event is polled between rows of blocks.
    bool ReadScans(bool toTheEnd, std::string* error = nullptr);
    // True once every scan is read: the next pass is the last.
    bool InputComplete() const { return m_inputComplete; }
    // Starts an output pass over the scans read to their end; ReadScanline
    // then gives its rows. FinishOutputPass ends it before more scans are read.
    bool StartOutputPass(std::string* error = nullptr);
    bool FinishOutputPass(std::string* error = nullptr);
    // Once the data of a single Huffman-coded scan has ended early, the library
    // decodes every later block as empty, so its rows settle into one row
    // repeated to the bottom. From there on the settled row is handed out
    // without the library: a header that claims 65500 x 65500 pixels over a
    // few hundred bytes of data ends at once, with the same pixels. Restart
    // markers with no data between them, up to the end of the scan, end the
    // data the same way.
    bool ReadScanline(uint8_t* row, std::string* error = nullptr);
    // Ends the decode once the rows wanted are out, without reading the rest
    // of the file (where the library would look for the end marker).
    bool FinishDecompress(std::string* error = nullptr);

    int ImageWidth() const { return int(m_info.image_width); }
    int ImageHeight() const { return int(m_info.image_height); }
    int Components() const { return m_info.num_components; }
    int OutputWidth() const { return int(m_info.output_width); }
    int OutputHeight() const { return int(m_info.output_height); }
    int OutputScanline() const { return int(m_info.output_scanline + m_repeatedRows); }

private:
    bool CreateDecompressor();
    bool WithinMemoryLimit(int64_t imageBytes = 0);
    bool ReserveMemory(int64_t imageBytes = 0);
    bool ChargeScan();
    void StopReading();
    size_t ReadFileData();
    void ShortenHole(int64_t start, size_t got);
    bool OnlyRestartMarkersAhead();
    // reduced_decompress.cpp
    bool ConsumeNeededScans(bool& early, bool& lastSkipped);
    int ConsumeStep();
    void SkipScanData();
    bool Rewind();
    // coefficient_buffers.cpp
    void HookCoefficientBuffers();
    static jvirt_barray_ptr RequestBlocks(j_common_ptr cinfo, int pool, boolean preZero,
                                          JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess);
    static void RealizeArrays(j_common_ptr cinfo);
    static JBLOCKARRAY AccessBlocks(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION startRow,
                                    JDIMENSION rows, boolean writable);
    static void FreePool(j_common_ptr cinfo, int pool);
    void NoteScanStart();  // buffered_decompress.cpp
    bool ReadLibraryScanline(uint8_t* row);
    bool ReadRawScanline(uint8_t* row);
    void ChooseColourConversion(J_COLOR_SPACE space);
    void NoteEndOfData(bool atRestart);
    void NoteRowAfterTheEnd(const uint8_t* row, size_t bytes);
    void SetError(const char* text);
    // Hands the failed step's message to its caller; false.
    bool Failed(std::string* error) const;

    static void ErrorExit(j_common_ptr cinfo);
    static void EmitMessage(j_common_ptr cinfo, int level);
    static void OutputMessage(j_common_ptr cinfo);
    static void ProgressMonitor(j_common_ptr cinfo);
    static void InitFile(j_decompress_ptr cinfo);
    static boolean FillFile(j_decompress_ptr cinfo);
    static void SkipFile(j_decompress_ptr cinfo, long count);
    static void InitMemory(j_decompress_ptr cinfo);
    static boolean FillMemory(j_decompress_ptr cinfo);
    static void SkipMemory(j_decompress_ptr cinfo, long count);
    static void TermSource(j_decompress_ptr cinfo);
    static boolean ProcessMarker(j_decompress_ptr cinfo);
    static CJpegSource& Self(j_common_ptr cinfo);
    static CJpegSource& Self(j_decompress_ptr cinfo);

    jpeg_error_mgr m_errorManager {};
    jpeg_source_mgr m_sourceManager {};
    jpeg_progress_mgr m_progress {};
    jpeg_decompress_struct m_info {};
    std::jmp_buf m_jump {};
    bool m_created = false;
    CUniqueFd m_fd;
    int64_t m_fileSize = 0;         // when opened; nothing past it is read
    int64_t m_offset = 0;           // of the next read
    int64_t m_zeroLimit = 0;        // the longest run of a hole worth reading
    int64_t m_zeroRun = 0;          // zeros of a hole still to hand out
    int64_t m_holeEnd = 0;          // where the file's data goes on after it
    bool m_copyingSegment = false;  // a marker processor holds a buffer
    std::unique_ptr<uint8_t[]> m_buffer;
    const uint8_t* m_memory = nullptr;
    size_t m_memoryLength = 0;
    CExifReader* m_exif = nullptr;
    std::vector<std::string>* m_comments = nullptr;
    size_t m_commentBytes = 0;      // of the comments kept
    int64_t m_commentsNotKept = 0;  // COM segments past the limits
    size_t m_dataBytes = 0;         // of the data itself, since the read began
    CEvent* m_cancel = nullptr;
    void (*m_libraryEmitMessage)(j_common_ptr, int) = nullptr;
    bool m_dataEnded = false;        // the scan's data ran into a marker for good
    JDIMENSION m_endedIMcuRow = 0;   // the row of blocks being decoded then
    JDIMENSION m_period = 0;         // rows after the end repeat so (0: not held)
    std::vector<uint8_t> m_history;  // the last m_period rows, by row % m_period
    JDIMENSION m_matchedRows = 0;    // rows in a row equal to theirs a period above
    bool m_repeating = false;        // the rows have settled
    JDIMENSION m_repeatedRows = 0;   // rows handed out without the library
    long m_restartsBeforeData = 0;   // empty restart intervals known to come
    int m_chargedScan = 0;           // the last scan counted in m_work
    int64_t m_work = 0;              // blocks of the scans counted
    bool m_colourManaged = false;
    bool m_fromCmyk = false;          // CMYK samples converted into the asked rows
    bool m_cmykInverted = false;      // stored inverted, as Adobe writes CMYK
    J_COLOR_SPACE m_asked = JCS_RGB;  // what the caller's rows hold
    std::vector<uint8_t> m_cmykRow;   // the library's CMYK row
    std::shared_ptr<const CColourTransform> m_transform;
    // The decode's share of the memory budget, held while the library's
    // buffers live.
    CMemoryReservation m_memoryHeld;
    CScanProgress m_scanProgress;  // for StartReducedDecompress
    bool m_skippedScans = false;   // the output leaves scans unread
    bool m_skipping = false;       // the data of the scan under way is being skipped
    // The coefficient buffers of components a reduced decode reads by their
    // DC alone keep the DC alone (coefficient_buffers.cpp).
    CCoefficientStore m_coefficients;
    jpeg_memory_mgr m_libraryMemory {};
    bool m_compactPlanned = false;   // the reduced decode under way keeps them compact
    int m_blockRequests = 0;         // arrays asked for so far, one per component
    long m_skipWarnings = 0;         // warnings the skipping itself caused
    JOCTET m_markerBytes[2] = {};    // a marker split over two reads, handed out whole
    const JOCTET* m_rest = nullptr;  // the rest of the read buffer behind it
    size_t m_restLength = 0;

    // Pass by pass.
    bool m_inputComplete = false;          // the end of the file is read
    uint32_t m_dcRead = 0;                 // components whose DC scan is read to its end
    uint32_t m_dcUnderWay = 0;             // components whose DC the scan under way carries
    J_DCT_METHOD m_finalDct = JDCT_ISLOW;  // the inverse DCT of the last pass
    boolean m_finalSmoothing = TRUE;       // the block smoothing of the last pass
    // Why the step under way failed: filled where the failure is found, often
    // inside a library callback, and handed out by the step as it returns.
    char m_error[JMSG_LENGTH_MAX] = {};
};
