#include "StateVariableFilter.h"

#include "PortableMath.h"
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
    mAtRest = true;
}

void StateVariableFilter::calcCoeffs()
{
    mG = bf_tan(mCutoff * kPi / mSampleRate);
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
