#pragma once

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
    void getOutputs(double input, double& low, double& band, double& high);
    double getSample(double input);

private:
    bool isIdleAtZeroCutoff(double input) const;

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
};
