#include "Containers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

TEST(ByteChunk, StringsCarryTheirLengthFirst)
{
    ByteChunk chunk;
    EXPECT_EQ(chunk.PutStr("abc"), 7);
    const unsigned char expected[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    ASSERT_EQ(chunk.Size(), 7);
    EXPECT_EQ(std::memcmp(chunk.GetBytes(), expected, 7), 0);
    KIT_String text;
    EXPECT_EQ(chunk.GetStr(&text, 0), 7);
    EXPECT_STREQ(text.Get(), "abc");
}

TEST(ByteChunk, StringLongerThanTheChunkLeavesTheTextAlone)
{
    ByteChunk chunk;
    const int length = 10;
    chunk.Put(&length);
    chunk.PutBytes("xyz", 3);
    KIT_String text("kept");
    EXPECT_EQ(chunk.GetStr(&text, 0), 14);
    EXPECT_STREQ(text.Get(), "kept");
    int next = 0;
    EXPECT_EQ(chunk.Get(&next, 14), -1);
}

TEST(ByteChunk, CorruptStringLengthsAreRefused)
{
    for (int length : {-1, -100, INT_MAX})
    {
        ByteChunk chunk;
        chunk.Put(&length);
        KIT_String text("kept");
        EXPECT_EQ(chunk.GetStr(&text, 0), -1) << length;
        EXPECT_STREQ(text.Get(), "kept");
    }
}

TEST(ByteChunk, ReadsOutsideTheChunkCopyNothing)
{
    ByteChunk chunk;
    const double value = 2.5;
    EXPECT_EQ(chunk.Put(&value), 8);
    double read = 7.0;
    EXPECT_EQ(chunk.GetBytes(&read, 8, -1), -1);
    EXPECT_EQ(chunk.GetBytes(&read, 8, 1), -1);
    EXPECT_EQ(chunk.GetBytes(&read, -4, 0), -1);
    EXPECT_EQ(chunk.GetBytes(&read, 8, INT_MAX), -1);
    EXPECT_EQ(read, 7.0);
    EXPECT_EQ(chunk.Get(&read, 0), 8);
    EXPECT_EQ(read, 2.5);
}

TEST(ByteChunk, BoolsAndRawChunks)
{
    ByteChunk chunk;
    chunk.PutBool(true);
    chunk.PutBool(false);
    const unsigned char two = 2;
    chunk.PutBytes(&two, 1);
    bool flag = false;
    EXPECT_EQ(chunk.GetBool(&flag, 0), 1);
    EXPECT_TRUE(flag);
    EXPECT_EQ(chunk.GetBool(&flag, 1), 2);
    EXPECT_FALSE(flag);
    EXPECT_EQ(chunk.GetBool(&flag, 2), 3);
    EXPECT_TRUE(flag);
    EXPECT_EQ(chunk.GetBool(&flag, 3), -1);

    ByteChunk outer;
    outer.PutStr("x");
    EXPECT_EQ(outer.PutChunk(&chunk), 5 + 3);
    EXPECT_EQ(outer.Resize(12), 8);
    EXPECT_EQ(outer.GetBytes()[11], 0);
    outer.Clear();
    EXPECT_EQ(outer.Size(), 0);
}

TEST(IPreset, StartsEmptyAndCutsLongNames)
{
    IPreset preset;
    EXPECT_FALSE(preset.mInitialized);
    EXPECT_STREQ(preset.mName, "empty");
    EXPECT_EQ(preset.mChunk.Size(), 0);
    const std::string longName(400, 'p');
    preset.SetName(longName.c_str());
    EXPECT_EQ(std::strlen(preset.mName), 255u);
}
