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
    // Leaves the state as nextSample would, without working out a sample the
    // state does not depend on: a silent source skips its sines and tangents.
    void skipSample(double frequency, double second);
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
