#include "PIX.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace
{

const PIX_Pixel kBlack = PIX_MakePixel(255, 0, 0, 0);
const PIX_Pixel kWhite = PIX_MakePixel(255, 255, 255, 255);

void fill(PIX_IBitmap& b, PIX_Pixel p)
{
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            b.getBits()[y * b.getRowSpan() + x] = p;
}

PIX_Pixel at(PIX_IBitmap& b, int x, int y)
{
    return b.getBits()[y * b.getRowSpan() + x];
}

// Every pixel encodes its column and row.
void paintColumns(PIX_IBitmap& b)
{
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            b.getBits()[y * b.getRowSpan() + x] = PIX_MakePixel(255, x, y, 7);
}

} // namespace

TEST(Bitmaps, RowSpanFollowsTheLineAlignment)
{
    PIX_MemBitmap aligned(5, 3, 4);
    EXPECT_EQ(aligned.getRowSpan(), 8);
    PIX_MemBitmap packed(5, 3, 1);
    EXPECT_EQ(packed.getRowSpan(), 5);
    PIX_MemBitmap odd(5, 3, 6); // the lowest set bit counts: 2
    EXPECT_EQ(odd.getRowSpan(), 6);
    PIX_MemBitmap sixteen(5, 3, 16);
    EXPECT_EQ(sixteen.getRowSpan(), 16);
    EXPECT_FALSE(aligned.isFlipped());
}

TEST(Bitmaps, MemoryGrowsButNeverShrinks)
{
    PIX_MemBitmap b(4, 4, 4);
    PIX_Pixel* first = b.getBits();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(b.resize(4, 4));
    EXPECT_TRUE(b.resize(2, 2));
    EXPECT_EQ(b.getBits(), first); // large enough: stays in place
    EXPECT_TRUE(b.resize(0, 5));
    EXPECT_EQ(b.getBits(), nullptr);
    EXPECT_TRUE(b.resize(100000, 100000)); // refused: left empty, not allocated
    EXPECT_EQ(b.getWidth(), 0);
    EXPECT_EQ(b.getBits(), nullptr);

    PIX_SysBitmap sys(5, 3);
    EXPECT_EQ(sys.getRowSpan(), 8);
    ASSERT_NE(sys.getBits(), nullptr);
    PIX_Pixel* sysBits = sys.getBits();
    EXPECT_TRUE(sys.resize(3, 2));
    EXPECT_EQ(sys.getBits(), sysBits);
    EXPECT_FALSE(sys.resize(0, 0));
    EXPECT_EQ(sys.getBits(), nullptr);
}

TEST(Blit, NegativeDestinationShiftsTheSource)
{
    PIX_MemBitmap src(10, 2, 4);
    paintColumns(src);
    PIX_MemBitmap dst(20, 2, 4);
    fill(dst, 0);
    PIX_Blit(&dst, &src, -3, 0, nullptr, 1.0f, 0);
    for (int x = 0; x <= 6; ++x)
        EXPECT_EQ(PIX_Channel(at(dst, x, 0), 1), x + 3) << x;
    EXPECT_EQ(at(dst, 7, 0), 0u);

    // A source rectangle with a negative left moves the destination instead.
    fill(dst, 0);
    const PIX_Rect rect{-2, 0, 4, 2};
    PIX_Blit(&dst, &src, 0, 0, &rect, 1.0f, 0);
    EXPECT_EQ(at(dst, 1, 0), 0u);
    EXPECT_EQ(PIX_Channel(at(dst, 2, 1), 1), 0);
    EXPECT_EQ(PIX_Channel(at(dst, 5, 1), 1), 3);
    EXPECT_EQ(at(dst, 6, 1), 0u);
}

TEST(Blit, AnyRectangleStaysInsideBothBitmaps)
{
    PIX_MemBitmap src(7, 5, 4);
    paintColumns(src);
    // Rows of 12 pixels for 9 columns: the three past the right edge are a
    // border no drawing may touch.
    PIX_MemBitmap dst(9, 6, 4);
    ASSERT_GT(dst.getRowSpan(), dst.getWidth());
    const PIX_Pixel kBorder = PIX_MakePixel(1, 2, 3, 4);
    for (int y = 0; y < dst.getHeight(); ++y)
        for (int x = dst.getWidth(); x < dst.getRowSpan(); ++x)
            dst.getBits()[y * dst.getRowSpan() + x] = kBorder;
    const int extremes[] = {INT_MIN + 1, -100000, -8, -1, 0, 3, 8, 100000, INT_MAX};
    for (int x : extremes)
        for (int y : extremes)
            for (int w : {INT_MIN + 1, -3, 0, 4, INT_MAX})
            {
                PIX_Blit(&dst, &src, x, y, x / 2, y / 3, w, w, 1.0f, 0);
                PIX_Blit(&dst, &src, x, y, x, -y, w, 2, 0.3f, PIX_BLEND_USE_SOURCE_ALPHA);
                PIX_FillRect(&dst, x, y, w, w, kWhite, 1.0f, 0);
                PIX_FillRect(&dst, x, y, w, 3, kWhite, 0.3f, PIX_BLEND_ADD);
            }
    PIX_MemBitmap empty(0, 0, 4);
    PIX_Blit(&dst, &empty, 0, 0, nullptr, 1.0f, 0);
    PIX_Blit(&empty, &src, 0, 0, nullptr, 1.0f, 0);
    PIX_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
    PIX_FillRect(&empty, 0, 0, 5, 5, kWhite, 1.0f, 0);
    for (int y = 0; y < dst.getHeight(); ++y)
        for (int x = dst.getWidth(); x < dst.getRowSpan(); ++x)
            EXPECT_EQ(at(dst, x, y), kBorder) << "column " << x << ", row " << y;
}

TEST(Blit, CopyWithSourceAlpha)
{
    PIX_MemBitmap dst(3, 1, 1), src(3, 1, 1);
    fill(dst, kBlack);
    src.getBits()[0] = PIX_MakePixel(0, 200, 100, 50);
    src.getBits()[1] = PIX_MakePixel(255, 200, 100, 50);
    src.getBits()[2] = PIX_MakePixel(128, 200, 100, 50);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 1.0f, PIX_BLEND_USE_SOURCE_ALPHA);
    EXPECT_EQ(at(dst, 0, 0), kBlack);
    EXPECT_EQ(at(dst, 1, 0), PIX_MakePixel(255, 200, 100, 50));
    const PIX_Pixel half = at(dst, 2, 0);
    EXPECT_EQ(PIX_Channel(half, 1), 200 + (0 - 200) * 127 / 256);
    EXPECT_EQ(PIX_Channel(half, 2), 100 + (0 - 100) * 127 / 256);
    EXPECT_EQ(PIX_Channel(half, 0), 255); // 255 + 128 held to 255

    // Other weights scale the source alpha first.
    fill(dst, PIX_MakePixel(10, 0, 0, 0));
    PIX_Blit(&dst, &src, 0, 0, nullptr, 0.5f, PIX_BLEND_USE_SOURCE_ALPHA);
    const int k = 128 * (128 + 1) / 256;
    EXPECT_EQ(PIX_Channel(at(dst, 2, 0), 1), 200 + (0 - 200) * (256 - k) / 256);
    EXPECT_EQ(PIX_Channel(at(dst, 2, 0), 0), 10 + k);
}

TEST(Blit, PlainCopyWeights)
{
    PIX_MemBitmap dst(2, 1, 1), src(2, 1, 1);
    fill(dst, kBlack);
    fill(src, kWhite);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 0.5f, 0);
    EXPECT_EQ(at(dst, 0, 0), PIX_MakePixel(0xfe, 0x7f, 0x7f, 0x7f)); // alphas 255 + 255 halved
    EXPECT_EQ(PIX_Channel(at(dst, 1, 0), 2), 0x7f);
    fill(dst, kBlack);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 0.25f, 0);
    EXPECT_EQ(PIX_Channel(at(dst, 0, 0), 3), 255 + (0 - 255) * (256 - 64) / 256);
    EXPECT_EQ(PIX_Channel(at(dst, 0, 0), 0), 255);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 0.001f, 0); // weight 0: nothing
    EXPECT_EQ(PIX_Channel(at(dst, 0, 0), 3), 255 + (0 - 255) * (256 - 64) / 256);
}

TEST(Blit, AddDodgeAndSingleChannel)
{
    PIX_MemBitmap dst(1, 1, 1), src(1, 1, 1);
    dst.getBits()[0] = PIX_MakePixel(100, 100, 200, 0);
    src.getBits()[0] = PIX_MakePixel(128, 100, 100, 40);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 1.0f, PIX_BLEND_ADD);
    EXPECT_EQ(dst.getBits()[0], PIX_MakePixel(228, 200, 255, 40));

    dst.getBits()[0] = PIX_MakePixel(100, 100, 200, 0);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 1.0f, PIX_BLEND_ADD | PIX_BLEND_USE_SOURCE_ALPHA);
    const int k = 256 * 129 / 256;
    EXPECT_EQ(PIX_Channel(dst.getBits()[0], 1), 100 + 100 * k / 256);

    dst.getBits()[0] = PIX_MakePixel(100, 100, 200, 30);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 1.0f, PIX_BLEND_DODGE);
    EXPECT_EQ(PIX_Channel(dst.getBits()[0], 1), 100 * 256 / 156);
    EXPECT_EQ(PIX_Channel(dst.getBits()[0], 2), 255); // held
    src.getBits()[0] = PIX_MakePixel(255, 255, 255, 255);
    dst.getBits()[0] = PIX_MakePixel(1, 0, 1, 2);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 1.0f, PIX_BLEND_DODGE); // q = 1: times 256
    EXPECT_EQ(dst.getBits()[0], PIX_MakePixel(255, 0, 255, 255));

    src.getBits()[0] = PIX_MakePixel(1, 2, 3, 4);
    dst.getBits()[0] = PIX_MakePixel(9, 9, 9, 9);
    PIX_Blit(&dst, &src, 0, 0, nullptr, 1.0f, PIX_BLEND_CHANNEL_COPY + 3 + 4 * 0);
    EXPECT_EQ(dst.getBits()[0], PIX_MakePixel(4, 9, 9, 9)); // blue into alpha
}

TEST(Fill, FastWeightsAndTheColourWord)
{
    PIX_MemBitmap b(3, 2, 4);
    fill(b, 0);
    const PIX_Pixel color = PIX_MakePixel(0x12, 0x80, 0x40, 0xff);
    PIX_FillRect(&b, 0, 0, 3, 2, color, 1.0f, 0);
    EXPECT_EQ(at(b, 2, 1), color);

    fill(b, kWhite);
    PIX_FillRect(&b, 0, 0, 1, 1, kBlack, 0.5f, 0);
    EXPECT_EQ(at(b, 0, 0), ((kWhite >> 1) & 0x7f7f7f7fu) + ((kBlack >> 1) & 0x7f7f7f7fu));
    PIX_FillRect(&b, 1, 0, 1, 1, kBlack, 0.25f, 0);
    EXPECT_EQ(PIX_Channel(at(b, 1, 0), 1), 127 + 63);
    PIX_FillRect(&b, 2, 0, 1, 1, kBlack, 0.75f, 0);
    EXPECT_EQ(PIX_Channel(at(b, 2, 0), 1), 63);

    // Other weights move every channel, alpha towards the weight.
    fill(b, kBlack);
    PIX_FillRect(&b, -5, -5, 6, 6, kWhite, 0.3f, 0);
    const int w = static_cast<int>(0.3f * 256);
    EXPECT_EQ(PIX_Channel(at(b, 0, 0), 1), 255 + (0 - 255) * (256 - w) / 256);
    EXPECT_EQ(PIX_Channel(at(b, 0, 0), 0), w + (255 - w) * (256 - w) / 256);
    EXPECT_EQ(at(b, 1, 0), kBlack); // the negative origin shortened the fill

    // With source alpha, the colour's own alpha scales the weight.
    fill(b, kBlack);
    PIX_FillRect(&b, 0, 0, 1, 1, PIX_MakePixel(0, 255, 255, 255), 1.0f, PIX_BLEND_USE_SOURCE_ALPHA);
    EXPECT_EQ(at(b, 0, 0), kBlack);
}

TEST(Copy, ResizesAndCopiesWhole)
{
    PIX_MemBitmap src(6, 4, 4);
    paintColumns(src);
    PIX_MemBitmap dst(1, 1, 1);
    PIX_Copy(&dst, &src);
    ASSERT_EQ(dst.getWidth(), 6);
    ASSERT_EQ(dst.getHeight(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(at(dst, x, y), at(src, x, y));
}
