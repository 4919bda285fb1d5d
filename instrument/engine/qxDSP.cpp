#include "qxDSP.h"

#include "PortableMath.h"

#include <atomic>
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
    return bf_log(x) * 8.656170245333781;
}

double CalcShapeValue(double a, double b, double c)
{
    return bf_log((a - c) / (a - b)) / bf_log(2.0);
}

double rand01()
{
    return random() / 2147483646.0;
}

namespace
{

// Additive lagged-Fibonacci generator of degree 31 and separation 3, seeded by
// the minimal-standard LCG and run 310 steps in, as the C library does.
class RandomSource
{
public:
    RandomSource() { seed(1); }

    int draw()
    {
        const int front = mFront.load(std::memory_order_relaxed);
        const int rear = mRear.load(std::memory_order_relaxed);
        const uint32_t value = mWords[front].load(std::memory_order_relaxed) +
                               mWords[rear].load(std::memory_order_relaxed);
        mWords[front].store(value, std::memory_order_relaxed);
        mFront.store(front + 1 < kDegree ? front + 1 : 0, std::memory_order_relaxed);
        mRear.store(rear + 1 < kDegree ? rear + 1 : 0, std::memory_order_relaxed);
        return static_cast<int>(value >> 1);
    }

    void seed(unsigned seed)
    {
        // The seed is taken as a signed 32-bit word, as the C library takes it.
        int32_t word = static_cast<int32_t>(seed == 0 ? 1 : seed);
        mWords[0].store(static_cast<uint32_t>(word), std::memory_order_relaxed);
        for (int i = 1; i < kDegree; ++i)
        {
            const long hi = word / 127773;
            const long lo = word % 127773;
            word = static_cast<int32_t>(16807 * lo - 2836 * hi);
            if (word < 0)
                word += 2147483647;
            mWords[i].store(static_cast<uint32_t>(word), std::memory_order_relaxed);
        }
        mFront.store(kSeparation, std::memory_order_relaxed);
        mRear.store(0, std::memory_order_relaxed);
        for (int i = 0; i < kDegree * 10; ++i)
            draw();
    }

private:
    static const int kDegree = 31;
    static const int kSeparation = 3;
    std::atomic<uint32_t> mWords[kDegree];
    std::atomic<int> mFront{kSeparation};
    std::atomic<int> mRear{0};
};

RandomSource& randomSource()
{
    static RandomSource source;
    return source;
}

} // namespace

int random()
{
    return randomSource().draw();
}

void seedRandom(unsigned seed)
{
    randomSource().seed(seed);
}

} // namespace qxDSP

int qxDSP::heldToInt(double x)
{
    if (!(x > -2147483648.0))
        return x != x ? 0 : -2147483647 - 1;
    return x < 2147483647.0 ? static_cast<int>(x) : 2147483647;
}
