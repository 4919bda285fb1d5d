#include "Oscilator.h"
#include "PortableMath.h"
#include "qxDSP.h"
#include "qxOsc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace
{

const double kRate = 44100.0;
const double kSixtyFourthHz = kRate / 64.0; // an increment of exactly 1/64

class OscillatorTest : public ::testing::Test
{
protected:
    void SetUp() override { qxOscSettings::setup(static_cast<int>(kRate), 2, 1024); }
    void TearDown() override { qxOscSettings::setup(44100, 2, 1024); }

    std::vector<double> render(Oscilator::OscType type, double frequency, int count)
    {
        osc.mType = type;
        std::vector<double> out;
        for (int i = 0; i < count; ++i)
            out.push_back(osc.nextSample(frequency, 0.5));
        return out;
    }

    RandomSource random;
    Oscilator osc{random};
};

} // namespace

TEST_F(OscillatorTest, OffIsSilentAndFreezesBothPhases)
{
    osc.setPhase(0.3);
    for (double v : render(Oscilator::kOscOff, 1000.0, 100))
        ASSERT_EQ(v, 0.0);
    EXPECT_EQ(osc.mOscA.phase, 0.3);
    EXPECT_EQ(osc.mOscB.phase, 0.3);
    for (double v : render(static_cast<Oscilator::OscType>(42), 1000.0, 10))
        ASSERT_EQ(v, 0.0);
}

TEST_F(OscillatorTest, SineOutputPrecedesTheAdvance)
{
    const auto out = render(Oscilator::kOscSin, kSixtyFourthHz, 3);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[1], bf_sin(6.283185307179586 / 64.0));
    EXPECT_EQ(out[2], bf_sin(6.283185307179586 * 2.0 / 64.0));

    osc.setPhase(0.25);
    EXPECT_EQ(osc.nextSample(kSixtyFourthHz, 0.5), 1.0);
}

TEST_F(OscillatorTest, TriangleOutputFollowsTheAdvance)
{
    const double inc = 1.0 / (kRate / 1000.0);
    const auto out = render(Oscilator::kOscTriangle, 1000.0, 1);
    EXPECT_EQ(out[0], (inc - 0.25) * 4.0);

    Oscilator exact{random};
    exact.mType = Oscilator::kOscTriangle;
    double peak = -2.0, trough = 2.0;
    for (int i = 0; i < 128; ++i)
    {
        const double v = exact.nextSample(kSixtyFourthHz, 0.5);
        peak = std::max(peak, v);
        trough = std::min(trough, v);
    }
    EXPECT_EQ(peak, 1.0);    // phase 0.5
    EXPECT_EQ(trough, -1.0); // phase 1.0 before the wrap
}

TEST_F(OscillatorTest, SquareStartsEachCycleLowAndHoldsAtTheDutyPoint)
{
    osc.mDuty = 0.5;
    const auto out = render(Oscilator::kOscSquare, kSixtyFourthHz, 65);
    for (int i = 0; i < 32; ++i) // phases 1/64 ... 32/64; equal to the duty holds -1
        EXPECT_EQ(out[i], -1.0) << i;
    for (int i = 32; i < 64; ++i)
        EXPECT_EQ(out[i], 1.0) << i;
    EXPECT_EQ(out[64], -1.0);
}

TEST_F(OscillatorTest, SquareDutyIsLimitedToTheUnitRange)
{
    osc.mDuty = 0.0;
    for (double v : render(Oscilator::kOscSquare, 1000.0, 200))
        ASSERT_EQ(v, 1.0);

    Oscilator full{random}, over{random};
    full.mType = over.mType = Oscilator::kOscSquare;
    full.mDuty = 1.0;
    over.mDuty = 1.5;
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(over.nextSample(1000.0, 0.5), full.nextSample(1000.0, 0.5));
}

TEST_F(OscillatorTest, WaveformsStayInTheirRanges)
{
    struct Range
    {
        Oscilator::OscType type;
        double lo, hi;
    };
    const Range ranges[] = {
        {Oscilator::kOscSin, -1.0, 1.0},           {Oscilator::kOscBreaker, -1.0, 0.0},
        {Oscilator::kOscTan, -1.0, 1.0},           {Oscilator::kOscSaw, -0.7072, 0.7072},
        {Oscilator::kOscWhistle, -1.25, 1.25},     {Oscilator::kOscNoise, -1.0, 1.0},
        {Oscilator::kOscPinkNoise, -0.781, 0.781},
    };
    for (const Range& range : ranges)
    {
        for (double frequency : {13.0, 440.0, 3777.0, 19000.0})
        {
            // The breaker reads its phase before the wrap: a phase 1 + e past
            // the cycle end gives 4e + 2e^2 above 0, with e below one increment.
            const double inc = frequency / kRate;
            const double hi =
                range.type == Oscilator::kOscBreaker ? 4.0 * inc + 2.0 * inc * inc : range.hi;
            Oscilator fresh{random};
            fresh.mType = range.type;
            for (int i = 0; i < 5000; ++i)
            {
                const double v = fresh.nextSample(frequency, 0.5);
                ASSERT_GE(v, range.lo) << range.type << " at " << frequency;
                ASSERT_LE(v, hi) << range.type << " at " << frequency;
            }
        }
    }
}

TEST_F(OscillatorTest, ZeroFrequencyHoldsThePhase)
{
    for (auto type : {Oscilator::kOscSin, Oscilator::kOscTriangle, Oscilator::kOscSaw,
                      Oscilator::kOscSquare, Oscilator::kOscWhistle})
    {
        Oscilator fresh{random};
        fresh.setPhase(0.0);
        fresh.mType = type;
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(std::isfinite(fresh.nextSample(0.0, 0.5)));
        EXPECT_EQ(fresh.mOscA.phase, 0.0) << type;
    }
}

TEST_F(OscillatorTest, TransitionTableHasTheReferenceShape)
{
    const double* t = qxOsc::transition;
    const std::pair<int, double> rows[] = {
        {0, -0.500003},   {50, -0.518012},    {100, -0.566336},   {150, -0.629135},
        {200, -0.684008}, {250, -0.707106},   {300, -0.678592},   {350, -0.587404},
        {400, -0.434008}, {450, -0.230817},   {500, 2.41979e-06}, {550, 0.230822},
        {600, 0.434011},  {650, 0.587405},    {700, 0.678592},    {750, 0.707106},
        {800, 0.684009},  {850, 0.629136},    {900, 0.566337},    {950, 0.518012},
        {1000, 0.500003}, {499, -0.00470983}, {501, 0.00471481},
    };
    for (const auto& row : rows)
        EXPECT_NEAR(t[row.first], row.second, 1e-6) << row.first;
    for (int i = 0; i <= 1000; ++i)
        ASSERT_NEAR(t[1000 - i], -t[i], 6e-6) << i;
    for (int i = 250; i < 750; ++i)
        ASSERT_LT(t[i], t[i + 1]) << "the step rises monotonically between the overshoots";
    for (int i = 0; i <= 1000; ++i)
        ASSERT_LE(std::fabs(t[i]), 0.707106 + 1e-9);
}

TEST_F(OscillatorTest, SawReplacesItsJumpWithTheTransition)
{
    // At 1/64 of the rate the step spans |phase| < 0.039; beyond it the saw is
    // the plain falling ramp 0.500003 - phase.
    osc.setPhase(0.0);
    const auto out = render(Oscilator::kOscSaw, kSixtyFourthHz, 40);
    const double t = (8820.22 / kSixtyFourthHz) / 64.0; // just above 0.2, near row 700
    EXPECT_NEAR(out[0], 0.678592 - 1.0 / 64.0, 2e-4);
    EXPECT_GT(t, 0.2);
    EXPECT_DOUBLE_EQ(out[15], 0.500003 - 16.0 / 64.0);
    EXPECT_DOUBLE_EQ(out[31], 0.500003 - 32.0 / 64.0);
    // Phase 33/64 wraps to -31/64: the other side of the ramp.
    EXPECT_DOUBLE_EQ(out[32], -0.500003 + 31.0 / 64.0);
}

TEST_F(OscillatorTest, WhistleAddsAQuieterOvertoneTwentyTimesHigher)
{
    const double inc = 1.0 / (kRate / 100.0);
    const auto out = render(Oscilator::kOscWhistle, 100.0, 2);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_DOUBLE_EQ(out[1], std::sin(6.283185307179586 * inc) +
                                 0.25 * std::sin(6.283185307179586 * 20.0 * inc));
}

TEST_F(OscillatorTest, TypeChangesTakeEffectWithoutAPhaseReset)
{
    render(Oscilator::kOscSin, kSixtyFourthHz, 8); // phase now 8/64
    osc.mType = Oscilator::kOscTriangle;
    EXPECT_EQ(osc.nextSample(kSixtyFourthHz, 0.5), (9.0 / 64.0 - 0.25) * 4.0);
}

TEST_F(OscillatorTest, IncrementsOfAWholeCycleOrMoreKeepThePhaseBounded)
{
    // The whistle's overtone and extreme transpositions reach these increments.
    for (auto type : {Oscilator::kOscSin, Oscilator::kOscTriangle, Oscilator::kOscBreaker,
                      Oscilator::kOscSquare, Oscilator::kOscTan})
    {
        Oscilator fresh{random};
        fresh.mType = type;
        for (int i = 0; i < 1000; ++i)
        {
            fresh.nextSample(kRate * 2.37, 0.5);
            ASSERT_LT(fresh.mOscA.phase, 1.0 + 2.37) << type;
            ASSERT_GE(fresh.mOscA.phase, 0.0) << type;
        }
    }
    Oscilator saw{random};
    saw.mType = Oscilator::kOscSaw;
    for (int i = 0; i < 1000; ++i)
    {
        const double v = saw.nextSample(kRate * 3.7, 0.5);
        ASSERT_LT(saw.mOscA.phase, 0.5 + 3.7);
        ASSERT_TRUE(std::isfinite(v));
    }
}

TEST_F(OscillatorTest, TanIsTheLimitedTangentAtEveryPhase)
{
    // The limit decides most of the cycle; every phase must agree with the
    // tangent itself, including those just beside the quarter points.
    qxOsc osc;
    for (int i = 0; i <= 200000; ++i)
    {
        const double phase = i / 100000.0;
        for (double p : {phase, std::nextafter(phase, 0.0), std::nextafter(phase, 2.0)})
        {
            osc.phaseReset(p);
            const double t = bf_tan(3.141592653589793 * p);
            const double expected = t > 1.0 ? 1.0 : (t < -1.0 ? -1.0 : t);
            ASSERT_EQ(osc.tan(0.0), expected) << p;
        }
    }
}

// A silent source skips its samples; when it sounds again it must be where it
// would have been had it run in full, for every type, sweeping frequency included.
TEST_F(OscillatorTest, SkippedSamplesLeaveTheStateAsRunningThemDoes)
{
    for (int type = Oscilator::kOscOff; type <= Oscilator::kOscPinkNoise; ++type)
    {
        Oscilator ran{random}, skipped{random};
        for (Oscilator* osc : {&ran, &skipped})
        {
            osc->mType = static_cast<Oscilator::OscType>(type);
            osc->mDuty = 0.3;
            osc->setPhase(0.7);
        }
        auto frequencyAt = [](int i) { return 30.0 + 97.0 * i; }; // past the rate near the end
        random.seed(7);
        for (int i = 0; i < 600; ++i)
            ran.nextSample(frequencyAt(i), 0.5);
        random.seed(7);
        for (int i = 0; i < 600; ++i)
            skipped.skipSample(frequencyAt(i), 0.5);
        const uint64_t seed = 11;
        for (int i = 0; i < 50; ++i)
        {
            random.seed(static_cast<unsigned>(seed + i));
            const double expected = ran.nextSample(440.0, 0.5);
            random.seed(static_cast<unsigned>(seed + i));
            ASSERT_EQ(skipped.nextSample(440.0, 0.5), expected) << "type " << type << ", sample " << i;
        }
    }
}
