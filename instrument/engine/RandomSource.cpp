#include "RandomSource.h"

#include <ctime>

void RandomSource::seed(unsigned seed)
{
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

void RandomSource::seedFromClock()
{
    seed(static_cast<unsigned>(std::time(nullptr)));
}
