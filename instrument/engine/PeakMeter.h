#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>

// Two-channel block peak meter, smoothed once per processing block. The audio
// thread measures; the smoothed values are published once per block for any
// thread to read.
class PeakMeter
{
public:
    PeakMeter(double attack, double release) : mAttack(attack), mRelease(release) {}
    virtual ~PeakMeter() = default;

    void Reset(double) {}
    void ProcessInit() { mPeakL = mPeakR = 0.0; }
    void ProcessSample(double left, double right)
    {
        mPeakL = std::max(mPeakL, std::fabs(left));
        mPeakR = std::max(mPeakR, std::fabs(right));
    }
    void PostProcess()
    {
        smooth(mPeakL, mPrevL);
        smooth(mPeakR, mPrevR);
        mPublishedL.store(mPeakL, std::memory_order_relaxed);
        mPublishedR.store(mPeakR, std::memory_order_relaxed);
    }
    double GetValueL() const { return mPublishedL.load(std::memory_order_relaxed); }
    double GetValueR() const { return mPublishedR.load(std::memory_order_relaxed); }

private:
    // Rising levels move by the attack share, falling ones by the release share.
    void smooth(double& peak, double& previous) const
    {
        const double a = previous > peak ? mRelease : mAttack;
        peak = peak * a + previous * (1.0 - a);
        previous = peak;
    }

    double mPrevL = 0.0, mPrevR = 0.0;
    double mPeakL = 0.0, mPeakR = 0.0;
    double mAttack, mRelease;
    std::atomic<double> mPublishedL{0.0}, mPublishedR{0.0}; // written by the audio thread
};
