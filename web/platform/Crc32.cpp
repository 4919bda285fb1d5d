#include <zlib.h>

#include <cstdint>

// CRC-32 as zlib computes it (reflected, polynomial 0xEDB88320), so a code
// made in a browser checks in the native build and back.
uLong crc32(uLong crc, const Bytef* buf, uInt len)
{
    uint32_t c = static_cast<uint32_t>(crc) ^ 0xFFFFFFFFu;
    for (uInt i = 0; i < len; ++i)
    {
        c ^= buf[i];
        for (int bit = 0; bit < 8; ++bit)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}
