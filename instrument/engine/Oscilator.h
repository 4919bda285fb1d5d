#pragma once

#include "KIT_Assert.h"
#include "Noise.h"
#include "RandomSource.h"
#include "qxOsc.h"

#include <type_traits>

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

    // The plain waveforms: plain arithmetic, no maths library call, no draw.
    // The one list every kernel dispatches through.
    template <OscType... kTypes> struct WaveList
    {
        static constexpr bool holds(OscType type) { return ((type == kTypes) || ...); }
        // f(std::integral_constant<OscType, kType>()) for the listed type that
        // type is; a type not in the list is a programming error.
        template <class F> static decltype(auto) dispatch(OscType type, F&& f)
        {
            return dispatchFrom<kTypes...>(type, f);
        }

    private:
        template <OscType kFirst, OscType... kRest, class F>
        static decltype(auto) dispatchFrom(OscType type, F& f)
        {
            if constexpr (sizeof...(kRest) == 0)
            {
                KIT_ASSERT_MSG(type == kFirst, "not a waveform of the list");
                return f(std::integral_constant<OscType, kFirst>());
            }
            else
            {
                if (type == kFirst)
                    return f(std::integral_constant<OscType, kFirst>());
                return dispatchFrom<kRest...>(type, f);
            }
        }
    };
    using PlainWaves = WaveList<kOscTriangle, kOscSquare, kOscSaw, kOscBreaker>;

    // Its noises draw from the source, which must outlive it.
    explicit Oscilator(RandomSource& random) : mPink(random), mWhite(random) {}
    virtual ~Oscilator() = default;

    double nextSample(double frequency, double second);
    bool isPlain() const { return PlainWaves::holds(mType); }
    // nextSample of a plain waveform, kept free of calls so that a loop around
    // it can hold its state in registers.
    double plainSample(double frequency)
    {
        return PlainWaves::dispatch(mType, [&](auto type)
                                    { return plainWave<type.value>(mOscA, frequency, mDuty); });
    }
    // A plain waveform chosen at compile time, on any phase accumulator: a
    // loop over one oscillator keeps a copy of its mOscA in registers.
    template <OscType kType> static double plainWave(qxOsc& osc, double frequency, double duty)
    {
        static_assert(PlainWaves::holds(kType), "not a plain waveform");
        if constexpr (kType == kOscTriangle)
            return osc.triangle(frequency);
        else if constexpr (kType == kOscSquare)
            return osc.pulse(frequency, duty);
        else if constexpr (kType == kOscSaw)
            return osc.sawn(frequency);
        else
        {
            static_assert(kType == kOscBreaker, "a plain waveform without its code here");
            return osc.breaker(frequency);
        }
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
