// CJpegSource's pass-by-pass decompression of progressive files, in the
// library's buffered-image mode: the scans are read in steps, and each output
// pass makes every row from the coefficients read so far. A pass started
// while a scan is under way shows the scans before it, so making its rows
// reads no input; the pass after the end of the file is the library's usual
// output, the same rows as StartDecompress gives.

#include <algorithm>

#include "decode/jpeg_source.h"

bool CJpegSource::StartBufferedDecompress(J_COLOR_SPACE space, int scaleDenom, int64_t imageBytes,
                                          std::string* error)
{
    if (!m_created)
        return Failed(error);
    m_info.buffered_image = TRUE;
    m_finalDct = m_info.dct_method;
    m_finalSmoothing = m_info.do_block_smoothing;
    m_inputComplete = false;
    m_dcRead = m_dcUnderWay = 0;
    // The early picture waits for the first scan, which touches every block.
    m_coefficients.FaultInAhead();
    if (!StartDecompress(space, scaleDenom, imageBytes, error))
        return false;
    // The header was read up to the first scan's, which is now under way.
    NoteScanStart();
    return true;
}

// The scan before the one just started is read to its end.
void CJpegSource::NoteScanStart()
{
    m_dcRead |= m_dcUnderWay;
    m_dcUnderWay = 0;
    if (m_info.Ss != 0)
        return;
    for (int i = 0; i < m_info.comps_in_scan; ++i) {
        const int index = m_info.cur_comp_info[i]->component_index;
        if (index >= 0 && index < 32)
            m_dcUnderWay |= 1u << index;
    }
}

bool CJpegSource::ReadScans(bool toTheEnd, std::string* error)
{
    if (!m_created)
        return Failed(error);
    const int components = std::min(m_info.num_components, 32);
    const uint32_t every = components >= 32 ? ~0u : (1u << components) - 1;
    if (setjmp(m_jump))
        return Failed(error);
    while (!m_inputComplete) {
        // Stopping right at the start of a scan keeps that scan out of the
        // next pass.
        if (!toTheEnd && (m_dcRead & every) == every)
            return true;
        const int got = ConsumeStep();
        if (got < 0)
            return Failed(error);
        if (got == JPEG_REACHED_EOI) {
            m_dcRead |= m_dcUnderWay;
            m_inputComplete = true;
        } else if (got == JPEG_REACHED_SOS) {
            NoteScanStart();
        }
    }
    return true;
}

bool CJpegSource::StartOutputPass(std::string* error)
{
    if (!m_created)
        return Failed(error);
    if (setjmp(m_jump))
        return Failed(error);
    // Before the end, input stopped where a scan had just started: the pass
    // shows the scans before it. A coarse picture needs neither the exact
    // inverse DCT nor the block smoothing, which would double the time of
    // its pass (24 MP: ~150 ms without); the last pass has the usual ones.
    const int scan = m_inputComplete ? m_info.input_scan_number : m_info.input_scan_number - 1;
    m_info.dct_method = m_inputComplete ? m_finalDct : JDCT_IFAST;
    m_info.do_block_smoothing = m_inputComplete ? m_finalSmoothing : FALSE;
    return jpeg_start_output(&m_info, scan) != FALSE || Failed(error);
}

bool CJpegSource::FinishOutputPass(std::string* error)
{
    if (!m_created)
        return Failed(error);
    if (setjmp(m_jump))
        return Failed(error);
    return jpeg_finish_output(&m_info) != FALSE || Failed(error);
}
