#pragma once

class RandomSource;

// White noise in -1 ... 1 from its instrument's random source, which building
// it seeds from the clock.
class WhiteNumber
{
public:
    explicit WhiteNumber(RandomSource& source);
    double tick();
    static double fromRandom(int r);

private:
    RandomSource* mSource;
};

// Pink noise from three one-pole low-passed white sources, single precision,
// drawn from its instrument's random source, which building it seeds from the clock.
class PinkNoise
{
public:
    explicit PinkNoise(RandomSource& source);
    void clear();
    float tick();

private:
    RandomSource* mSource;
    float mState[3];
};
