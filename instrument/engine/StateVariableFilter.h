#pragma once

#include "denormal.h"

#include <cmath>

// Two-pole zero-delay-feedback state-variable filter; the mode chooses how the
// low, band and high outputs are mixed. mGain acts as the quality factor Q.
class StateVariableFilter
{
public:
    StateVariableFilter();

    void setMode(int mode);
    void setGain(double q);
    void setFrequency(double frequency);
    void setSampleRate(double rate);
    void reset();
    void calcCoeffs();
    double getBandpassScaler() const { return mDamping; }
    void getOutputs(double input, double& low, double& band, double& high)
    {
        const double s1 = mState1;
        const double s2 = mState2;
        mAtRest = false;
        high = (input - mDamping * s1 - mG * s1 - s2) * mH;
        band = mG * high + s1;
        mState1 = mG * high + band;
        low = mG * band + s2;
        mState2 = mG * band + low;
    }

    // Runs per voice-rate sample, twice per voice: kept inline.
    double getSample(double input)
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

private:
    // With a cutoff of 0 (g = 0, h = 1) and both states +0 the filter is a fixed
    // point: the states stay +0 and the mix reduces to the high output, the input.
    bool isIdleAtZeroCutoff(double input) const
    {
        return mAtRest && mG == 0.0 && std::isfinite(input);
    }

    double mState1 = 0.0;
    double mState2 = 0.0;
    double mG = 0.0;
    double mDamping = 0.0;
    double mH = 0.0;
    double mLowCoeff = 0.0;
    double mBandCoeff = 0.0;
    double mHighCoeff = 0.0;
    double mSampleRate = 44100.0;
    double mCutoff = 1000.0;
    double mGain = 0.7071067811865475;
    int mMode = 1;
    // Both states are +0 since the last reset: nothing has been filtered yet.
    bool mAtRest = true;
};
