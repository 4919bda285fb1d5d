#pragma once

#include "EG.h"
#include "Oscilator.h"
#include "PitchEnvelope.h"
#include "StateVariableFilter.h"
#include "qxDSP.h"

// One note: three oscillators, white and pink noise, amplitude and filter
// envelopes, the pitch envelope, and a high-pass then a low-pass filter.
class Voice
{
public:
    static const int kNumSources = 5;
    static const int kNumTonalSources = 3;
    static const int kWhiteNoiseSource = 3;
    static const int kPinkNoiseSource = 4;

    Voice();
    virtual ~Voice() = default;
    Voice(const Voice&) = delete; // the envelope's signal is bound to this voice
    Voice& operator=(const Voice&) = delete;

    void NoteOn(int noteNumber, int velocity);
    void NoteOff(int noteNumber, int velocity);
    double nextSample();
    // nextSample in three steps, so that a caller running several voices can
    // interleave their independent filter chains.
    double mixSources();
    double highPassStage(double mix);
    double lowPassStage(double x);
    // Whether the next n samples change nothing but the signal: no envelope
    // stage ends, the pitch and the cutoffs stay. renderSteady then runs them
    // in a loop whose state the compiler can hold in registers, handing each
    // sample to sink(k, sample). A call anywhere in that loop would spill it
    // all, so sources that call the maths library or draw run ahead of it.
    bool isSteadyFor(int n) const;
    template <class Sink> Sink renderSteady(int n, Sink sink);
    void setSampleRate(double rate);
    void setFree(EG*) { mIsActive = false; }
    bool isActive() const { return mIsActive; }
    int getNoteNumber() const { return mNoteNumber; }

    // Per-source settings; an index outside the source's range is ignored.
    void SetOscType(int i, Oscilator::OscType type);
    void SetSquareDuty(int i, double duty);
    void SetOscLevel(int i, double level);
    void SetOscOctave(int i, int octaves);
    void SetOscTranspose(int i, int semitones);
    void SetOscCent(int i, int cents);
    void SetOscEnvDepth(int i, double depth);
    void SetOscPhase(int i, double phase);

    void SetEnvAttack(double seconds) { mAmpEnv.SetAttack(seconds); }
    void SetEnvHold(double seconds) { mAmpEnv.SetHold(seconds); }
    void SetEnvDecay(double seconds) { mAmpEnv.SetDecay(seconds); }
    void SetEnvSustain(double level) { mAmpEnv.SetSustain(level); }
    void SetEnvRelease(double seconds) { mAmpEnv.SetRelease(seconds); }

    void SetLPFilterCutoff(double hz) { setFilterSetting(mLPCutoff, hz); }
    void SetHPFilterCutoff(double hz) { setFilterSetting(mHPCutoff, hz); }
    void SetLPFilterResonance(double q) { mLowPass.setGain(q); }
    void SetHPFilterResonance(double q) { mHighPass.setGain(q); }
    void SetLPFilterDepth(double depth) { setFilterSetting(mLPDepth, depth); }
    void SetHPFilterDepth(double depth) { setFilterSetting(mHPDepth, depth); }

    void SetFilterEnvAttack(double seconds) { mFilterEnv.SetAttack(seconds); }
    void SetFilterEnvHold(double seconds) { mFilterEnv.SetHold(seconds); }
    void SetFilterEnvDecay(double seconds) { mFilterEnv.SetDecay(seconds); }
    void SetFilterEnvSustain(double level) { mFilterEnv.SetSustain(level); }
    void SetFilterEnvRelease(double seconds) { mFilterEnv.SetRelease(seconds); }

    void SetPitchHighNote(int note) { mPitchEnv.setHighNote(note); }
    void SetPitchLowNote(int note) { mPitchEnv.setLowNote(note); }
    void SetPitchDuration(double seconds) { mPitchEnv.mDuration = seconds; }
    void SetPitchStart(double position) { mPitchEnv.mStart = position; }
    void SetPitchEnd(double position) { mPitchEnv.mEnd = position; }
    void SetPitchSlope(double exponent) { mPitchEnv.mSlope = exponent; }

    void shareCurveMemo(PitchEnvelope::CurveMemo* memo) { mCurveMemo = memo; }

private:
    static constexpr double kSecondArgument = 0.5; // the oscillators ignore it
    static bool isSource(int i) { return i >= 0 && i < kNumSources; }
    static bool isTonal(int i) { return i >= 0 && i < kNumTonalSources; }
    void updateBaseFrequencies();
    // A cutoff or a depth: the filters take their cutoffs again next sample.
    void setFilterSetting(double& setting, double value)
    {
        setting = value;
        mCutoffs = kCutoffsStale;
    }
    bool cutoffsMove(double env) const;
    bool cutoffsHeld() const;
    bool sourcesArePlain() const;
    int onlySoundingSlot() const;
    template <bool kPlain> double mixAt(double amp);
    static double weighted(double level, double depth, double sample, double amp)
    {
        const double s = level * sample;
        return qxDSP::lerp(s, s * amp, depth);
    }
    template <class Sink, class Source> Sink runSteady(int first, int n, Sink sink, Source source);
    template <class Sink> Sink renderMixed(int n, Sink sink);
    template <class Sink> Sink renderSplit(int n, Sink sink);
    template <Oscilator::OscType kType, class Sink> Sink renderOneWave(int n, Sink sink, int slot);
    double lowPassCutoff(double env) const;
    double highPassCutoff(double env) const;

    double mSampleRate = 44100.0;
    EG mAmpEnv;
    Oscilator mOscillators[kNumSources];
    double mSourceLevel[kNumSources] = {1.0, 0.0, 0.0, 0.0, 0.0};
    bool mNoiseSilent = true;
    bool mFrequencyDirty = true;
    int mNoteNumber = 0;
    int mVelocity = 0;
    double mVelocityGain = 0.0; // mVelocity / 127, once per note
    bool mIsActive = false;
    StateVariableFilter mLowPass;
    StateVariableFilter mHighPass;
    double mLPDepth = 0.0;
    double mHPDepth = 0.0;
    EG mFilterEnv;
    // Whether the filters have the cutoffs of the current settings: always
    // (no depth uses the envelope), or while the filter envelope stays at
    // mHeldEnv. Setting them again then would change nothing.
    enum Cutoffs
    {
        kCutoffsStale,
        kCutoffsAtHeldEnv,
        kCutoffsFixed
    };
    Cutoffs mCutoffs = kCutoffsStale;
    double mHeldEnv = 0.0;
    double mLPCutoff = 22050.0;
    double mHPCutoff = 0.0;
    int mTranspose[kNumSources] = {};
    int mOctave[kNumSources] = {};
    int mCents[kNumSources] = {};
    double mPhase[kNumSources] = {};
    double mEnvDepth[kNumSources] = {1.0, 1.0, 1.0, 1.0, 1.0};
    PitchEnvelope mPitchEnv;
    PitchEnvelope::CurveMemo* mCurveMemo = nullptr; // shared with the other voices
    double mBaseFreq[kNumTonalSources] = {};
};

template <class Sink> Sink Voice::renderSteady(int n, Sink sink)
{
    if (!sourcesArePlain())
        return renderSplit(n, sink);
    const int slot = onlySoundingSlot();
    if (slot < 0)
        return renderMixed(n, sink);
    switch (mOscillators[slot].mType)
    {
    case Oscilator::kOscTriangle:
        return renderOneWave<Oscilator::kOscTriangle>(n, sink, slot);
    case Oscilator::kOscSquare:
        return renderOneWave<Oscilator::kOscSquare>(n, sink, slot);
    case Oscilator::kOscSaw:
        return renderOneWave<Oscilator::kOscSaw>(n, sink, slot);
    default:
        return renderOneWave<Oscilator::kOscBreaker>(n, sink, slot);
    }
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
    if (!kPlain && !mNoiseSilent)
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
