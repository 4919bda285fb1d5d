#include "PIX.h"

#include <algorithm>
#include <cstring>

namespace
{

// Rows of a bitmap in image order, whichever way it is stored.
struct Rows
{
    PIX_Pixel* first;
    int64_t step;
    PIX_Pixel* row(int y) const { return first + step * y; }
};

Rows rowsOf(PIX_IBitmap* bitmap)
{
    const int64_t span = bitmap->getRowSpan();
    PIX_Pixel* bits = bitmap->getBits();
    if (bitmap->isFlipped())
        return {bits + span * (bitmap->getHeight() - 1), -span};
    return {bits, span};
}

int weightOf(float alpha)
{
    const int w = static_cast<int>(alpha * 256.0f);
    return w > 256 ? 256 : w;
}

int clampByte(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

int channel(PIX_Pixel p, int c)
{
    return PIX_Channel(p, c);
}

PIX_Pixel withChannels(const int c[4])
{
    return PIX_MakePixel(c[0], c[1], c[2], c[3]);
}

const PIX_Pixel kHalfMask = 0x7f7f7f7fu;
const PIX_Pixel kQuarterMask = 0x3f3f3f3fu;

PIX_Pixel half(PIX_Pixel p)
{
    return (p >> 1) & kHalfMask;
}
PIX_Pixel quarter(PIX_Pixel p)
{
    return (p >> 2) & kQuarterMask;
}

// s + (d - s) * keep / 256 for every channel from `first` on.
PIX_Pixel mixChannels(PIX_Pixel d, PIX_Pixel s, int keep, int first)
{
    int out[4];
    for (int c = 0; c < 4; ++c)
    {
        const int sc = channel(s, c), dc = channel(d, c);
        out[c] = c < first ? dc : sc + (dc - sc) * keep / 256;
    }
    return withChannels(out);
}

PIX_Pixel copyWeighted(PIX_Pixel d, PIX_Pixel s, int w)
{
    return mixChannels(d, s, 256 - w, 0);
}

PIX_Pixel copySourceAlpha(PIX_Pixel d, PIX_Pixel s, int w)
{
    const int sa = channel(s, 0);
    if (sa == 0)
        return d;
    if (w >= 256)
    {
        if (sa == 255)
            return (s & 0xFFFFFF00u) | 0xFFu;
        PIX_Pixel out = mixChannels(d, s, 255 - sa, 1);
        return (out & 0xFFFFFF00u) | static_cast<PIX_Pixel>(std::min(255, channel(d, 0) + sa));
    }
    const int k = w * (sa + 1) / 256;
    PIX_Pixel out = mixChannels(d, s, 256 - k, 1);
    return (out & 0xFFFFFF00u) | static_cast<PIX_Pixel>(std::min(255, channel(d, 0) + k));
}

PIX_Pixel add(PIX_Pixel d, PIX_Pixel s, int w)
{
    int out[4];
    for (int c = 0; c < 4; ++c)
        out[c] = clampByte(channel(d, c) + channel(s, c) * w / 256);
    return withChannels(out);
}

PIX_Pixel addSourceAlpha(PIX_Pixel d, PIX_Pixel s, int w)
{
    const int sa = channel(s, 0);
    return sa == 0 ? d : add(d, s, w * (sa + 1) / 256);
}

PIX_Pixel dodge(PIX_Pixel d, PIX_Pixel s, int w)
{
    int out[4];
    for (int c = 0; c < 4; ++c)
    {
        const int scaled = channel(s, c) * w / 256;
        const int q = 256 - scaled;
        const int dc = channel(d, c);
        out[c] = clampByte(q >= 2 ? dc * 256 / q : dc * 256);
    }
    return withChannels(out);
}

PIX_Pixel dodgeSourceAlpha(PIX_Pixel d, PIX_Pixel s, int w)
{
    return dodge(d, s, w * (channel(s, 0) + 1) / 256);
}

using PixelOp = PIX_Pixel (*)(PIX_Pixel, PIX_Pixel, int);

// Applies one per-pixel formula to a run; a template so the formula inlines.
template <PixelOp Op> void applyRun(PIX_Pixel* d, const PIX_Pixel* s, int64_t n, int w)
{
    for (int64_t x = 0; x < n; ++x)
        d[x] = Op(d[x], s[x], w);
}

template <PixelOp Op> void fillRun(PIX_Pixel* d, PIX_Pixel s, int64_t n, int w)
{
    for (int64_t x = 0; x < n; ++x)
        d[x] = Op(d[x], s, w);
}

using RunOp = void (*)(PIX_Pixel*, const PIX_Pixel*, int64_t, int);
using FillOp = void (*)(PIX_Pixel*, PIX_Pixel, int64_t, int);

// The run formula for a mode, or null for blends that are not drawn.
RunOp runOp(int mode)
{
    const bool sourceAlpha = (mode & PIX_BLEND_USE_SOURCE_ALPHA) != 0;
    switch (mode & PIX_BLEND_MASK)
    {
    case PIX_BLEND_COPY:
        return sourceAlpha ? applyRun<copySourceAlpha> : applyRun<copyWeighted>;
    case PIX_BLEND_ADD:
        return sourceAlpha ? applyRun<addSourceAlpha> : applyRun<add>;
    case PIX_BLEND_DODGE:
        return sourceAlpha ? applyRun<dodgeSourceAlpha> : applyRun<dodge>;
    default:
        return nullptr;
    }
}

// Fills blend the colour without per-pixel source alpha.
FillOp fillOp(int blend)
{
    switch (blend)
    {
    case PIX_BLEND_COPY:
        return fillRun<copyWeighted>;
    case PIX_BLEND_ADD:
        return fillRun<add>;
    case PIX_BLEND_DODGE:
        return fillRun<dodge>;
    default:
        return nullptr;
    }
}

struct Area
{
    int64_t left, top, right, bottom, dstx, dsty;
};

// Clips the source area and destination position to both bitmaps; false when
// nothing remains.
// A negative coordinate on one side moves the other side on by as much.
void shiftNegative(int64_t& negative, int64_t& other)
{
    if (negative < 0)
    {
        other -= negative;
        negative = 0;
    }
}

bool clip(PIX_IBitmap* dest, PIX_IBitmap* src, Area& a)
{
    shiftNegative(a.left, a.dstx);
    shiftNegative(a.top, a.dsty);
    a.right = std::min<int64_t>(a.right, src->getWidth());
    a.bottom = std::min<int64_t>(a.bottom, src->getHeight());
    shiftNegative(a.dstx, a.left);
    shiftNegative(a.dsty, a.top);
    const int64_t dw = dest->getWidth(), dh = dest->getHeight();
    if (a.right <= a.left || a.bottom <= a.top || a.dstx >= dw || a.dsty >= dh)
        return false;
    a.right = std::min(a.right, a.left + dw - a.dstx);
    a.bottom = std::min(a.bottom, a.top + dh - a.dsty);
    return true;
}

void blitRows(const Rows& d, const Rows& s, const Area& a, float alpha, int mode)
{
    const int width = static_cast<int>(a.right - a.left);
    const int height = static_cast<int>(a.bottom - a.top);
    auto dstRow = [&](int y) { return d.row(static_cast<int>(a.dsty) + y) + a.dstx; };
    auto srcRow = [&](int y) { return s.row(static_cast<int>(a.top) + y) + a.left; };
    const int blend = mode & PIX_BLEND_MASK;

    if (blend >= PIX_BLEND_CHANNEL_COPY)
    {
        const int from = blend & 3, to = (blend >> 2) & 3;
        for (int y = 0; y < height; ++y)
        {
            const unsigned char* sp = reinterpret_cast<const unsigned char*>(srcRow(y));
            unsigned char* dp = reinterpret_cast<unsigned char*>(dstRow(y));
            for (int x = 0; x < width; ++x)
                dp[4 * x + to] = sp[4 * x + from];
        }
        return;
    }
    const bool plainCopy = blend == PIX_BLEND_COPY && !(mode & PIX_BLEND_USE_SOURCE_ALPHA);
    if (plainCopy && alpha == 1.0f)
    {
        for (int y = 0; y < height; ++y)
            std::memmove(dstRow(y), srcRow(y), static_cast<size_t>(width) * sizeof(PIX_Pixel));
        return;
    }
    if (plainCopy && alpha == 0.5f)
    {
        for (int y = 0; y < height; ++y)
        {
            PIX_Pixel* dp = dstRow(y);
            const PIX_Pixel* sp = srcRow(y);
            for (int x = 0; x < width; ++x)
                dp[x] = half(dp[x]) + half(sp[x]);
        }
        return;
    }
    const int w = weightOf(alpha);
    const RunOp op = runOp(mode);
    if (!op || (plainCopy && w <= 0))
        return;
    for (int y = 0; y < height; ++y)
        op(dstRow(y), srcRow(y), width, w);
}

} // namespace

void PIX_Blit(PIX_IBitmap* dest, PIX_IBitmap* src, int dstx, int dsty, const PIX_Rect* srcRect,
              float alpha, int mode)
{
    if (!dest || !src || alpha == 0.0f)
        return;
    Area a{0, 0, src->getWidth(), src->getHeight(), dstx, dsty};
    if (srcRect)
        a = {srcRect->left, srcRect->top, srcRect->right, srcRect->bottom, dstx, dsty};
    if (!clip(dest, src, a) || !dest->getBits() || !src->getBits())
        return;
    blitRows(rowsOf(dest), rowsOf(src), a, alpha, mode);
}

void PIX_Blit(PIX_IBitmap* dest, PIX_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw,
              int srch, float alpha, int mode)
{
    const int64_t right = static_cast<int64_t>(srcx) + srcw;
    const int64_t bottom = static_cast<int64_t>(srcy) + srch;
    const PIX_Rect rect{srcx, srcy,
                        static_cast<int>(std::clamp<int64_t>(right, INT32_MIN, INT32_MAX)),
                        static_cast<int>(std::clamp<int64_t>(bottom, INT32_MIN, INT32_MAX))};
    PIX_Blit(dest, src, dstx, dsty, &rect, alpha, mode);
}

void PIX_FillRect(PIX_IBitmap* dest, int x, int y, int w, int h, PIX_Pixel color, float alpha,
                  int mode)
{
    if (!dest)
        return;
    int64_t left = x, top = y, width = w, height = h;
    if (left < 0)
    {
        width += left;
        left = 0;
    }
    if (top < 0)
    {
        height += top;
        top = 0;
    }
    if (mode & PIX_BLEND_USE_SOURCE_ALPHA)
        alpha *= static_cast<float>(PIX_Channel(color, 0)) / 255.0f;
    const int64_t dw = dest->getWidth(), dh = dest->getHeight();
    if (alpha == 0.0f || !dest->getBits() || width < 1 || height < 1 || left >= dw || top >= dh)
        return;
    width = std::min(width, dw - left);
    height = std::min(height, dh - top);

    const Rows rows = rowsOf(dest);
    const int weight = weightOf(alpha);
    const int blend = mode & PIX_BLEND_MASK;
    // The colour with the weight standing in for its alpha.
    const PIX_Pixel source = (color & 0xFFFFFF00u) | static_cast<PIX_Pixel>(clampByte(weight));
    const FillOp op = fillOp(blend);
    for (int64_t row = 0; row < height; ++row)
    {
        PIX_Pixel* p = rows.row(static_cast<int>(top + row)) + left;
        if (blend != PIX_BLEND_COPY ||
            (weight > 0 && weight < 256 && weight != 64 && weight != 128 && weight != 192))
        {
            if (op && weight > 0)
                op(p, source, width, weight);
            continue;
        }
        for (int64_t i = 0; i < width; ++i)
        {
            if (weight >= 256)
                p[i] = color;
            else if (weight == 128)
                p[i] = half(p[i]) + half(color);
            else if (weight == 64)
                p[i] = half(p[i]) + quarter(p[i]) + quarter(color);
            else if (weight == 192)
                p[i] = quarter(p[i]) + half(color) + quarter(color);
        }
    }
}

void PIX_Copy(PIX_IBitmap* dest, PIX_IBitmap* src)
{
    if (!dest || !src)
        return;
    dest->resize(src->getWidth(), src->getHeight());
    PIX_Blit(dest, src, 0, 0, nullptr, 1.0f, 0);
}
