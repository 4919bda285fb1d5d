#pragma once

#include "EG.h"
#include "Oscilator.h"
#include "PitchEnvelope.h"
#include "StateVariableFilter.h"

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

    EG& filterEnvelope() { return mFilterEnv; }
    void shareCurveMemo(PitchEnvelope::CurveMemo* memo) { mCurveMemo = memo; }
    PitchEnvelope& pitchEnvelope() { return mPitchEnv; }

private:
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
