#pragma once

#include "RelaySignal.h"

#include <cstdint>

// Attack-hold-decay-sustain-release envelope with exponential segments: each
// timed segment multiplies the level by a constant factor every sample.
class EG
{
public:
    enum EGStages : int
    {
        kStageOff = 0,
        kStageAttack,
        kStageHold,
        kStageDecay,
        kStageSustain,
        kStageRelease,
        kNumStages
    };

    virtual ~EG() = default;

    void setSampleRate(double rate) { mSampleRate = rate; }
    void SetAttack(double seconds) { setStageValue(kStageAttack, seconds); }
    void SetHold(double seconds) { setStageValue(kStageHold, seconds); }
    void SetDecay(double seconds) { setStageValue(kStageDecay, seconds); }
    void SetSustain(double level) { setStageValue(kStageSustain, level); }
    void SetRelease(double seconds) { setStageValue(kStageRelease, seconds); }

    void setStageValue(EGStages stage, double value);
    void enterStage(EGStages stage);
    void StartEnvelope() { enterStage(kStageAttack); }
    void EndEnvelope() { enterStage(kStageRelease); }
    void reset();
    double nextSample();
    // Whether the stage ends within n samples.
    bool changesWithin(uint64_t n) const
    {
        return isTimed(mStage) && mStageEndIndex - mSampleIndex < n;
    }
    bool isMoving() const { return isTimed(mStage); }
    // One sample of a timed segment: the level times the segment's factor.
    // nextSample and a Run both step through here.
    static double step(double level, double multiplier) { return level * multiplier; }
    // The level over samples in which no stage ends, as nextSample moves it,
    // held in locals by a loop over a frame; endRun takes it back.
    struct Run
    {
        double level;
        double multiplier;
        bool moving;
        double next()
        {
            if (moving)
                level = step(level, multiplier);
            return level;
        }
    };
    Run run() const { return {mLevel, mMultiplier, isTimed(mStage)}; }
    void endRun(const Run& run, uint64_t samples)
    {
        mLevel = run.level;
        if (run.moving)
            mSampleIndex += samples;
    }
    void calcultateMultiplier(double startLevel, double endLevel, uint64_t lengthInSamples);

    EGStages getStage() const { return mStage; }
    double getLevel() const { return mLevel; }

    Relay::Signal1<EG*> mCycleStarted;
    Relay::Signal1<EG*> mCycleFinished;

private:
    static bool isTimed(EGStages stage) { return stage != kStageOff && stage != kStageSustain; }
    uint64_t samplesFor(double seconds) const;
    double targetLevel(EGStages stage) const;
    double decayTarget() const;

    EGStages mStage = kStageOff;
    double mLevel = 1e-07;
    double mMultiplier = 1.0;
    double mSampleRate = 44100.0;
    uint64_t mSampleIndex = 0;
    uint64_t mStageEndIndex = 0;
    double mStageValue[kNumStages] = {0.0, 0.001, 0.001, 0.001, 1.0, 0.2};
    static constexpr double mMinimumLevel = 1e-07; // -140 dB, the floor of every segment
};
