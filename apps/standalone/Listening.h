#pragma once

#include <cmath>
#include <cstddef>

// Audio thread: brings a block of the live instrument to the gain it is heard
// at and adds a clip's samples (at their own gain already; clipCount of them,
// which may be none); returns how many samples then reach full scale (the
// device clips them). Where the instrument is silent the clip's samples are
// played exactly.
inline long MixHeard(float* samples, size_t count, float gain, const float* clip, size_t clipCount)
{
    long clipped = 0;
    for (size_t i = 0; i < count; ++i)
    {
        samples[i] = samples[i] * gain + (i < clipCount ? clip[i] : 0.0f);
        clipped += std::fabs(samples[i]) >= 1.0f;
    }
    return clipped;
}
