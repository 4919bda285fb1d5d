#pragma once

#include <cstdint>

// Sweeps a position from mStart to mEnd along a power curve; -1 is the low
// note, 0 each oscillator's own frequency, +1 the high note.
class PitchEnvelope
{
public:
    PitchEnvelope();
    virtual ~PitchEnvelope() = default;

    void setHighNote(int note);
    void setLowNote(int note);
    void setSampleRate(double rate) { mSampleRate = rate; }
    void reset();
    // The last curve value worked out, so that voices sweeping in step (started
    // together) take the power once between them.
    struct CurveMemo
    {
        double progress = -1.0;
        double slope = 0.0;
        double value = 0.0;
    };

    void step(CurveMemo* memo = nullptr);
    // Whether step() would leave the value as it is (no sweep, or a sweep run
    // to its end); then stepping only counts the samples.
    bool isSettled() const;
    void skipSettled(uint64_t samples) { mSampleIndex += samples; }
    double nextSample(double frequency) const;

    double getValue() const { return mValue; }

    // Written directly by the voice manager; the duration applies at the next reset.
    double mDuration = 1.0;
    double mStart = 0.0;
    double mEnd = 1.0;
    double mSlope = 1.0;

private:
    double curve(double progress, CurveMemo* memo) const;

    int mHighNote = 96;
    int mLowNote = 12;
    double mHighFreq = 0.0;
    double mLowFreq = 0.0;
    double mValue = 0.0;
    uint64_t mSampleIndex = 0;
    uint64_t mTotalSamples = 44100;
    double mSampleRate = 44100.0;
};
