#include "loader/item_decoder.h"

#include <memory>

CJpegDecoder& CItemDecoder::Get()
{
    CJpegDecoder* decoder = m_decoder.load(std::memory_order_acquire);
    if (decoder)
        return *decoder;
    auto made = std::make_unique<CJpegDecoder>();
    if (m_decoder.compare_exchange_strong(decoder, made.get(), std::memory_order_acq_rel))
        return *made.release();
    return *decoder;  // another thread made it first
}
