#include "PIX.h"

#include <gtest/gtest.h>

#include <climits>

namespace
{

const PIX_Pixel kRed = PIX_MakePixel(255, 255, 0, 0);

int countSet(PIX_MemBitmap& b)
{
    int n = 0;
    for (int y = 0; y < b.getHeight(); ++y)
        for (int x = 0; x < b.getWidth(); ++x)
            n += b.getBits()[y * b.getRowSpan() + x] != 0;
    return n;
}

void clear(PIX_MemBitmap& b)
{
    for (int i = 0; i < b.getRowSpan() * b.getHeight(); ++i)
        b.getBits()[i] = 0;
}

} // namespace

TEST(Draw, ShapesLandWhereTheyShould)
{
    PIX_MemBitmap b(20, 20, 4);
    clear(b);
    PIX_DrawLine(&b, 2, 3, 12, 3, kRed, 1.0f);
    EXPECT_EQ(countSet(b), 11);
    EXPECT_EQ(PIX_GetPoint(&b, 12, 3), kRed);
    EXPECT_EQ(PIX_GetPoint(&b, 13, 3), 0u);

    PIX_MemBitmap circle(21, 21, 4);
    clear(circle);
    PIX_DrawCircle(&circle, 10, 10, 6, kRed, 1.0f);
    for (auto p : {std::pair<int, int>{16, 10}, {4, 10}, {10, 16}, {10, 4}})
        EXPECT_EQ(PIX_GetPoint(&circle, p.first, p.second), kRed);
    EXPECT_EQ(PIX_GetPoint(&circle, 10, 10), 0u);

    PIX_MemBitmap disc(21, 21, 4);
    clear(disc);
    PIX_FillCircle(&disc, 10, 10, 5, kRed, 1.0f);
    EXPECT_EQ(PIX_GetPoint(&disc, 10, 10), kRed);
    EXPECT_NEAR(countSet(disc), 3.14159 * 25, 12);

    PIX_MemBitmap tri(10, 10, 4);
    clear(tri);
    PIX_FillTriangle(&tri, 0, 0, 9, 0, 0, 9, kRed, 1.0f);
    EXPECT_EQ(PIX_GetPoint(&tri, 1, 1), kRed);
    EXPECT_EQ(PIX_GetPoint(&tri, 8, 8), 0u);

    PIX_MemBitmap arc(21, 21, 4);
    clear(arc);
    PIX_DrawArc(&arc, 10, 10, 8, 0.0f, 90.0f, kRed, 1.0f); // 12 to 3 o'clock
    EXPECT_EQ(PIX_GetPoint(&arc, 10, 2), kRed);
    EXPECT_EQ(PIX_GetPoint(&arc, 18, 10), kRed);
    EXPECT_EQ(PIX_GetPoint(&arc, 2, 10), 0u);

    PIX_MemBitmap radial(21, 21, 4);
    clear(radial);
    PIX_DrawRadialLine(&radial, 10, 10, 180.0f, 2, 6, kRed, 1.0f);
    EXPECT_EQ(PIX_GetPoint(&radial, 10, 14), kRed);
    EXPECT_EQ(PIX_GetPoint(&radial, 10, 10), 0u);

    PIX_MemBitmap round(12, 12, 4);
    clear(round);
    PIX_DrawRoundRect(&round, 1, 1, 10, 8, 3, kRed, 1.0f);
    EXPECT_EQ(PIX_GetPoint(&round, 5, 1), kRed);
    EXPECT_EQ(PIX_GetPoint(&round, 1, 1), 0u); // the corner is rounded off
    EXPECT_EQ(PIX_GetPoint(&round, 5, 5), 0u);
}

TEST(Draw, EverythingIsClippedToTheBitmap)
{
    PIX_MemBitmap b(16, 9, 4);
    clear(b);
    const int far[] = {INT_MIN + 1, -1000000, -20, -1, 0, 5, 15, 16, 1000000, INT_MAX};
    for (int x : far)
        for (int y : far)
        {
            PIX_DrawPoint(&b, x, y, kRed, 1.0f);
            PIX_DrawLine(&b, x, y, -x, y / 2, kRed, 0.5f);
            PIX_DrawCircle(&b, x, y, 30, kRed, 1.0f);
            PIX_FillCircle(&b, x, y, 12, kRed, 1.0f);
            PIX_DrawArc(&b, x, y, 10, -90.0f, 400.0f, kRed, 1.0f);
            PIX_DrawRadialLine(&b, x, y, 33.0f, 0, 1000000, kRed, 1.0f);
            PIX_FillTriangle(&b, x, y, -y, x, 3, 3, kRed, 1.0f);
            PIX_DrawRoundRect(&b, x, y, 40, -3, 5, kRed, 1.0f);
            PIX_DrawRoundRect(&b, x, y, 40, 30, 50, kRed, 1.0f);
            EXPECT_EQ(PIX_GetPoint(&b, x, y),
                      (x >= 0 && x < 16 && y >= 0 && y < 9) ? PIX_GetPoint(&b, x, y) : 0u);
        }
    PIX_FillCircle(&b, 8, 4, INT_MAX, kRed, 1.0f);
    PIX_DrawLine(nullptr, 0, 0, 5, 5, kRed, 1.0f);
    EXPECT_EQ(PIX_GetPoint(&b, -1, 0), 0u);
}

TEST(Draw, ScaledAndRotatedBlitsFilterAndStayInside)
{
    PIX_MemBitmap src(2, 1, 4);
    clear(src);
    src.getBits()[0] = PIX_MakePixel(255, 0, 0, 0);
    src.getBits()[1] = PIX_MakePixel(255, 200, 0, 0);
    PIX_MemBitmap dst(8, 2, 4);
    clear(dst);
    const PIX_Rect from{0, 0, 2, 1}, to{0, 0, 8, 2};
    PIX_ScaledBlit(&dst, &to, &src, &from, 1.0f);
    EXPECT_EQ(PIX_Channel(PIX_GetPoint(&dst, 0, 0), 1), 0);
    EXPECT_EQ(PIX_Channel(PIX_GetPoint(&dst, 7, 1), 1), 200);
    const int middle = PIX_Channel(PIX_GetPoint(&dst, 4, 0), 1);
    EXPECT_GT(middle, 50); // bilinear: in between
    EXPECT_LT(middle, 150);

    PIX_MemBitmap square(4, 4, 4);
    clear(square);
    for (int i = 0; i < 16; ++i)
        square.getBits()[i] = kRed;
    PIX_MemBitmap canvas(10, 10, 4);
    clear(canvas);
    PIX_RotatedBlit(&canvas, &square, 5, 5, 45.0, 1.0f);
    EXPECT_EQ(PIX_GetPoint(&canvas, 5, 5), kRed);
    EXPECT_EQ(PIX_GetPoint(&canvas, 2, 2), 0u); // beyond the rotated corner

    const PIX_Rect wild{-100000, -5, INT_MAX, 7}, bad{1, 0, 5, 1};
    PIX_ScaledBlit(&canvas, &wild, &square, &from, 1.0f);
    PIX_ScaledBlit(&canvas, &to, &src, &bad, 1.0f); // outside the source: refused
    for (int c : {INT_MIN + 1, -50, 0, 9, 50, INT_MAX})
        PIX_RotatedBlit(&canvas, &square, c, -c, 1e9, 0.7f);
}
