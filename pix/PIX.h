#pragma once

#include "PIX_Bitmap.h"

// Blend modes: the low byte of a mode word.
enum
{
    PIX_BLEND_COPY = 0,
    PIX_BLEND_ADD = 1,
    PIX_BLEND_DODGE = 2,
    PIX_BLEND_MULTIPLY = 3,
    PIX_BLEND_OVERLAY = 4,
    PIX_BLEND_HSADJ = 5,
    PIX_BLEND_MASK = 0xFF,
    PIX_BLEND_CHANNEL_COPY = 0xF0, // 0xF0 + source channel + 4 * destination channel
    PIX_BLEND_USE_SOURCE_ALPHA = 0x10000
};

struct PIX_Rect
{
    int left, top, right, bottom;
};

// Blits srcRect (the whole source when null) of src to (dstx, dsty) of dest,
// clipped to both bitmaps.
void PIX_Blit(PIX_IBitmap* dest, PIX_IBitmap* src, int dstx, int dsty, const PIX_Rect* srcRect,
              float alpha, int mode);
void PIX_Blit(PIX_IBitmap* dest, PIX_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
              int srch, float alpha, int mode);
void PIX_FillRect(PIX_IBitmap* dest, int x, int y, int w, int h, PIX_Pixel color, float alpha,
                  int mode);
// Resizes dest to src and copies it whole.
void PIX_Copy(PIX_IBitmap* dest, PIX_IBitmap* src);

// Decodes a PNG file into dest (resized to the image), or into a new
// PIX_MemBitmap when dest is null. Null for any file that is not a whole,
// sane PNG.
PIX_IBitmap* PIX_LoadPNG(const char* fileName, PIX_IBitmap* dest);
// A PNG file whose pixels are decoded when first asked for, so that a program
// that never draws never inflates. At once only what costs no inflating is
// checked: the signature, a sane header, every chunk whole with its checksum,
// image data and the end. Null when that fails; should the deferred decoding
// fail all the same, the image keeps its announced size, fully transparent.
PIX_IBitmap* PIX_OpenPNG(const char* fileName);
// Writes the bitmap as an 8-bit RGBA PNG; false when the file cannot be written.
bool PIX_WritePNG(const char* fileName, PIX_IBitmap* src);

// Plain drawing operations, clipped to the bitmap, blending a colour at a
// weight of alpha (0 ... 1) with the copy formula.
PIX_Pixel PIX_GetPoint(PIX_IBitmap* src, int x, int y);
void PIX_DrawPoint(PIX_IBitmap* dest, int x, int y, PIX_Pixel color, float alpha);
void PIX_DrawLine(PIX_IBitmap* dest, int x1, int y1, int x2, int y2, PIX_Pixel color, float alpha);
void PIX_DrawCircle(PIX_IBitmap* dest, int cx, int cy, int radius, PIX_Pixel color, float alpha);
void PIX_FillCircle(PIX_IBitmap* dest, int cx, int cy, int radius, PIX_Pixel color, float alpha);
// Angles in degrees, clockwise from 12 o'clock.
void PIX_DrawArc(PIX_IBitmap* dest, int cx, int cy, int radius, float startAngle, float endAngle,
                 PIX_Pixel color, float alpha);
void PIX_DrawRadialLine(PIX_IBitmap* dest, int cx, int cy, float angle, int innerRadius,
                        int outerRadius, PIX_Pixel color, float alpha);
void PIX_FillTriangle(PIX_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3,
                      PIX_Pixel color, float alpha);
void PIX_FillConvexPolygon(PIX_IBitmap* dest, const int* xs, const int* ys, int count,
                           PIX_Pixel color, float alpha);
void PIX_DrawRoundRect(PIX_IBitmap* dest, int x, int y, int w, int h, int radius, PIX_Pixel color,
                       float alpha);
// srcRect of src stretched over dstRect of dest with bilinear filtering.
void PIX_ScaledBlit(PIX_IBitmap* dest, const PIX_Rect* dstRect, PIX_IBitmap* src,
                    const PIX_Rect* srcRect, float alpha);
// src rotated by angle degrees about its centre, the centre placed at (cx, cy),
// with bilinear filtering; source alpha is honoured.
void PIX_RotatedBlit(PIX_IBitmap* dest, PIX_IBitmap* src, int cx, int cy, double angle,
                     float alpha);
