#pragma once

#include "Noise.h"
#include "qxOsc.h"

// One audio-rate source of a voice; the frequency is given per call so that the
// pitch envelope can move it every sample.
class Oscilator
{
public:
    enum OscType : int
    {
        kOscOff = 0,
        kOscTriangle,
        kOscSin,
        kOscSquare,
        kOscSaw,
        kOscBreaker,
        kOscTan,
        kOscWhistle,
        kOscNoise,
        kOscPinkNoise,
    };

    virtual ~Oscilator() = default;

    double nextSample(double frequency, double second);
    // Whether the waveform is plain arithmetic: no maths library call, no draw.
    bool isPlain() const
    {
        return mType == kOscTriangle || mType == kOscSquare || mType == kOscSaw ||
               mType == kOscBreaker;
    }
    // nextSample of a plain waveform, kept free of calls so that a loop around
    // it can hold its state in registers.
    double plainSample(double frequency);
    // A plain waveform chosen at compile time, on any phase accumulator: a
    // loop over one oscillator keeps a copy of its mOscA in registers.
    template <OscType kType> static double plainWave(qxOsc& osc, double frequency, double duty)
    {
        static_assert(kType == kOscTriangle || kType == kOscSquare || kType == kOscSaw ||
                          kType == kOscBreaker,
                      "not a plain waveform");
        if constexpr (kType == kOscTriangle)
            return osc.triangle(frequency);
        else if constexpr (kType == kOscSquare)
            return osc.pulse(frequency, duty);
        else if constexpr (kType == kOscSaw)
            return osc.sawn(frequency);
        else
            return osc.breaker(frequency);
    }
    // Leaves the state as nextSample would, without working out a sample the
    // state does not depend on: a silent source skips its sines and tangents.
    void skipSample(double frequency, double second);
    // skipSample of a tonal waveform (or Off): no call, no draw.
    void skipTonal(double frequency);
    void setPhase(double phase);
    void setSampleRate(int rate)
    {
        mOscA.setSampleRate(rate);
        mOscB.setSampleRate(rate);
    }

    double triangle(double frequency) { return mOscA.triangle(frequency); }
    double sin(double frequency) { return mOscA.sinewave(frequency); }
    double square(double frequency, double duty) { return mOscA.pulse(frequency, duty); }
    double saw(double frequency) { return mOscA.sawn(frequency); }
    double breaker(double frequency) { return mOscA.breaker(frequency); }
    double tan(double frequency) { return mOscA.tan(frequency); }
    double whistle(double frequency);
    double noise() { return mWhite.tick(); }
    double pinknoise() { return mPink.tick(); }

    qxOsc mOscA;
    qxOsc mOscB; // the whistle's overtone only
    PinkNoise mPink;
    WhiteNumber mWhite;
    OscType mType = kOscSin;
    double mDuty = 0.5;
};
