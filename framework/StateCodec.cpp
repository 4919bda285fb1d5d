#include "StateCodec.h"

#include <cmath>
#include <cstring>

namespace
{

void putLittleEndian(uint64_t bits, int size, unsigned char* out)
{
    for (int i = 0; i < size; ++i)
        out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

uint64_t getLittleEndian(const unsigned char* in, int size)
{
    uint64_t bits = 0;
    for (int i = 0; i < size; ++i)
        bits |= static_cast<uint64_t>(in[i]) << (8 * i);
    return bits;
}

double valueAt(const unsigned char* bytes, int index)
{
    const uint64_t bits = getLittleEndian(bytes + StateCodec::Size(index), StateCodec::kValueSize);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

namespace StateCodec
{

void Encode(int32_t version, const double* values, int numValues, unsigned char* out)
{
    putLittleEndian(static_cast<uint32_t>(version), kVersionSize, out);
    for (int i = 0; i < numValues; ++i)
    {
        uint64_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        putLittleEndian(bits, kValueSize, out + Size(i));
    }
}

int Decode(const unsigned char* bytes, size_t size, int numValues, int32_t* version, double* values,
           int* nonFinite)
{
    if (numValues < 0 || size < static_cast<size_t>(Size(numValues)))
        return -1;
    // Checked whole before anything is written, so a refusal changes nothing.
    for (int i = 0; i < numValues; ++i)
    {
        if (!std::isfinite(valueAt(bytes, i)))
        {
            if (nonFinite)
                *nonFinite = i;
            return -1;
        }
    }
    *version = static_cast<int32_t>(static_cast<uint32_t>(getLittleEndian(bytes, kVersionSize)));
    for (int i = 0; i < numValues; ++i)
        values[i] = valueAt(bytes, i);
    return Size(numValues);
}

} // namespace StateCodec
