#include "IParam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

TEST(IParam, BoolIsAnEnumOfOffAndOn)
{
    IParam p;
    p.InitBool("Mute", true);
    EXPECT_EQ(p.Type(), IParam::kTypeBool);
    EXPECT_EQ(p.Value(), 1.0);
    EXPECT_EQ(p.GetMin(), 0.0);
    EXPECT_EQ(p.GetMax(), 1.0);
    EXPECT_EQ(p.GetStep(), 1.0);
    EXPECT_STREQ(p.GetDisplayText(1), "on");
    EXPECT_STREQ(p.GetDisplayText(0), "off");
    EXPECT_STREQ(p.GetLabelForHost(), "");
    char text[IParam::kDisplaySize];
    p.GetDisplayForHost(text);
    EXPECT_STREQ(text, "on");
    p.GetDisplayForHostNoDisplayText(text);
    EXPECT_STREQ(text, "1");
}

TEST(IParam, RangeIsWidenedToOneStepAndPrecisionFollowsTheStep)
{
    IParam empty;
    empty.InitDouble("Zero", 0.0, 0.0, 0.0, 1.0);
    EXPECT_EQ(empty.GetMax(), 1.0);
    EXPECT_EQ(empty.GetNormalized(0.0), 0.0);

    const std::pair<double, int> steps[] = {{0.5, 1}, {0.01, 2}, {0.001, 3}, {1.0, 0}, {1e-9, 6}};
    for (const auto& step : steps)
    {
        IParam p;
        p.InitDouble("x", 0.5, 0.0, 10.0, step.first);
        EXPECT_EQ(p.GetPrecision(), step.second) << step.first;
    }
    IParam half;
    half.InitDouble("Half", 0.5, 0.0, 10.0, 0.5, "dB");
    char text[IParam::kDisplaySize];
    half.GetDisplayForHost(text);
    EXPECT_STREQ(text, "0.5");
    EXPECT_STREQ(half.GetLabelForHost(), "dB");
}

TEST(IParam, SetNormalizedQuantisesAllButDoubles)
{
    IParam linear, curved, smooth;
    linear.InitInt("Steps", 0, 0, 10);
    curved.InitInt("Curved", 0, 0, 10);
    curved.SetShape(2.0);
    smooth.InitDouble("Smooth", 0.0, 0.0, 10.0, 1.0, "", "", 2.0);
    linear.SetNormalized(0.5);
    curved.SetNormalized(0.5);
    smooth.SetNormalized(0.5);
    EXPECT_EQ(linear.Value(), 5.0);
    EXPECT_EQ(curved.Value(), 3.0);
    EXPECT_EQ(smooth.Value(), 2.5);
    curved.SetNormalized(1.5); // held at the top only
    EXPECT_EQ(curved.Value(), 10.0);
    linear.SetNormalized(-0.5);
    EXPECT_LT(linear.Value(), 0.0);
    EXPECT_DOUBLE_EQ(curved.GetNormalized(2.5), 0.5);
    EXPECT_EQ(curved.GetNormalized(50.0), 1.0);
}

TEST(IParam, ShapeZeroKeepsThePreviousShapeAndSetHoldsTheRange)
{
    IParam p;
    p.InitDouble("x", 1.0, 0.0, 4.0, 0.01, "", "", 3.0);
    p.SetShape(0.0);
    EXPECT_EQ(p.GetShape(), 3.0);
    p.Set(9.0);
    EXPECT_EQ(p.Value(), 4.0);
    p.Set(-9.0);
    EXPECT_EQ(p.Value(), 0.0);
}

// What every door from outside keeps: the value Int and Bool play, held to the
// range; Set itself keeps fractions.
TEST(IParam, SetAsPlayedKeepsTheWholeValueEachKindPlays)
{
    IParam octave, type, flag, level;
    octave.InitInt("octave", 0, -6, 6);
    type.InitEnum("type", 1, 8);
    flag.InitBool("flag", false);
    level.InitDouble("level", 0.0, -96.0, 0.0, 0.1);

    const struct
    {
        IParam* param;
        double in, kept;
    } cases[] = {{&octave, 1.5, 1.0},  {&octave, -1.5, -1.0}, {&octave, 9.7, 6.0}, {&octave, -9.7, -6.0},
                 {&type, 3.7, 3.0},    {&type, 0.999, 0.0},   {&flag, 0.7, 1.0},   {&flag, 0.3, 0.0},
                 {&flag, 0.5, 1.0},    {&level, -3.25, -3.25}, {&level, 5.0, 0.0}};
    for (const auto& c : cases)
    {
        c.param->SetAsPlayed(c.in);
        EXPECT_EQ(c.param->Value(), c.kept) << c.param->GetNameForHost() << " " << c.in;
        EXPECT_EQ(c.param->Int(), TruncateToInt(c.kept));
    }

    octave.SetAsPlayed(-0.5); // no negative zero in a state
    EXPECT_FALSE(std::signbit(octave.Value()));
    octave.SetAsPlayed(std::nan(""));
    octave.SetAsPlayed(HUGE_VAL);
    EXPECT_EQ(octave.Value(), 0.0);
    octave.Set(2.5);
    EXPECT_EQ(octave.Value(), 2.5);
}

TEST(IParam, DisplayTextsKeepTheirOrder)
{
    IParam p;
    p.InitEnum("Wave", 1, 3);
    p.SetDisplayText(1, "Sine");
    p.SetDisplayText(1, "Ignored");
    p.SetDisplayText(2, "Square");
    EXPECT_STREQ(p.GetDisplayText(1), "Sine");
    EXPECT_STREQ(p.GetDisplayText(7), "");
    EXPECT_EQ(p.GetNDisplayTexts(), 3);
    int value = -1;
    EXPECT_STREQ(p.GetDisplayTextAtIdx(2, &value), "Square");
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(p.MapDisplayText("Square", &value));
    EXPECT_FALSE(p.MapDisplayText("square", &value));
    char text[IParam::kDisplaySize];
    p.GetDisplayForHost(2.0 / 2.0, true, text);
    EXPECT_STREQ(text, "Square");
}

TEST(IParam, LongTextsAreCutToTheirFields)
{
    const std::string longText(200, 'n');
    IParam p;
    p.InitDouble(longText.c_str(), 0.0, 0.0, 1.0, 0.1, longText.c_str(), longText.c_str());
    p.SetDisplayText(0, longText.c_str());
    EXPECT_EQ(std::strlen(p.GetNameForHost()), 31u);
    EXPECT_EQ(std::strlen(p.GetParamGroupForHost()), 31u);
    EXPECT_EQ(std::strlen(p.GetDisplayText(0)), 31u);

    IParam huge;
    huge.InitDouble("Huge", 0.0, -1e300, 1e300, 0.001);
    char text[IParam::kDisplaySize + 8];
    std::memset(text, '#', sizeof text);
    huge.GetDisplayForHost(1e300, false, text, false);
    EXPECT_EQ(std::strlen(text), 31u);
    EXPECT_EQ(text[IParam::kDisplaySize], '#');
    EXPECT_EQ(huge.Int(), 0);
    huge.Set(1e300);
    EXPECT_EQ(huge.Int(), 2147483647);
}

TEST(IParam, NegatedDisplayAndDecibels)
{
    IParam p;
    p.InitDouble("Cut", 3.0, 0.0, 10.0, 1.0);
    p.NegateDisplay();
    char text[IParam::kDisplaySize];
    p.GetDisplayForHost(text);
    EXPECT_STREQ(text, "-3");
    EXPECT_NEAR(DBToAmp(-6.0), std::pow(10.0, -6.0 / 20.0), 1e-12);
    EXPECT_NEAR(p.DBToAmp(), std::pow(10.0, 3.0 / 20.0), 1e-12);
    EXPECT_EQ(ToNormalizedParam(2.0, 2.0, 8.0, 1.5), 0.0);
    EXPECT_DOUBLE_EQ(FromNormalizedParam(0.5, 0.0, 8.0, 3.0), 1.0);
}
