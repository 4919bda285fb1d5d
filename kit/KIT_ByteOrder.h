#pragma once

#include <cstdint>
#include <cstring>

// Conversions between the machine's order and the big-endian order of the
// interchange files.
inline uint32_t KIT_SwapBigEndian32(uint32_t value)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return value;
#else
    return __builtin_bswap32(value);
#endif
}

inline uint32_t KIT_FloatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float KIT_BitsToFloat(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
