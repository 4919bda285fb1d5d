#pragma once

#include <cmath>
#include <cstddef>

// Audio thread: brings a block to the gain it is heard at; returns how many
// of its samples then reach full scale (the device clips them).
inline long ApplyListeningGain(float* samples, size_t count, float gain)
{
    long clipped = 0;
    for (size_t i = 0; i < count; ++i)
    {
        samples[i] *= gain;
        clipped += std::fabs(samples[i]) >= 1.0f;
    }
    return clipped;
}
