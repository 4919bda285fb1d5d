#pragma once

#include <cstddef>
#include <cstdint>

// A sound's state as hosts, files and sound codes carry it: a 32-bit version
// word, then every parameter's value as a little-endian double, in parameter
// order. Nothing else writes or reads that layout. Nothing here allocates or
// locks, so an audio-facing host call may use it.
namespace StateCodec
{

constexpr int kVersionSize = 4;
constexpr int kValueSize = 8;

constexpr int Size(int numValues)
{
    return kVersionSize + kValueSize * numValues;
}

// Writes Size(numValues) bytes.
void Encode(int32_t version, const double* values, int numValues, unsigned char* out);

// Reads a state of numValues values from `size` bytes: the number of bytes it
// took, or -1, with nothing written, when fewer than Size(numValues) are
// given or a value is not a finite number (the index of the first such value
// goes to *nonFinite when asked for).
int Decode(const unsigned char* bytes, size_t size, int numValues, int32_t* version, double* values,
           int* nonFinite = nullptr);

} // namespace StateCodec
