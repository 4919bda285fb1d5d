#pragma once

#include <cstdint>
#include <cstring>

// Flushes magnitudes below 2^-54, infinities and NaN to 0.0. The test runs on the
// upper word alone; the wrap-around of the addition catches the all-ones exponent.
inline void denormal_fix_double_aggressive(double* value)
{
    uint64_t bits;
    std::memcpy(&bits, value, sizeof bits);
    const uint32_t hi = static_cast<uint32_t>(bits >> 32);
    if (((hi + 0x100000u) & 0x7ff00000u) < 0x3ca00000u)
        *value = 0.0;
}
