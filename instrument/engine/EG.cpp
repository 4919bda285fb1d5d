#include "EG.h"

#include "PortableMath.h"

#include <algorithm>
#include <cmath>

void EG::reset()
{
    mStage = kStageOff;
    mLevel = mMinimumLevel;
    mMultiplier = 1.0;
    mSampleIndex = 0;
    mStageEndIndex = 0;
}

// Negative or NaN times count as no time at all.
uint64_t EG::samplesFor(double seconds) const
{
    const double samples = seconds * mSampleRate;
    return samples > 0.0 ? static_cast<uint64_t>(samples) : 0;
}

double EG::decayTarget() const
{
    return std::max(mStageValue[kStageSustain], mMinimumLevel);
}

double EG::targetLevel(EGStages stage) const
{
    switch (stage)
    {
    case kStageDecay:
        return decayTarget();
    case kStageRelease:
        return mMinimumLevel;
    default:
        return 1.0;
    }
}

void EG::calcultateMultiplier(double startLevel, double endLevel, uint64_t lengthInSamples)
{
    if (lengthInSamples == 0)
    {
        // An empty segment reaches its target in the one step that may remain.
        mMultiplier = startLevel > 0.0 ? endLevel / startLevel : 1.0;
        return;
    }
    mMultiplier =
        1.0 + (bf_log(endLevel) - bf_log(startLevel)) / static_cast<double>(lengthInSamples);
}

void EG::enterStage(EGStages stage)
{
    if (stage == mStage)
        return;
    if (mStage == kStageOff)
        mCycleStarted(this);
    if (stage == kStageOff)
    {
        mCycleFinished(this);
        mStage = kStageOff;
        mSampleIndex = 0;
        mStageEndIndex = 0;
        return;
    }
    mStage = stage;
    mSampleIndex = 0;
    mStageEndIndex = stage == kStageSustain ? 0 : samplesFor(mStageValue[stage]);
    switch (stage)
    {
    case kStageAttack:
        mLevel = mMinimumLevel;
        calcultateMultiplier(mMinimumLevel, 1.0, mStageEndIndex);
        break;
    case kStageHold:
        mLevel = 1.0;
        calcultateMultiplier(1.0, 1.0, mStageEndIndex);
        break;
    case kStageDecay:
        mLevel = 1.0;
        calcultateMultiplier(1.0, decayTarget(), mStageEndIndex);
        break;
    case kStageSustain:
        mLevel = mStageValue[kStageSustain];
        mMultiplier = 1.0;
        break;
    default: // release starts from wherever the level is
        calcultateMultiplier(mLevel, mMinimumLevel, mStageEndIndex);
        break;
    }
}

double EG::nextSample()
{
    if (isTimed(mStage))
    {
        // A stage shorter than one sample is left at once instead of never.
        while (isTimed(mStage) && mSampleIndex == mStageEndIndex)
            enterStage(static_cast<EGStages>((mStage + 1) % kNumStages));
        mLevel = step(mLevel, mMultiplier);
        ++mSampleIndex;
    }
    return mLevel;
}

void EG::setStageValue(EGStages stage, double value)
{
    mStageValue[stage] = value;
    if (stage == mStage)
    {
        if (isTimed(stage))
        {
            // A stage that has not run a sample has made no progress.
            const double done = mStageEndIndex == 0 ? 0.0
                                                    : static_cast<double>(mSampleIndex) /
                                                          static_cast<double>(mStageEndIndex);
            const uint64_t left = samplesFor((1.0 - done) * value);
            mStageEndIndex = mSampleIndex + left;
            calcultateMultiplier(mLevel, targetLevel(stage), left);
        }
        else if (stage == kStageSustain)
        {
            mLevel = value;
        }
    }
    if (mStage == kStageDecay && stage == kStageSustain)
        calcultateMultiplier(mLevel, decayTarget(), mStageEndIndex - mSampleIndex);
}
