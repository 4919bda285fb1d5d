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

    // Its noises draw from the source, which must outlive it.
    explicit Voice(RandomSource& random);
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
    // The kernels live in VoiceKernels.h, which opens with the route choice.
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
        settingsChanged();
    }
    void settingsChanged();
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
    int mNoteNumber = 0;
    int mVelocity = 0;
    double mVelocityGain = 0.0; // mVelocity / 127, once per note
    bool mIsActive = false;
    StateVariableFilter mLowPass;
    StateVariableFilter mHighPass;
    double mLPDepth = 0.0;
    double mHPDepth = 0.0;
    EG mFilterEnv;
    // What the route choice and the per-sample path keep between samples,
    // worked out from the settings; settingsChanged() marks it all stale, and
    // every setter that moves a frequency, a level, a cutoff or the rate calls it.
    enum Cutoffs
    {
        kCutoffsStale,
        kCutoffsAtHeldEnv, // the filters have the cutoffs while the filter envelope stays at heldEnv
        kCutoffsFixed      // no depth uses the envelope: setting them again would change nothing
    };
    struct RouteCache
    {
        bool noiseSilent = true;    // both noise levels are 0
        bool frequencyDirty = true; // the base frequencies need working out
        Cutoffs cutoffs = kCutoffsStale;
        double heldEnv = 0.0;
    };
    RouteCache mCache;
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
