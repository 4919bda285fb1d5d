#include "StateVariableFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace
{

const double kRate = 44100.0;
const double kTwoPi = 6.283185307179586;

StateVariableFilter makeFilter(int mode, double cutoff, double q)
{
    StateVariableFilter filter;
    filter.setSampleRate(kRate);
    filter.setMode(mode);
    filter.setGain(q);
    filter.setFrequency(cutoff);
    return filter;
}

// Steady-state gain for a sine at the given frequency.
double gainAt(StateVariableFilter filter, double frequency)
{
    filter.reset();
    const int settle = 20000, measure = 4000;
    double peak = 0.0;
    for (int n = 0; n < settle + measure; ++n)
    {
        const double y = filter.getSample(std::sin(kTwoPi * frequency * n / kRate));
        if (n >= settle)
            peak = std::max(peak, std::fabs(y));
    }
    return peak;
}

} // namespace

TEST(StateVariableFilter, UnitySumModeReturnsItsInput)
{
    std::srand(3);
    for (double cutoff : {0.0, 50.0, 1000.0, 15000.0, 30000.0})
    {
        for (double q : {0.2, 0.7071067811865475, 6.0, 100.0})
        {
            StateVariableFilter filter = makeFilter(0, cutoff, q);
            for (int i = 0; i < 500; ++i)
            {
                const double x = std::rand() / double(RAND_MAX) - 0.5;
                ASSERT_NEAR(filter.getSample(x), x, 1e-9) << cutoff << " " << q;
            }
        }
    }
}

TEST(StateVariableFilter, ButterworthQIsMaximallyFlat)
{
    const double cutoff = 2000.0;
    StateVariableFilter lowPass = makeFilter(1, cutoff, 0.7071067811865475);
    EXPECT_NEAR(20.0 * std::log10(gainAt(lowPass, cutoff)), -3.0103, 0.02);
    for (double f = 50.0; f < cutoff; f *= 1.25)
        EXPECT_LE(gainAt(lowPass, f), 1.0 + 1e-3) << f;
    EXPECT_NEAR(gainAt(lowPass, 50.0), 1.0, 1e-3);
    EXPECT_LT(gainAt(lowPass, 4 * cutoff), 0.07); // about -24 dB two octaves up
}

TEST(StateVariableFilter, HighQPeaksAtTheCutoff)
{
    const double cutoff = 1500.0;
    StateVariableFilter lowPass = makeFilter(1, cutoff, 6.0);
    double bestGain = 0.0, bestFrequency = 0.0;
    for (double f = 1000.0; f < 2200.0; f += 10.0)
    {
        const double g = gainAt(lowPass, f);
        if (g > bestGain)
            bestGain = g, bestFrequency = f;
    }
    EXPECT_NEAR(bestFrequency, cutoff, 0.02 * cutoff);
    EXPECT_NEAR(bestGain, 6.0, 0.2);
}

TEST(StateVariableFilter, HighPassAndBandPassShapes)
{
    StateVariableFilter highPass = makeFilter(2, 1000.0, 0.7071067811865475);
    EXPECT_LT(gainAt(highPass, 100.0), 0.02);
    EXPECT_NEAR(gainAt(highPass, 10000.0), 1.0, 0.02);
    StateVariableFilter bandPass = makeFilter(3, 1000.0, 0.7071067811865475);
    EXPECT_LT(gainAt(bandPass, 100.0), 0.2);
    EXPECT_LT(gainAt(bandPass, 10000.0), 0.2);
    EXPECT_GT(gainAt(bandPass, 1000.0), 0.69);
}

TEST(StateVariableFilter, ZeroCutoffBlocksLowPassAndPassesHighPass)
{
    StateVariableFilter lowPass = makeFilter(1, 0.0, 0.7071067811865475);
    StateVariableFilter highPass = makeFilter(2, 0.0, 0.7071067811865475);
    for (int i = 0; i < 100; ++i)
    {
        const double x = std::sin(i * 0.3);
        ASSERT_EQ(lowPass.getSample(x), 0.0);
        ASSERT_NEAR(highPass.getSample(x), x, 1e-15);
    }
}

TEST(StateVariableFilter, OutOfRangeSettingsStayFinite)
{
    for (double q : {-5.0, 0.0, 200.0})
    {
        for (double cutoff : {-100.0, 22050.0, 1e9})
        {
            StateVariableFilter filter = makeFilter(1, cutoff, q);
            for (int i = 0; i < 2000; ++i)
                ASSERT_TRUE(std::isfinite(filter.getSample(std::sin(i * 0.1))))
                    << q << " " << cutoff;
        }
    }
    // Q is held at 100: 200 behaves as 100.
    EXPECT_EQ(gainAt(makeFilter(1, 1000.0, 200.0), 1000.0),
              gainAt(makeFilter(1, 1000.0, 100.0), 1000.0));
    // A negative Q gives the heaviest damping, not a resonance.
    EXPECT_LT(gainAt(makeFilter(3, 1000.0, -1.0), 1000.0), 0.01);
}

TEST(StateVariableFilter, UnknownModesKeepTheMix)
{
    StateVariableFilter filter = makeFilter(2, 1000.0, 0.7071067811865475);
    filter.setMode(42);
    filter.setMode(-1);
    EXPECT_LT(gainAt(filter, 100.0), 0.02); // still high-pass
}

TEST(StateVariableFilter, SampleRateChangeReclampsTheCutoff)
{
    StateVariableFilter a = makeFilter(1, 20000.0, 0.7071067811865475);
    a.setSampleRate(22050.0); // cutoff now held at 11025
    StateVariableFilter b;
    b.setSampleRate(22050.0);
    b.setMode(1);
    b.setFrequency(11025.0);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(a.getSample(std::sin(i * 0.7)), b.getSample(std::sin(i * 0.7)));
}
