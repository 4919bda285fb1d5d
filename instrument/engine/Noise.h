#pragma once

// White noise in -1 ... 1 from the process-wide C library generator.
class WhiteNumber
{
public:
    WhiteNumber();
    double tick();
    static double fromRandom(int r);
};

// Pink noise from three one-pole low-passed white sources, single precision.
class PinkNoise
{
public:
    PinkNoise();
    void clear();
    float tick();

private:
    float mState[3];
};
