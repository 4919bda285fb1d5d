#pragma once

// The voice's kernels: how one voice sample is made, chosen once per frame.
//
//   VoiceManager::render(frame)
//     |- more than one voice sounds ........ per sample: the manager's sumSounding,
//     |                                      the voices' filter chains interleaved
//     |- one voice, not Voice::isSteadyFor .. per sample: Voice::nextSample
//     '- one voice, steady for the frame .... Voice::renderSteady
//          |- a source calls the maths library or draws .. renderSplit: the sources
//          |                                               first, then the loop
//          |- one plain oscillator sounds alone .......... renderOneWave<type>
//          '- plain oscillators only ..................... renderMixed
//
// Every kernel runs runSteady's loop, with the envelopes' levels, the filters
// and the sink in registers. What the choice reads is Voice::RouteCache and
// the settings; every route gives the same samples to the bit (the frame path
// test checks that on random patches). Included only where frames render.
#include "Voice.h"

template <class Sink> Sink Voice::renderSteady(int n, Sink sink)
{
    if (!sourcesArePlain())
        return renderSplit(n, sink);
    const int slot = onlySoundingSlot();
    if (slot < 0)
        return renderMixed(n, sink);
    return Oscilator::PlainWaves::dispatch(mOscillators[slot].mType, [&](auto type)
                                           { return renderOneWave<type.value>(n, sink, slot); });
}

// Each kernel is a function of its own, so that its registers are allocated
// apart from the general path's.
template <class Sink> __attribute__((noinline, flatten)) Sink Voice::renderMixed(int n, Sink sink)
{
    return runSteady(0, n, sink, [this](double amp) { return mixAt<true>(amp); });
}

// The sources' calls run first, a chunk of samples at a time, so that the
// loop of the filters and the sink is free of them.
template <class Sink> __attribute__((noinline, flatten)) Sink Voice::renderSplit(int n, Sink sink)
{
    const int kChunk = 16;
    for (int first = 0; first < n; first += kChunk)
    {
        const int count = n - first < kChunk ? n - first : kChunk;
        double mixes[kChunk];
        EG::Run amp = mAmpEnv.run(); // as runSteady will step it
        for (int k = 0; k < count; ++k)
            mixes[k] = mixAt<false>(amp.next());
        const double* mix = mixes;
        sink = runSteady(first, count, sink, [&mix](double) { return *mix++; });
    }
    return sink;
}

// One oscillator sounds: its waveform is known here, and its phase and the
// mix's factors stay in registers.
template <Oscilator::OscType kType, class Sink>
__attribute__((noinline, flatten)) Sink Voice::renderOneWave(int n, Sink sink, int slot)
{
    Oscilator& oscillator = mOscillators[slot];
    qxOsc phase = oscillator.mOscA;
    const double frequency = mPitchEnv.nextSample(mBaseFreq[slot]);
    const double duty = oscillator.mDuty;
    const double level = mSourceLevel[slot];
    const double depth = mEnvDepth[slot];
    const double gain = mVelocityGain;
    Sink result = runSteady(0, n, sink,
                            [&](double amp)
                            {
                                const double sample =
                                    Oscilator::plainWave<kType>(phase, frequency, duty);
                                return weighted(level, depth, sample, amp) * gain;
                            });
    oscillator.mOscA = phase;
    return result;
}

// The loop of every kernel, over samples first ... first + n - 1 of a frame:
// the envelopes' levels, the filters and the sink run on local copies, which
// the source's stores cannot reach.
template <class Sink, class Source>
Sink Voice::runSteady(int first, int n, Sink sink, Source source)
{
    StateVariableFilter highPass = mHighPass;
    StateVariableFilter lowPass = mLowPass;
    EG::Run amp = mAmpEnv.run();
    EG::Run filterEnv = mFilterEnv.run();
    Sink local = sink;
    for (int k = first; k < first + n; ++k)
    {
        const double mix = source(amp.next());
        filterEnv.next();
        local(k, lowPass.getSample(highPass.getSample(mix)));
    }
    const uint64_t samples = static_cast<uint64_t>(n);
    mPitchEnv.skipSettled(samples);
    mAmpEnv.endRun(amp, samples);
    mFilterEnv.endRun(filterEnv, samples);
    mHighPass = highPass;
    mLowPass = lowPass;
    // Copied out: returned by name, the sink would live in the caller's
    // memory all along.
    return Sink(local);
}

// A source whose level is 0 contributes a signed zero to the mix, and the sign
// of a zero mix never reaches the output (the filters give +0 either way), so
// only audible sources are summed, in source order.
template <bool kPlain> double Voice::mixAt(double amp)
{
    double mix = 0.0;
    bool audible = false;
    auto add = [&](int i, double sample)
    {
        const double m = weighted(mSourceLevel[i], mEnvDepth[i], sample, amp);
        mix = audible ? mix + m : m;
        audible = true;
    };
    // Unrolled: three fixed slots need no loop counter.
#pragma GCC unroll 3
    for (int i = 0; i < kNumTonalSources; ++i)
    {
        Oscilator& osc = mOscillators[i];
        if (osc.mType == Oscilator::kOscOff)
            continue; // silent, and its phase stays where it is
        // The phase runs on even when the level is 0; only the sample is skipped.
        const double frequency = mPitchEnv.nextSample(mBaseFreq[i]);
        if (kPlain)
        {
            if (mSourceLevel[i] != 0.0)
                add(i, osc.plainSample(frequency));
            else
                osc.skipTonal(frequency);
        }
        else if (mSourceLevel[i] != 0.0)
            add(i, osc.nextSample(frequency, kSecondArgument));
        else
            osc.skipSample(frequency, kSecondArgument);
    }
    // Silent noise draws nothing, which keeps every other draw where it was.
    if (!kPlain && !mCache.noiseSilent)
    {
        const double white = mOscillators[kWhiteNoiseSource].noise();
        const double pink = mOscillators[kPinkNoiseSource].pinknoise();
        if (mSourceLevel[kWhiteNoiseSource] != 0.0)
            add(kWhiteNoiseSource, white);
        if (mSourceLevel[kPinkNoiseSource] != 0.0)
            add(kPinkNoiseSource, pink);
    }
    return mix * mVelocityGain;
}
