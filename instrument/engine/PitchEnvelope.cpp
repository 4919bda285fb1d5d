#include "PitchEnvelope.h"

#include "PortableMath.h"
#include "qxDSP.h"

#include <cmath>
#include <cstring>

PitchEnvelope::PitchEnvelope()
{
    setHighNote(mHighNote);
    setLowNote(mLowNote);
}

void PitchEnvelope::setHighNote(int note)
{
    mHighNote = note;
    mHighFreq = qxDSP::MIDItoHz(note);
}

void PitchEnvelope::setLowNote(int note)
{
    mLowNote = note;
    mLowFreq = qxDSP::MIDItoHz(note);
}

void PitchEnvelope::reset()
{
    mSampleIndex = 0;
    const double samples = mDuration * mSampleRate;
    mTotalSamples = samples > 0.0 ? static_cast<uint64_t>(samples) : 0;
}

// pow returns its base exactly for an exponent of 1 and 1 for a base of 1.
double PitchEnvelope::curve(double progress, CurveMemo* memo) const
{
    if (mSlope == 1.0 || progress == 1.0)
        return progress;
    if (memo && memo->progress == progress && memo->slope == mSlope)
        return memo->value;
    const double value = bf_pow(progress, mSlope);
    if (memo)
        *memo = {progress, mSlope, value};
    return value;
}

void PitchEnvelope::step(CurveMemo* memo)
{
    // Without a sweep the position is 0 whatever the progress.
    if (mStart == 0.0 && mEnd == 0.0)
    {
        ++mSampleIndex;
        mValue = 0.0;
        return;
    }
    // A sweep shorter than one sample is complete at once.
    double progress = mTotalSamples == 0
                          ? 1.0
                          : static_cast<double>(mSampleIndex) / static_cast<double>(mTotalSamples);
    ++mSampleIndex;
    progress = qxDSP::clamp(progress, 0.0, 1.0);
    mValue = qxDSP::lerp(mStart, mEnd, curve(progress, memo));
}

bool PitchEnvelope::isSettled() const
{
    const bool sweeping = !(mStart == 0.0 && mEnd == 0.0);
    if (sweeping && mTotalSamples != 0 && mSampleIndex < mTotalSamples)
        return false;
    // At the end of a sweep the curve is 1 whatever its slope.
    const double settled = sweeping ? qxDSP::lerp(mStart, mEnd, 1.0) : 0.0;
    return std::memcmp(&settled, &mValue, sizeof settled) == 0;
}

double PitchEnvelope::nextSample(double frequency) const
{
    if (mValue > 0.0)
        return qxDSP::lerp(frequency, mHighFreq, mValue);
    if (mValue < 0.0)
        return qxDSP::lerp(frequency, mLowFreq, -mValue);
    return frequency;
}
