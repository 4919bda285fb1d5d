#include "StateVariableFilter.h"

#include "denormal.h"
#include "qxDSP.h"

#include <algorithm>
#include <cmath>

namespace
{
const double kPi = 3.141592653589793;
const double kMaximumQ = 100.0;
// Q = 0 would make the damping infinite; below this the filter is already
// heavily damped, so nothing audible is lost.
const double kMinimumQ = 1e-3;

struct Mix
{
    double low, band, high;
};
// Unity sum, low-pass, high-pass, band-pass; other modes keep the mix they had.
const Mix kMixes[] = {{1.0, 0.0, 1.0}, {1.0, 0.0, 0.0}, {0.0, 0.0, 1.0}, {0.0, 1.0, 0.0}};
const int kNumMixes = 4;
} // namespace

StateVariableFilter::StateVariableFilter()
{
    calcCoeffs();
    reset();
}

void StateVariableFilter::setMode(int mode)
{
    mMode = mode;
    calcCoeffs();
}

void StateVariableFilter::setGain(double q)
{
    mGain = qxDSP::clamp(q, 0.0, kMaximumQ);
    calcCoeffs();
}

void StateVariableFilter::setFrequency(double frequency)
{
    const double cutoff = qxDSP::clamp(frequency, 0.0, 0.5 * mSampleRate);
    // The coefficients always follow the settings, so an unchanged cutoff (the
    // usual case, with no filter envelope) needs no new tangent.
    if (cutoff == mCutoff && std::signbit(cutoff) == std::signbit(mCutoff))
        return;
    mCutoff = cutoff;
    calcCoeffs();
}

void StateVariableFilter::setSampleRate(double rate)
{
    mSampleRate = rate;
    mCutoff = qxDSP::clamp(mCutoff, 0.0, 0.5 * mSampleRate);
    calcCoeffs();
}

void StateVariableFilter::reset()
{
    mState1 = 0.0;
    mState2 = 0.0;
}

void StateVariableFilter::calcCoeffs()
{
    mG = std::tan(mCutoff * kPi / mSampleRate);
    if (mMode >= 0 && mMode < kNumMixes)
    {
        const Mix& mix = kMixes[mMode];
        mDamping = 1.0 / std::max(mGain, kMinimumQ);
        mLowCoeff = mix.low;
        // The unity sum needs the band output scaled back by the damping.
        mBandCoeff = mMode == 0 ? mDamping : mix.band;
        mHighCoeff = mix.high;
    }
    mH = 1.0 / (mDamping * mG + 1.0 + mG * mG);
}

void StateVariableFilter::getOutputs(double input, double& low, double& band, double& high)
{
    const double s1 = mState1;
    const double s2 = mState2;
    high = (input - mDamping * s1 - mG * s1 - s2) * mH;
    band = mG * high + s1;
    mState1 = mG * high + band;
    low = mG * band + s2;
    mState2 = mG * band + low;
}

// With a cutoff of 0 (g = 0, h = 1) and both states +0 the filter is a fixed
// point: the states stay +0 and the mix reduces to the high output, the input.
bool StateVariableFilter::isIdleAtZeroCutoff(double input) const
{
    return mG == 0.0 && mState1 == 0.0 && mState2 == 0.0 && !std::signbit(mState1) &&
           !std::signbit(mState2) && std::isfinite(input);
}

double StateVariableFilter::getSample(double input)
{
    if (isIdleAtZeroCutoff(input))
    {
        double passed = (mLowCoeff * 0.0 + mBandCoeff * 0.0) + mHighCoeff * input;
        denormal_fix_double_aggressive(&passed);
        return passed;
    }
    double low, band, high;
    getOutputs(input, low, band, high);
    double mixed = mLowCoeff * low + mBandCoeff * band + mHighCoeff * high;
    denormal_fix_double_aggressive(&mixed);
    return mixed;
}
