#include "qxDSP.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace
{

const int32_t kPowBias = 1072632447;

int32_t upperWord(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return static_cast<int32_t>(static_cast<uint32_t>(bits >> 32));
}

double fromUpperWord(int32_t word)
{
    const uint64_t bits = static_cast<uint64_t>(static_cast<uint32_t>(word)) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Truncates toward zero; values the word cannot hold give INT32_MIN, as the
// x86 conversion does, so every machine agrees on them too.
int32_t truncateToWord(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

} // namespace

namespace qxDSP
{

double fastPow(double a, double b)
{
    const int64_t distance = static_cast<int64_t>(upperWord(a)) - kPowBias;
    return fromUpperWord(
        truncateToWord(b * static_cast<double>(distance) + static_cast<double>(kPowBias)));
}

double MIDItoHz(int note)
{
    return fastPow(2.0, (note - 69) / 12.0) * 440.0;
}

double CentsToHerz(double freq, double cents)
{
    return freq * fastPow(2.0, cents / 1200.0);
}

double lerp(double a, double b, double t)
{
    return (1.0 - t) * a + t * b;
}

double clamp(double x, double lo, double hi)
{
    if (lo > x)
        return lo;
    if (x > hi)
        return hi;
    return x;
}

double lin2dB(double x)
{
    return std::log(x) * 8.656170245333781;
}

double CalcShapeValue(double a, double b, double c)
{
    return std::log((a - c) / (a - b)) / std::log(2.0);
}

double rand01(RandomSource& source)
{
    return source.draw() / 2147483646.0;
}

} // namespace qxDSP

int qxDSP::heldToInt(double x)
{
    if (!(x > -2147483648.0))
        return x != x ? 0 : -2147483647 - 1;
    return x < 2147483647.0 ? static_cast<int>(x) : 2147483647;
}
