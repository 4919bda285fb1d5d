#pragma once

#include <cstdint>

// Sample-and-hold to imitate a lower rate, then rounding to a bit depth.
class QXBitCrusher2
{
public:
    QXBitCrusher2(double targetRate, double bitDepth) { Setup(targetRate, bitDepth); }
    virtual ~QXBitCrusher2() = default;

    void Setup(double targetRate, double bitDepth)
    {
        SetupSR(targetRate);
        SetupBD(bitDepth);
    }
    void SetupSR(double targetRate)
    {
        mTargetRate = targetRate;
        UpdateHold();
    }
    void SetupBD(double bitDepth);
    // Only the running rate changes; the held value carries on.
    void Reset(double sampleRate)
    {
        mSampleRate = sampleRate;
        UpdateHold();
    }
    double Process(double input, int);

private:
    void UpdateHold();

    double mSampleRate = 44100.0;
    double mTargetRate = 0.0;
    double mBitDepth = 0.0;
    int64_t mHoldCounter = 0;
    double mHeldValue = 0.0;
    // Derived once per setting rather than per sample.
    double mLevels = 1.0;
    int64_t mHoldLength = 0;
};
