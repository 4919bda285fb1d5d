#include "IGraphicsStructs.h"
#include "IPopupMenu.h"

#include <gtest/gtest.h>

TEST(IRECT, EdgeRules)
{
    EXPECT_FALSE(IRECT(5, 5, 5, 5).Empty());
    EXPECT_TRUE(IRECT().Empty());
    EXPECT_FALSE(IRECT().Contains(0, 0));
    const IRECT a(0, 0, 10, 10);
    EXPECT_TRUE(a.Contains(9, 9));
    EXPECT_FALSE(a.Contains(10, 5));
    EXPECT_TRUE(a.Intersects(IRECT(10, 0, 20, 10))); // touching at the right edge
    EXPECT_TRUE(a.Intersects(IRECT(0, 10, 10, 20))); // and at the bottom
    EXPECT_FALSE(IRECT(10, 0, 20, 10).Intersects(a)); // but not from the other side
    EXPECT_FALSE(a.Intersects(IRECT()));
    EXPECT_EQ(a.Intersect(IRECT(5, -5, 15, 5)), IRECT(5, 0, 10, 5));
    EXPECT_EQ(a.Intersect(IRECT(30, 30, 40, 40)), IRECT());
    EXPECT_EQ(IRECT().Union(a), a);
    EXPECT_EQ(a.Union(IRECT()), a);
    EXPECT_EQ(a.Union(IRECT(20, -4, 25, 3)), IRECT(0, -4, 25, 10));
    EXPECT_EQ(IRECT(0, 0, 10, 30).SubRectVertical(3, 2), IRECT(0, 20, 10, 30));
    EXPECT_EQ(IRECT(2, 0, 12, 30).SubRectHorizontal(3, 1), IRECT(5, 0, 8, 30));
    EXPECT_FLOAT_EQ(IRECT(1, 2, 4, 7).MW(), 2.5f);

    const IBitmap strip(nullptr, 64, 2112, 33);
    EXPECT_EQ(IRECT(10, 20, &strip), IRECT(10, 20, 74, 84));
}

TEST(EditorValues, BlendsColoursAndTextFields)
{
    const IColor c(0x11, 0x22, 0x33, 0x44);
    EXPECT_EQ(PixColor(&c), 0x44332211u);
    const IChannelBlend unknown(static_cast<IChannelBlend::EBlendMethod>(9), 0.5f);
    const IChannelBlend none(IChannelBlend::kBlendNone);
    EXPECT_EQ(PixBlendMode(&unknown), PixBlendMode(&none));
    EXPECT_EQ(PixBlendMode(nullptr), PixBlendMode(&none));
    const IChannelBlend clobber(IChannelBlend::kBlendClobber);
    EXPECT_EQ(PixBlendMode(&clobber), PIX_BLEND_COPY);
    EXPECT_EQ(PixWeight(&unknown), 0.5f);
    EXPECT_EQ(PixWeight(nullptr), 1.0f);

    const IText text(12, nullptr, "An extremely long font family name that goes on");
    EXPECT_EQ(std::string(text.mFont).size(), 31u);
    EXPECT_EQ(text.mColor, DEFAULT_TEXT_COLOR);
    EXPECT_EQ(text.mTextEntryBGColor, COLOR_WHITE);
}

TEST(EditorCaches, FirstEntryWinsAndFontsIgnoreColourAndAlignment)
{
    BitmapStorage images;
    auto* first = new PIX_MemBitmap(1, 1);
    auto* second = new PIX_MemBitmap(2, 2);
    images.Add(first, 7);
    images.Add(second, 7);
    EXPECT_EQ(images.Find(7), first);
    EXPECT_EQ(images.Find(8), nullptr);
    images.Remove(first);
    EXPECT_EQ(images.Find(7), second);

    FontStorage fonts;
    IText red(12, &COLOR_RED, "Monaco", IText::kStyleNormal, IText::kAlignNear);
    IText blue(12, &COLOR_BLUE, "Monaco", IText::kStyleNormal, IText::kAlignFar);
    IText bold(12, &COLOR_RED, "Monaco", IText::kStyleBold);
    PIX_FontRequest request;
    PIX_IFont* font = PIX_CreateFont(request).release();
    ASSERT_NE(font, nullptr);
    fonts.Add(font, &red);
    EXPECT_EQ(fonts.Find(&blue), font);
    EXPECT_EQ(fonts.Find(&bold), nullptr);
}

TEST(IPopupMenu, PrefixesChecksAndBounds)
{
    IPopupMenu menu(2);
    for (int i = 0; i < 10; ++i)
        menu.AddItem(("item " + std::to_string(i)).c_str());
    menu.AddItem("first", 0);
    EXPECT_STREQ(menu.GetItemText(0), "first");
    EXPECT_STREQ(menu.GetDisplayText(8).Get(), "09: item 7");
    menu.SetPrefix(4);
    menu.SetPrefix(-1);
    EXPECT_EQ(menu.GetPrefix(), 2);
    menu.SetPrefix(1);
    EXPECT_STREQ(menu.GetDisplayText(0).Get(), "1: first");

    EXPECT_TRUE(menu.CheckItem(3, true));
    EXPECT_FALSE(menu.CheckItem(99, true));
    EXPECT_FALSE(menu.IsItemChecked(99));
    menu.CheckItemAlone(5);
    EXPECT_FALSE(menu.IsItemChecked(3));
    EXPECT_TRUE(menu.IsItemChecked(5));
    menu.CheckItemAlone(40);
    for (int i = 0; i < menu.GetNItems(); ++i)
        EXPECT_FALSE(menu.IsItemChecked(i));

    IPopupMenu sub;
    IPopupMenuItem* parent = menu.AddItem("more", &sub);
    EXPECT_EQ(parent->GetSubmenu(), &sub);
    EXPECT_TRUE(menu.AddSeparator()->GetIsSeparator());
    EXPECT_EQ(menu.GetItem(-1), nullptr);
    IPopupMenuItem disabled("x", IPopupMenuItem::kDisabled | IPopupMenuItem::kTitle);
    disabled.SetChecked(true);
    disabled.SetChecked(false);
    EXPECT_FALSE(disabled.GetEnabled());
    EXPECT_TRUE(disabled.GetIsTitle()); // checking touches only the check bit
}
