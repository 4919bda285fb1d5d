#include "EG.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

struct CycleCounter
{
    int started = 0;
    int finished = 0;
    void onStarted(EG*) { ++started; }
    void onFinished(EG*) { ++finished; }
};

class EGTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.setSampleRate(44100.0);
        env.mCycleStarted.Connect(&cycles, &CycleCounter::onStarted);
        env.mCycleFinished.Connect(&cycles, &CycleCounter::onFinished);
    }

    double run(int samples)
    {
        double level = 0.0;
        for (int i = 0; i < samples; ++i)
            level = env.nextSample();
        return level;
    }

    EG env;
    CycleCounter cycles;
};

} // namespace

TEST_F(EGTest, AttackRisesExponentiallyAndHoldTakesOver)
{
    env.SetAttack(0.01); // 441 samples
    env.StartEnvelope();
    const double m = 1.0 + std::log(1e7) / 441.0;
    EXPECT_DOUBLE_EQ(env.nextSample(), 1e-07 * m);
    EXPECT_NEAR(run(440), 0.7500885, 1e-7);
    EXPECT_EQ(env.getStage(), EG::kStageAttack);
    EXPECT_EQ(env.nextSample(), 1.0);
    EXPECT_EQ(env.getStage(), EG::kStageHold);
    EXPECT_EQ(cycles.started, 1);
}

TEST_F(EGTest, StagesRunThroughDecayToSustain)
{
    env.SetAttack(0.001);
    env.SetHold(0.001);
    env.SetDecay(0.01);
    env.SetSustain(0.25);
    env.StartEnvelope();
    run(44 + 44 + 1);
    EXPECT_EQ(env.getStage(), EG::kStageDecay);
    const double decayEnd = run(440);
    EXPECT_LT(decayEnd, 0.3); // first-order multiplier lands below target
    EXPECT_EQ(env.nextSample(), 0.25);
    EXPECT_EQ(env.getStage(), EG::kStageSustain);
    EXPECT_EQ(run(1000), 0.25);
}

TEST_F(EGTest, FullSustainMakesDecayFlat)
{
    env.SetSustain(1.0);
    env.StartEnvelope();
    run(44 + 44 + 1);
    ASSERT_EQ(env.getStage(), EG::kStageDecay);
    for (int i = 0; i < 44; ++i)
        ASSERT_EQ(env.nextSample(), 1.0);
}

TEST_F(EGTest, SustainChangedDuringDecayIsReachedByTheUnchangedEnd)
{
    env.SetDecay(0.01);
    env.SetSustain(0.1);
    env.StartEnvelope();
    run(44 + 44 + 100); // 100 samples into the decay
    ASSERT_EQ(env.getStage(), EG::kStageDecay);
    const double levelNow = env.getLevel();
    env.SetSustain(0.5);
    const double expectedMultiplier = 1.0 + (std::log(0.5) - std::log(levelNow)) / 341.0;
    EXPECT_DOUBLE_EQ(env.nextSample(), levelNow * expectedMultiplier);
    run(340);
    EXPECT_EQ(env.getStage(), EG::kStageDecay);
    EXPECT_EQ(env.nextSample(), 0.5);
    EXPECT_EQ(env.getStage(), EG::kStageSustain);
}

TEST_F(EGTest, NoteOffDuringAttackReleasesFromTheLevelReached)
{
    env.SetAttack(0.01);
    env.SetRelease(0.01);
    env.StartEnvelope();
    const double reached = run(200);
    env.EndEnvelope();
    const double m = 1.0 + (std::log(1e-07) - std::log(reached)) / 441.0;
    EXPECT_DOUBLE_EQ(env.nextSample(), reached * m);
    EXPECT_LT(reached, 0.01);
}

TEST_F(EGTest, ReleaseEndingInsideNextSampleFinishesTheCycleOnce)
{
    env.SetRelease(0.001); // 44 samples
    env.StartEnvelope();
    run(10);
    env.EndEnvelope();
    run(44);
    EXPECT_EQ(env.getStage(), EG::kStageRelease);
    EXPECT_EQ(cycles.finished, 0);
    const double before = env.getLevel();
    const double last = env.nextSample();
    EXPECT_EQ(env.getStage(), EG::kStageOff);
    EXPECT_EQ(cycles.finished, 1);
    EXPECT_LT(last, before); // still multiplied by the release factor
    EXPECT_EQ(run(100), last);
    EXPECT_EQ(cycles.finished, 1);
}

TEST_F(EGTest, EnteringTheCurrentStageChangesNothing)
{
    env.StartEnvelope();
    run(5);
    const double level = env.getLevel();
    env.enterStage(EG::kStageAttack);
    EXPECT_EQ(env.getLevel(), level);
    EXPECT_EQ(cycles.started, 1);
    env.reset();
    env.enterStage(EG::kStageOff);
    EXPECT_EQ(cycles.finished, 0);
    EXPECT_EQ(env.getLevel(), 1e-07);
}

TEST_F(EGTest, ReleaseFromOffStartsACycleFromTheCurrentLevel)
{
    env.EndEnvelope();
    EXPECT_EQ(cycles.started, 1);
    EXPECT_EQ(env.getStage(), EG::kStageRelease);
}

TEST_F(EGTest, LongerTimeForARunningStageKeepsItsProgress)
{
    env.SetAttack(0.01); // 441 samples
    env.StartEnvelope();
    run(147); // a third of the way
    env.SetAttack(0.03);
    const double left = std::floor((1.0 - 147.0 / 441.0) * 0.03 * 44100.0);
    run(static_cast<int>(left));
    EXPECT_EQ(env.getStage(), EG::kStageAttack);
    EXPECT_EQ(env.nextSample(), 1.0);
    EXPECT_EQ(env.getStage(), EG::kStageHold);
}

TEST_F(EGTest, StagesShorterThanOneSampleAreLeftAtOnce)
{
    env.setSampleRate(100.0); // every 0.001 s stage rounds to 0 samples
    env.SetAttack(0.001);
    env.SetHold(0.001);
    env.SetDecay(0.001);
    env.SetSustain(0.5);
    env.SetRelease(0.001);
    env.StartEnvelope();
    EXPECT_EQ(env.nextSample(), 0.5);
    EXPECT_EQ(env.getStage(), EG::kStageSustain);
    env.EndEnvelope();
    const double after = env.nextSample();
    EXPECT_TRUE(std::isfinite(after));
    EXPECT_EQ(env.getStage(), EG::kStageOff);
    EXPECT_EQ(cycles.finished, 1);
    EXPECT_NEAR(after, 1e-07, 1e-20);
}

TEST_F(EGTest, NewTimeForAStageThatHasNotRunAppliesInFull)
{
    env.setSampleRate(100.0);
    env.SetRelease(0.001);
    env.StartEnvelope();
    env.EndEnvelope(); // a release of 0 samples, not yet run
    env.SetRelease(0.5);
    for (int i = 0; i < 50; ++i)
    {
        const double level = env.nextSample();
        ASSERT_TRUE(std::isfinite(level));
        ASSERT_EQ(env.getStage(), EG::kStageRelease) << i;
    }
    env.nextSample();
    EXPECT_EQ(env.getStage(), EG::kStageOff);
}

// A frame loop steps the level in locals while no stage ends; every stage must
// still end on the sample it would have ended on, one nextSample at a time.
TEST_F(EGTest, RunsBetweenStageEndsMatchSingleSteps)
{
    EG reference;
    for (EG* e : {&env, &reference})
    {
        e->setSampleRate(44100.0);
        e->SetAttack(143.5 / 44100.0); // 143 samples: a frame ends it on its last sample
        e->SetDecay(0.004);
        e->SetSustain(0.5);
        e->SetRelease(0.002);
        e->StartEnvelope();
    }
    const int kFrame = 16;
    for (int frame = 0; frame < 60; ++frame)
    {
        if (frame == 30)
        {
            env.EndEnvelope();
            reference.EndEnvelope();
        }
        if (env.changesWithin(kFrame))
        {
            run(kFrame);
        }
        else
        {
            EG::Run levels = env.run();
            for (int k = 0; k < kFrame; ++k)
                levels.next();
            env.endRun(levels, kFrame);
        }
        for (int k = 0; k < kFrame; ++k)
            reference.nextSample();
        ASSERT_EQ(env.getLevel(), reference.getLevel()) << "frame " << frame;
        ASSERT_EQ(env.getStage(), reference.getStage()) << "frame " << frame;
    }
    EXPECT_EQ(env.getStage(), EG::kStageOff);
}
