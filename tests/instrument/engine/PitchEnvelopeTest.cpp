#include "PitchEnvelope.h"
#include "qxDSP.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

double stepTo(PitchEnvelope& env, int step, int& done)
{
    for (; done < step; ++done)
        env.step();
    return env.getValue();
}

} // namespace

TEST(PitchEnvelope, SweepsFromLowThroughOwnToHigh)
{
    PitchEnvelope env;
    env.mStart = -1.0;
    env.mEnd = 1.0;
    env.reset();
    int done = 0;
    EXPECT_EQ(stepTo(env, 1, done), -1.0);
    EXPECT_EQ(env.nextSample(440.0), qxDSP::MIDItoHz(12));
    EXPECT_EQ(stepTo(env, 22051, done), 0.0);
    EXPECT_EQ(env.nextSample(440.0), 440.0);
    EXPECT_EQ(stepTo(env, 44101, done), 1.0);
    EXPECT_EQ(env.nextSample(440.0), 2327.565155029297);
    EXPECT_EQ(stepTo(env, 50000, done), 1.0);
}

TEST(PitchEnvelope, ZeroSweepLeavesFrequenciesAlone)
{
    PitchEnvelope env;
    env.mStart = 0.0;
    env.mEnd = 0.0;
    env.reset();
    for (int i = 0; i < 1000; ++i)
    {
        env.step();
        ASSERT_EQ(env.nextSample(123.456), 123.456);
    }
}

TEST(PitchEnvelope, HalfwayIsHalfwayInHertz)
{
    PitchEnvelope env;
    env.mStart = 0.5;
    env.mEnd = 0.5;
    env.reset();
    env.step();
    EXPECT_DOUBLE_EQ(env.nextSample(300.0), (300.0 + 2327.565155029297) / 2.0);
    env.setHighNote(81); // moves the target at once
    EXPECT_DOUBLE_EQ(env.nextSample(300.0), (300.0 + 880.0) / 2.0);
}

TEST(PitchEnvelope, SteepCurveStaysNearItsStart)
{
    PitchEnvelope env;
    env.mSlope = 8.0;
    env.setSampleRate(1000.0);
    env.reset();
    int done = 0;
    EXPECT_DOUBLE_EQ(stepTo(env, 501, done), 1.0 / 256.0);
}

TEST(PitchEnvelope, DurationAppliesAtTheNextReset)
{
    PitchEnvelope env;
    env.setSampleRate(100.0);
    env.reset();
    env.mDuration = 0.1;
    int done = 0;
    EXPECT_DOUBLE_EQ(stepTo(env, 51, done), 0.5); // still the 1 s sweep
    env.reset();
    done = 0;
    EXPECT_EQ(stepTo(env, 11, done), 1.0);
}

TEST(PitchEnvelope, SweepShorterThanASampleIsCompleteAtOnce)
{
    PitchEnvelope env;
    env.mDuration = 0.001;
    env.mStart = -1.0;
    env.mEnd = 0.25;
    env.setSampleRate(100.0);
    env.reset();
    env.step();
    EXPECT_EQ(env.getValue(), 0.25);
}

TEST(PitchEnvelope, SharedCurveMemoNeverMixesUpCurves)
{
    PitchEnvelope::CurveMemo memo;
    PitchEnvelope together[2], steeper, alone;
    for (PitchEnvelope* env : {&together[0], &together[1], &steeper, &alone})
    {
        env->mStart = -1.0;
        env->mEnd = 1.0;
        env->mSlope = 3.0;
        env->setSampleRate(1000.0);
        env->reset();
    }
    steeper.mSlope = 5.0;
    for (int i = 0; i < 1200; ++i)
    {
        together[0].step(&memo);
        steeper.step(&memo);
        together[1].step(&memo);
        alone.step();
        ASSERT_EQ(together[0].getValue(), alone.getValue()) << i;
        ASSERT_EQ(together[1].getValue(), alone.getValue()) << i;
        if (i > 0 && i < 1000)
        {
            ASSERT_LT(steeper.getValue(), alone.getValue()) << i;
        }
    }
}

// A frame loop stops stepping once the value can no longer change, so settled
// must never be claimed while a step would still move it, settings included.
TEST(PitchEnvelope, SettlesOnlyWhenAStepWouldChangeNothing)
{
    PitchEnvelope env;
    env.setSampleRate(1000.0);
    env.mStart = 1.0;
    env.mEnd = -0.5;
    env.mSlope = 2.0;
    env.mDuration = 0.1;
    env.reset();
    auto stepKeepsASettledValue = [&env](int i)
    {
        const bool settled = env.isSettled();
        const double before = env.getValue();
        env.step();
        const double after = env.getValue();
        if (settled)
        {
            EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << i;
        }
    };
    for (int i = 0; i < 150; ++i)
        stepKeepsASettledValue(i);
    EXPECT_TRUE(env.isSettled());
    env.mEnd = 0.25; // moved after the sweep: the next step takes the new end
    EXPECT_FALSE(env.isSettled());
    stepKeepsASettledValue(150);
    EXPECT_TRUE(env.isSettled());
    env.mStart = 0.0;
    env.mEnd = 0.0; // no sweep: the next step takes the value to 0
    EXPECT_FALSE(env.isSettled());
    stepKeepsASettledValue(151);
    EXPECT_TRUE(env.isSettled());
}
