#include "VoiceKernels.h"

#include "qxDSP.h"

#include <cstring>

namespace
{
const double kOpenCutoff = 22050.0; // where a positive low-pass depth opens to
} // namespace

Voice::Voice(RandomSource& random)
    : mOscillators{Oscilator(random), Oscilator(random), Oscilator(random), Oscilator(random),
                   Oscilator(random)}
{
    mLowPass.setMode(1);
    mHighPass.setMode(2);
    mAmpEnv.mCycleFinished.Connect(this, &Voice::setFree);
}

void Voice::SetOscType(int i, Oscilator::OscType type)
{
    if (isTonal(i))
        mOscillators[i].mType = type;
}

void Voice::SetSquareDuty(int i, double duty)
{
    if (isTonal(i))
        mOscillators[i].mDuty = duty;
}

void Voice::SetOscLevel(int i, double level)
{
    if (!isSource(i))
        return;
    mSourceLevel[i] = level;
    settingsChanged();
}

void Voice::SetOscOctave(int i, int octaves)
{
    if (!isTonal(i))
        return;
    mOctave[i] = octaves;
    settingsChanged();
}

void Voice::SetOscTranspose(int i, int semitones)
{
    if (!isTonal(i))
        return;
    mTranspose[i] = semitones;
    settingsChanged();
}

void Voice::SetOscCent(int i, int cents)
{
    if (!isTonal(i))
        return;
    mCents[i] = cents;
    settingsChanged();
}

void Voice::SetOscEnvDepth(int i, double depth)
{
    if (isSource(i))
        mEnvDepth[i] = depth;
}

void Voice::SetOscPhase(int i, double phase)
{
    if (isTonal(i))
        mPhase[i] = phase;
}

void Voice::settingsChanged()
{
    mCache.noiseSilent =
        mSourceLevel[kWhiteNoiseSource] == 0.0 && mSourceLevel[kPinkNoiseSource] == 0.0;
    mCache.frequencyDirty = true;
    mCache.cutoffs = kCutoffsStale;
}

void Voice::NoteOn(int noteNumber, int velocity)
{
    mAmpEnv.reset();
    for (int i = 0; i < kNumSources; ++i)
        mOscillators[i].setPhase(mPhase[i]);
    mNoteNumber = noteNumber;
    mVelocity = velocity;
    mVelocityGain = velocity / 127.0;
    mIsActive = true;
    mAmpEnv.enterStage(EG::kStageAttack);
    mPitchEnv.reset();
    mLowPass.reset();
    mHighPass.reset();
    mFilterEnv.reset();
    mFilterEnv.StartEnvelope();
    settingsChanged();
}

void Voice::NoteOff(int, int)
{
    mAmpEnv.enterStage(EG::kStageRelease);
    mFilterEnv.EndEnvelope();
}

void Voice::setSampleRate(double rate)
{
    mSampleRate = rate;
    for (Oscilator& osc : mOscillators)
        osc.setSampleRate(qxDSP::heldToInt(rate));
    mAmpEnv.setSampleRate(rate);
    mFilterEnv.setSampleRate(rate);
    mPitchEnv.setSampleRate(rate);
    mLowPass.setSampleRate(rate);
    mHighPass.setSampleRate(rate);
    settingsChanged();
    mLowPass.reset();
    mHighPass.reset();
}

void Voice::updateBaseFrequencies()
{
    for (int i = 0; i < kNumTonalSources; ++i)
    {
        const int note = mNoteNumber + mTranspose[i] + 12 * mOctave[i];
        mBaseFreq[i] = qxDSP::CentsToHerz(qxDSP::MIDItoHz(note), mCents[i]);
    }
    mCache.frequencyDirty = false;
}

// The cutoffs are a function of the settings and the envelope's value: with
// the settings unchanged and the value the same to the bit, or not used, they
// are what the filters already have.
bool Voice::cutoffsMove(double env) const
{
    if (mCache.cutoffs == kCutoffsFixed)
        return false;
    return mCache.cutoffs == kCutoffsStale || std::memcmp(&env, &mCache.heldEnv, sizeof env) != 0;
}

double Voice::lowPassCutoff(double env) const
{
    using qxDSP::lerp;
    if (mLPDepth > 0.0)
        return lerp(mLPCutoff, lerp(mLPCutoff, kOpenCutoff, env), mLPDepth);
    if (mLPDepth < 0.0)
        return lerp(mLPCutoff, lerp(kOpenCutoff, mLPCutoff, env), -mLPDepth);
    return mLPCutoff;
}

double Voice::highPassCutoff(double env) const
{
    using qxDSP::lerp;
    if (mHPDepth > 0.0)
        return lerp(mHPCutoff, lerp(mHPCutoff, 0.0, env), mHPDepth);
    if (mHPDepth < 0.0)
        return lerp(mHPCutoff, lerp(0.0, mHPCutoff, env), -mHPDepth);
    return mHPCutoff;
}

double Voice::nextSample()
{
    if (!mIsActive)
        return 0.0;
    return lowPassStage(highPassStage(mixSources()));
}

// The filters flush their outputs already.
double Voice::highPassStage(double mix)
{
    return mHighPass.getSample(mix);
}

double Voice::lowPassStage(double x)
{
    return mLowPass.getSample(x);
}

bool Voice::cutoffsHeld() const
{
    if (mCache.cutoffs != kCutoffsAtHeldEnv)
        return mCache.cutoffs == kCutoffsFixed;
    const double env = mFilterEnv.getLevel();
    return !mFilterEnv.isMoving() && std::memcmp(&env, &mCache.heldEnv, sizeof env) == 0;
}

bool Voice::sourcesArePlain() const
{
    if (!mCache.noiseSilent)
        return false;
    for (int i = 0; i < kNumTonalSources; ++i)
    {
        const Oscilator& osc = mOscillators[i];
        if (osc.mType != Oscilator::kOscOff && mSourceLevel[i] != 0.0 && !osc.isPlain())
            return false;
    }
    return true;
}

// The one tonal slot that sounds, with the others off, or -1.
int Voice::onlySoundingSlot() const
{
    int slot = -1;
    for (int i = 0; i < kNumTonalSources; ++i)
    {
        if (mOscillators[i].mType == Oscilator::kOscOff)
            continue;
        if (slot >= 0 || mSourceLevel[i] == 0.0)
            return -1;
        slot = i;
    }
    return slot;
}

bool Voice::isSteadyFor(int n) const
{
    const uint64_t samples = static_cast<uint64_t>(n);
    return mIsActive && !mCache.frequencyDirty && !mAmpEnv.changesWithin(samples) &&
           !mFilterEnv.changesWithin(samples) && cutoffsHeld() && mPitchEnv.isSettled();
}

double Voice::mixSources()
{
    if (mCache.frequencyDirty)
        updateBaseFrequencies();

    mPitchEnv.step(mCurveMemo);
    // The amplitude envelope may free the voice here; the sample still completes.
    const double amp = mAmpEnv.nextSample();
    const double env = mFilterEnv.nextSample();
    if (cutoffsMove(env))
    {
        mLowPass.setFrequency(lowPassCutoff(env));
        mHighPass.setFrequency(highPassCutoff(env));
        mCache.cutoffs = mLPDepth != 0.0 || mHPDepth != 0.0 ? kCutoffsAtHeldEnv : kCutoffsFixed;
        mCache.heldEnv = env;
    }
    return mixAt<false>(amp);
}
