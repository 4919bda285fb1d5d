#pragma once

#include <atomic>
#include <cstdint>

// One instrument's random source, which its noise and its sound generators
// draw from: 0 ... 2147483647, the same sequence for a seed as the C
// library's rand() and srand(), without a lock. An additive lagged-Fibonacci
// generator of degree 31 and separation 3, seeded by the minimal-standard LCG
// and run 310 steps in, as the C library does.
//
// Threads. The audio thread's noise and the GUI thread's generators of one
// instrument may draw at once: every word is atomic, so they may see repeated
// values, never corruption. Allocation- and lock-free.
class RandomSource
{
public:
    RandomSource() { seed(1); }
    RandomSource(const RandomSource&) = delete;
    RandomSource& operator=(const RandomSource&) = delete;

    int draw()
    {
        int drawn = 0;
        drawEach(1, [&drawn](int, int value) { drawn = value; });
        return drawn;
    }
    // The next count draws, in order, each handed to use(index, value) as it
    // is made, with the places read and written once. Handing the values on,
    // rather than filling an array, keeps them in registers.
    template <class Use>
    void drawEach(int count, Use use)
    {
        int front = mFront.load(std::memory_order_relaxed);
        int rear = mRear.load(std::memory_order_relaxed);
        for (int i = 0; i < count; ++i)
        {
            const uint32_t value = mWords[front].load(std::memory_order_relaxed) +
                                   mWords[rear].load(std::memory_order_relaxed);
            mWords[front].store(value, std::memory_order_relaxed);
            front = front + 1 < kDegree ? front + 1 : 0;
            rear = rear + 1 < kDegree ? rear + 1 : 0;
            use(i, static_cast<int>(value >> 1));
        }
        mFront.store(front, std::memory_order_relaxed);
        mRear.store(rear, std::memory_order_relaxed);
    }

    // The seed is taken as a signed 32-bit word, as the C library takes it; 0 is 1.
    void seed(unsigned seed);
    // The current time in seconds, as a noise source seeds it when built.
    void seedFromClock();

private:
    static const int kDegree = 31;
    static const int kSeparation = 3;
    std::atomic<uint32_t> mWords[kDegree];
    std::atomic<int> mFront{kSeparation};
    std::atomic<int> mRear{0};
};
