#include "PeakMeter.h"
#include "QXBitCrusher2.h"
#include "besselfilter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

void expectSignificant(double actual, double expected, int digits)
{
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 0.5 * std::pow(10.0, 1 - digits))
        << "expected " << expected;
}

} // namespace

TEST(Bessel, SixteenfoldDesignMatchesTheReferenceCoefficients)
{
    KIT_BesselFilterCoeffs design;
    design.Calc(0.5 / 16);
    const double expected[] = {0.00014185699, 5.8672595,  -15.218327, 22.776305,  -21.499841,
                               13.100272,     -5.0291876, 1.1116504,  -0.10827375};
    for (int i = 0; i < 9; ++i)
        expectSignificant(design.Coeffs()[i], expected[i], 8);
}

TEST(Bessel, StageHasUnityGainAtZeroHertz)
{
    KIT_BesselFilterCoeffs design;
    design.Calc(0.03125);
    KIT_BesselFilterStage stage;
    for (int i = 0; i < 5000; ++i)
        stage.Process(1.0, design.Coeffs());
    EXPECT_NEAR(stage.Output(), 1.0, 1e-9);
    stage.Reset();
    EXPECT_EQ(stage.Output(), 0.0);
}

TEST(Bessel, StageAttenuatesAboveTheCutoff)
{
    KIT_BesselFilterCoeffs design;
    design.Calc(0.03125);
    KIT_BesselFilterStage stage;
    double peak = 0.0;
    for (int n = 0; n < 4000; ++n)
    {
        stage.Process(n % 2 ? 1.0 : -1.0, design.Coeffs()); // half the rate
        if (n > 2000)
            peak = std::max(peak, std::fabs(stage.Output()));
    }
    EXPECT_LT(peak, 1e-5); // below -100 dB
}

TEST(BesselDeathTest, AlphaAtHalfTheRateStops)
{
    KIT_BesselFilterCoeffs design;
    EXPECT_DEATH(design.Calc(0.5), "alpha >= 1e-37 && alpha < 0.5");
    EXPECT_DEATH(design.Calc(0.0), "alpha >= 1e-37 && alpha < 0.5");
    design.Calc(0.49);
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(std::isfinite(design.Coeffs()[i]));
}

TEST(BitCrusher, HoldsEachValueForTruncatedRatioPlusOneCalls)
{
    QXBitCrusher2 crusher(11025.0, 24.0);
    crusher.Reset(44100.0);
    for (int i = 0; i < 20; ++i)
    {
        const double input = i / 1000.0;
        const double expected = std::floor((i / 5 * 5) / 1000.0 * 16777216.0 + 0.5) / 16777216.0;
        ASSERT_EQ(crusher.Process(input, 0), expected) << i;
    }
    QXBitCrusher2 same(44100.0, 24.0);
    same.Reset(44100.0);
    EXPECT_EQ(same.Process(0.25, 0), 0.25);
    EXPECT_EQ(same.Process(0.5, 0), 0.25); // every second input is held over
    EXPECT_EQ(same.Process(0.75, 0), 0.75);
}

TEST(BitCrusher, OneBitRoundsToHalves)
{
    QXBitCrusher2 crusher(1e9, 1.0); // a new value every call
    EXPECT_EQ(crusher.Process(0.3, 0), 0.5);
    EXPECT_EQ(crusher.Process(0.2, 0), 0.0);
    EXPECT_EQ(crusher.Process(-0.3, 0), -0.5);
    EXPECT_EQ(crusher.Process(0.25, 0), 0.5); // halves round upwards
}

TEST(BitCrusher, TargetRateOfZeroOrLessHoldsForASecond)
{
    for (double target : {0.0, -500.0, std::nan("")})
    {
        QXBitCrusher2 crusher(target, 8.0);
        crusher.Reset(100.0);
        EXPECT_EQ(crusher.Process(0.5, 0), 0.5);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(crusher.Process(-0.5, 0), 0.5);
        EXPECT_EQ(crusher.Process(-0.5, 0), -0.5);
    }
}

TEST(Meter, RisesBySeventyPercentAndFallsByHalfPerBlock)
{
    PeakMeter meter(0.7, 0.5);
    meter.ProcessInit();
    meter.ProcessSample(0.2, -1.0);
    meter.ProcessSample(-0.4, 0.1);
    meter.PostProcess();
    EXPECT_DOUBLE_EQ(meter.GetValueL(), 0.4 * 0.7);
    EXPECT_DOUBLE_EQ(meter.GetValueR(), 0.7);
    for (double expected : {0.35, 0.175})
    {
        meter.ProcessInit(); // an empty block
        meter.PostProcess();
        EXPECT_DOUBLE_EQ(meter.GetValueR(), expected);
    }
}
