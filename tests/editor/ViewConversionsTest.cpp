#include "IParam.h"
#include "ViewConversions.h"

#include <gtest/gtest.h>

TEST(ViewConversions, MousePointsMatchTheMacOSView)
{
    int x = 0, y = 0;
    EditorPointFromView(2, 3, 768, &x, &y); // the macOS point (2, height - 3)
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EditorPointFromView(102.7, 50.2, 768, &x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 48); // 768 - trunc(717.8) - 3
}

TEST(ViewConversions, KeysMapLikeTheEditorExpectsAndTheRestGoesToTheHost)
{
    EXPECT_EQ(EditorKeyCode(ViewKey::kSpace, " "), 0);
    EXPECT_EQ(EditorKeyCode(ViewKey::kRight, ""), 4);
    EXPECT_EQ(EditorKeyCode(ViewKey::kCharacter, "0"), 5);
    EXPECT_EQ(EditorKeyCode(ViewKey::kCharacter, "9"), 14);
    EXPECT_EQ(EditorKeyCode(ViewKey::kCharacter, "a"), 15);
    EXPECT_EQ(EditorKeyCode(ViewKey::kCharacter, "A"), 15);
    EXPECT_EQ(EditorKeyCode(ViewKey::kCharacter, "z"), 40);
    for (const char* other : {"!", "\xC3\xA9", "ab", ""})
        EXPECT_EQ(EditorKeyCode(ViewKey::kCharacter, other), -1) << other;
}

TEST(ViewConversions, ValueFieldsRefuseWhatTheParameterCannotTake)
{
    IParam whole, fraction;
    whole.InitInt("n", 0, 0, 10);
    fraction.InitDouble("d", 0.0, 0.0, 1.0, 0.01);
    const EntryRules intRules = EntryRulesFor(&whole, 7), doubleRules = EntryRulesFor(&fraction, 4);
    EXPECT_TRUE(EntryAccepts(intRules, "1"));
    EXPECT_FALSE(EntryAccepts(intRules, "1.")); // refused at the "."
    EXPECT_TRUE(EntryAccepts(intRules, "-12"));
    EXPECT_TRUE(EntryAccepts(doubleRules, "1.5"));
    EXPECT_FALSE(EntryAccepts(doubleRules, "1.555")); // longer than 4
    EXPECT_FALSE(EntryAccepts(doubleRules, "1e3"));
    EXPECT_TRUE(EntryAccepts(EntryRulesFor(nullptr, 0), "anything"));
    for (const char* number : {"0", "-12", "+1.5", ".5", "3."})
        EXPECT_TRUE(IsNumberText(number)) << number;
    for (const char* notNumber : {"", "-", "+", ".", "1.2.3", "1-2", "--5"})
        EXPECT_FALSE(IsNumberText(notNumber)) << notNumber;

    PIX_MemBitmap one(2, 1), two;
    one.getBits()[0] = 1;
    one.getBits()[1] = 2;
    PixelDouble(&one, &two);
    ASSERT_EQ(two.getWidth(), 4);
    EXPECT_EQ(two.getBits()[two.getRowSpan() + 1], 1u);
    EXPECT_EQ(two.getBits()[2], 2u);
}
