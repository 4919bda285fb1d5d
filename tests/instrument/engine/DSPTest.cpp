#include "Noise.h"
#include "denormal.h"
#include "qxDSP.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace
{

double flushed(double value)
{
    denormal_fix_double_aggressive(&value);
    return value;
}

double lagOneCorrelation(const std::vector<double>& x)
{
    double mean = 0.0;
    for (double v : x)
        mean += v;
    mean /= static_cast<double>(x.size());
    double num = 0.0, den = 0.0;
    for (size_t i = 0; i < x.size(); ++i)
    {
        den += (x[i] - mean) * (x[i] - mean);
        if (i > 0)
            num += (x[i] - mean) * (x[i - 1] - mean);
    }
    return num / den;
}

} // namespace

TEST(Tuning, MIDItoHzFollowsTheApproximatePowerToTheLastBit)
{
    EXPECT_EQ(qxDSP::MIDItoHz(12), 13.176554441452026);
    EXPECT_EQ(qxDSP::MIDItoHz(57), 207.2434425354004);
    EXPECT_EQ(qxDSP::MIDItoHz(60), 252.67597198486328);
    EXPECT_EQ(qxDSP::MIDItoHz(69), 427.2434425354004);
    EXPECT_EQ(qxDSP::MIDItoHz(81), 880.0);
    EXPECT_EQ(qxDSP::MIDItoHz(96), 2327.565155029297);
    EXPECT_EQ(qxDSP::MIDItoHz(127), 14862.930908203125);
}

TEST(Tuning, CentsToHerzFactorsAndFastPowAtZero)
{
    EXPECT_EQ(qxDSP::fastPow(2.0, 0.0), 0.9710078239440918);
    EXPECT_EQ(qxDSP::CentsToHerz(1.0, 0.0), 0.9710078239440918);
    EXPECT_EQ(qxDSP::CentsToHerz(1.0, 100.0), 1.0301809310913086);
    EXPECT_EQ(qxDSP::CentsToHerz(1.0, -100.0), 0.9269247055053711);
    EXPECT_EQ(qxDSP::CentsToHerz(440.0, 0.0), 440.0 * 0.9710078239440918);
}

TEST(Tuning, FastPowOutsideTheWordGivesTheSameAnswerEverywhere)
{
    // Exponents far beyond any pitch the instrument reaches must not be undefined.
    EXPECT_EQ(qxDSP::fastPow(2.0, 1e12), -0.0);
    EXPECT_EQ(qxDSP::fastPow(2.0, std::nan("")), -0.0);
    EXPECT_TRUE(std::isfinite(qxDSP::fastPow(-2.0, 3.0)));
}

TEST(Helpers, ClampTestsTheLowerBoundFirst)
{
    EXPECT_EQ(qxDSP::clamp(5.0, 0.0, 1.0), 1.0);
    EXPECT_EQ(qxDSP::clamp(-5.0, 0.0, 1.0), 0.0);
    EXPECT_EQ(qxDSP::clamp(0.5, 0.0, 1.0), 0.5);
    // lo above hi: below lo gives lo, everything else hi.
    EXPECT_EQ(qxDSP::clamp(0.0, 2.0, 1.0), 2.0);
    EXPECT_EQ(qxDSP::clamp(1.5, 2.0, 1.0), 2.0);
    EXPECT_EQ(qxDSP::clamp(3.0, 2.0, 1.0), 1.0);
}

TEST(Helpers, LerpDecibelsAndShape)
{
    EXPECT_EQ(qxDSP::lerp(2.0, 4.0, 0.0), 2.0);
    EXPECT_EQ(qxDSP::lerp(2.0, 4.0, 1.0), 4.0);
    EXPECT_EQ(qxDSP::lerp(2.0, 4.0, 0.25), 2.5);
    EXPECT_EQ(qxDSP::lin2dB(1.0), 0.0);
    EXPECT_EQ(qxDSP::lin2dB(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_NEAR(qxDSP::lin2dB(10.0), 19.93, 0.01);
    EXPECT_DOUBLE_EQ(qxDSP::CalcShapeValue(0.0, 10.0, 5.0), -1.0);
}

TEST(Random, SameSequenceAsTheCLibraryForEverySeed)
{
    for (unsigned seed : {0u, 1u, 7u, 12345u, 2147483647u, 2147483648u, 4294967295u})
    {
        std::srand(seed);
        RandomSource random;
        random.seed(seed);
        for (int i = 0; i < 2000; ++i)
            ASSERT_EQ(random.draw(), std::rand()) << "seed " << seed << " draw " << i;
        for (int i = 0; i < 100; ++i) // several at once, as pink noise draws them
        {
            int handed = 0;
            random.drawEach(3, [&](int k, int value) {
                EXPECT_EQ(k, handed++);
                EXPECT_EQ(value, std::rand()) << "seed " << seed << " three at once, " << i;
            });
            ASSERT_EQ(handed, 3);
        }
    }
}

TEST(Helpers, Rand01CoversSlightlyMoreThanTheUnitRange)
{
    RandomSource random;
    random.seed(7);
    for (int i = 0; i < 10000; ++i)
    {
        const double r = qxDSP::rand01(random);
        ASSERT_GE(r, 0.0);
        ASSERT_LE(r, 1.0000000004656613);
    }
}

TEST(Denormal, FlushesTinyInfiniteAndNaNValues)
{
    EXPECT_EQ(flushed(1e-16), 1e-16);
    EXPECT_EQ(flushed(-1e-16), -1e-16);
    EXPECT_EQ(flushed(1e-17), 0.0);
    EXPECT_EQ(flushed(-1e-17), 0.0);
    EXPECT_EQ(flushed(std::ldexp(1.0, -54)), std::ldexp(1.0, -54));
    EXPECT_EQ(flushed(std::nextafter(std::ldexp(1.0, -54), 0.0)), 0.0);
    EXPECT_EQ(flushed(std::numeric_limits<double>::denorm_min()), 0.0);
    EXPECT_EQ(flushed(std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(flushed(-std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(flushed(std::nan("")), 0.0);
    EXPECT_EQ(flushed(0.5), 0.5);
    EXPECT_EQ(flushed(std::numeric_limits<double>::max()), std::numeric_limits<double>::max());
}

TEST(Smoothing, ParamSmootherApproachesItsInput)
{
    CParamSmooth smooth;
    EXPECT_NEAR(smooth(1.0), 0.01, 1e-15);
    EXPECT_NEAR(smooth(1.0), 0.0199, 1e-15);
    EXPECT_NEAR(smooth(1.0), 0.029701, 1e-15);
    for (int i = 3; i < 1000; ++i)
        smooth(1.0);
    EXPECT_NEAR(smooth(1.0), 1.0 - std::pow(0.99, 1001), 1e-12);
}

TEST(Noise, WhiteCoversMinusOneToOneExactly)
{
    EXPECT_EQ(WhiteNumber::fromRandom(0), -1.0);
    EXPECT_EQ(WhiteNumber::fromRandom(2147483647), 1.0);
    RandomSource random;
    WhiteNumber white(random);
    std::vector<double> samples;
    for (int i = 0; i < 20000; ++i)
    {
        samples.push_back(white.tick());
        ASSERT_GE(samples.back(), -1.0);
        ASSERT_LE(samples.back(), 1.0);
    }
    EXPECT_LT(std::fabs(lagOneCorrelation(samples)), 0.05);
}

TEST(Noise, PinkIsLowPassedAndStaysWithinItsRange)
{
    RandomSource random;
    PinkNoise pink(random);
    std::vector<double> samples;
    for (int i = 0; i < 20000; ++i)
    {
        samples.push_back(pink.tick());
        ASSERT_GT(samples.back(), -0.781);
        ASSERT_LT(samples.back(), 0.781);
    }
    // The 0.9613 pole dominates: neighbouring samples are strongly related.
    EXPECT_GT(lagOneCorrelation(samples), 0.5);

    // After clear the first output is a fresh start from zero state.
    pink.clear();
    random.seed(0);
    const float fromClear = pink.tick();
    pink.clear();
    random.seed(0);
    EXPECT_EQ(pink.tick(), fromClear);
}
