#include "KIT_Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

TEST(WholeNumbers, AreDecimalWithinTheirRangeAndNothingElse)
{
    EXPECT_EQ(ParseWhole(" 010 ", 0, 100, "--jobs"), 10); // never octal
    EXPECT_EQ(ParseWhole("-5", -10, 10, "--x"), -5);
    for (const char* bad : {"", " ", "-", "0x10", "1.0", "1e2", "+3", "12a"})
        EXPECT_THROW(ParseWhole(bad, -100, 100, "--x"), UsageError) << bad;
    EXPECT_THROW(ParseWhole("101", 0, 100, "--x"), UsageError);
    EXPECT_THROW(ParseWhole("99999999999999999999", 0, std::numeric_limits<long long>::max(), "--x"),
                 UsageError);
    try
    {
        ParseWhole("7", 0, 5, "--jobs");
        FAIL();
    }
    catch (const UsageError& e)
    {
        EXPECT_STREQ(e.what(), "--jobs '7': out of range, expected 0 ... 5");
    }
}

TEST(Numbers, AreFiniteAndWhole)
{
    double value = 0;
    EXPECT_TRUE(ParseNumber(" 0.25\t", &value));
    EXPECT_EQ(value, 0.25);
    for (const char* bad : {"", "nan", "inf", "-inf", "1e999", "1x", "1 2"})
        EXPECT_FALSE(ParseNumber(bad, &value)) << bad;
}

TEST(Numbers, ShortestTextReadsBackExactly)
{
    EXPECT_EQ(ShortestNumberText(0.1), "0.1");
    EXPECT_EQ(ShortestNumberText(120), "120");
    EXPECT_EQ(ShortestNumberText(-0.5), "-0.5");
    EXPECT_EQ(ShortestNumberText(1e-300), "1e-300");
    for (double v : {1.0 / 3, 2.0 / 3e10, 123456789.123456789, 5e-5, 1e15, 6.02214076e23,
                     std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max()})
        EXPECT_EQ(std::strtod(ShortestNumberText(v).c_str(), nullptr), v) << v;
}

TEST(Blanks, TrimAndTrimSpaceDifferOnLineEnds)
{
    EXPECT_EQ(Trim(" \tab c\t "), "ab c");
    EXPECT_EQ(Trim("\nab\r\n"), "\nab\r\n");
    EXPECT_EQ(TrimSpace("\r\n\v ab c\f\n"), "ab c");
    EXPECT_EQ(TrimSpace(" \n "), "");
    EXPECT_EQ(Lower("PiCkUp-1"), "pickup-1");
}
