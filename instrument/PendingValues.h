#pragma once

#include <array>
#include <atomic>

// The newest value of each of kCount slots, posted by threads that hold the
// plug-in's mutex and taken by the audio thread, which holds none: no lock,
// no allocation. Values posted twice before they are taken are taken once,
// the newer; a value posted while it is being taken is taken again next time.
template <int kCount> class PendingValues
{
public:
    void Post(int slot, double value)
    {
        mValues[slot].store(value, std::memory_order_relaxed);
        mWaiting[slot].store(true, std::memory_order_release);
        mAnyWaiting.store(true, std::memory_order_release);
    }

    // Calls take(slot, value) for each value waiting, in slot order.
    template <class Take> void TakeAll(Take&& take)
    {
        if (!mAnyWaiting.load(std::memory_order_relaxed) ||
            !mAnyWaiting.exchange(false, std::memory_order_acquire))
            return;
        for (int slot = 0; slot < kCount; ++slot)
        {
            if (mWaiting[slot].exchange(false, std::memory_order_acquire))
                take(slot, mValues[slot].load(std::memory_order_relaxed));
        }
    }

private:
    std::array<std::atomic<double>, kCount> mValues{};
    std::array<std::atomic<bool>, kCount> mWaiting{};
    std::atomic<bool> mAnyWaiting{false};
};
