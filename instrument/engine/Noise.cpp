#include "Noise.h"

#include "RandomSource.h"

namespace
{

const float kPinkWeights[3] = {0.02109238f, 0.07113478f, 0.6887356f};
const float kPinkPoles[3] = {0.319f, 0.7756f, 0.9613f};
const float kPinkOffset = kPinkWeights[0] + kPinkWeights[1] + kPinkWeights[2];
// 2 / 2147483647 rounded to single precision.
const float kPinkScale = 9.313225746154785e-10f;

} // namespace

WhiteNumber::WhiteNumber(RandomSource& source) : mSource(&source)
{
    source.seedFromClock();
}

double WhiteNumber::tick()
{
    return fromRandom(mSource->draw());
}

double WhiteNumber::fromRandom(int r)
{
    const double unit = r / 2147483647.0;
    return unit + unit - 1.0;
}

PinkNoise::PinkNoise(RandomSource& source) : mSource(&source)
{
    source.seedFromClock();
    clear();
}

void PinkNoise::clear()
{
    for (float& state : mState)
        state = 0.0f;
}

float PinkNoise::tick()
{
    mSource->drawEach(3, [this](int k, int drawn) {
        const float r = static_cast<float>(drawn);
        mState[k] = kPinkPoles[k] * (mState[k] - r) + r;
    });
    const float sum =
        kPinkWeights[0] * mState[0] + kPinkWeights[1] * mState[1] + kPinkWeights[2] * mState[2];
    return sum * kPinkScale - kPinkOffset;
}
