#pragma once
// Integer division by a divisor fixed for many values, by one multiplication:
// exact for the sums of up to `divisor` samples of 0..255 when the divisor is
// below 4096 (the rounding error of the reciprocal stays below one part in
// 255 x divisor squared); larger divisors divide plainly.

#include <cstdint>

class ExactDivider {
public:
    explicit ExactDivider(uint32_t divisor)
        : m_divisor(divisor ? divisor : 1),
          m_reciprocal(m_divisor < 4096 ? (uint64_t(1) << 32) / m_divisor + 1 : 0)
    {
    }

    uint32_t Divisor() const { return m_divisor; }

    // value must not exceed 255 x divisor.
    uint32_t operator()(uint32_t value) const
    {
        if (m_reciprocal)
            return uint32_t((uint64_t(value) * m_reciprocal) >> 32);
        return value / m_divisor;
    }

private:
    uint32_t m_divisor;
    uint64_t m_reciprocal;
};
