#include "PIX.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace
{

const double kPi = 3.141592653589793;

int weightOf(float alpha)
{
    const float scaled = alpha * 256.0f;
    if (!(scaled > 0.0f))
        return 0;
    return scaled >= 256.0f ? 256 : static_cast<int>(scaled);
}

PIX_Pixel blend(PIX_Pixel d, PIX_Pixel s, int w)
{
    if (w >= 256)
        return s;
    PIX_Pixel out = 0;
    for (int c = 0; c < 4; ++c)
    {
        const int sc = PIX_Channel(s, c), dc = PIX_Channel(d, c);
        out |= static_cast<PIX_Pixel>(sc + (dc - sc) * (256 - w) / 256) << (8 * c);
    }
    return out;
}

PIX_Pixel* pixelAt(PIX_IBitmap* bitmap, int64_t x, int64_t y)
{
    if (!bitmap || !bitmap->getBits() || x < 0 || y < 0 || x >= bitmap->getWidth() ||
        y >= bitmap->getHeight())
        return nullptr;
    const int64_t row = bitmap->isFlipped() ? bitmap->getHeight() - 1 - y : y;
    return bitmap->getBits() + row * bitmap->getRowSpan() + x;
}

void plot(PIX_IBitmap* dest, int64_t x, int64_t y, PIX_Pixel color, int w)
{
    if (PIX_Pixel* p = pixelAt(dest, x, y))
        *p = blend(*p, color, w);
}

// A horizontal run x0 ... x1 (inclusive), clipped before touching memory.
void span(PIX_IBitmap* dest, int64_t x0, int64_t x1, int64_t y, PIX_Pixel color, int w)
{
    if (!dest || y < 0 || y >= dest->getHeight())
        return;
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min<int64_t>(x1, dest->getWidth() - 1);
    for (int64_t x = x0; x <= x1; ++x)
        plot(dest, x, y, color, w);
}

// Lines are walked only across the part that can meet the bitmap.
bool clipLine(double& x0, double& y0, double& x1, double& y1, double w, double h)
{
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 + 1.0, w - x0, y0 + 1.0, h - y0};
    for (int i = 0; i < 4; ++i)
    {
        if (p[i] == 0.0)
        {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1)
        return false;
    const double ox = x0, oy = y0;
    x0 = ox + t0 * dx;
    y0 = oy + t0 * dy;
    x1 = ox + t1 * dx;
    y1 = oy + t1 * dy;
    return true;
}

void line(PIX_IBitmap* dest, double fx0, double fy0, double fx1, double fy1, PIX_Pixel color, int w)
{
    if (!dest || !clipLine(fx0, fy0, fx1, fy1, dest->getWidth(), dest->getHeight()))
        return;
    int64_t x0 = std::llround(fx0), y0 = std::llround(fy0);
    const int64_t x1 = std::llround(fx1), y1 = std::llround(fy1);
    const int64_t dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    for (;;)
    {
        plot(dest, x0, y0, color, w);
        if (x0 == x1 && y0 == y1)
            break;
        const int64_t e2 = 2 * err;
        if (e2 >= dy)
        {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx)
        {
            err += dx;
            y0 += sy;
        }
    }
}

// Points of a circle by the midpoint method, each octant's point handed to emit.
template <class Emit> void circlePoints(int64_t radius, Emit emit)
{
    int64_t x = radius, y = 0, err = 1 - radius;
    while (x >= y)
    {
        emit(x, y);
        ++y;
        if (err < 0)
            err += 2 * y + 1;
        else
        {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
}

// The radius up to which a circle can still touch the bitmap.
bool circleVisible(PIX_IBitmap* dest, int64_t cx, int64_t cy, int64_t radius)
{
    return dest && radius >= 0 && cx + radius >= 0 && cy + radius >= 0 &&
           cx - radius < dest->getWidth() && cy - radius < dest->getHeight() &&
           radius <= 4 * static_cast<int64_t>(PIX_kMaxSide);
}

double bilinearChannel(PIX_Pixel p00, PIX_Pixel p10, PIX_Pixel p01, PIX_Pixel p11, int c, double fx,
                       double fy)
{
    const double top = PIX_Channel(p00, c) * (1.0 - fx) + PIX_Channel(p10, c) * fx;
    const double bottom = PIX_Channel(p01, c) * (1.0 - fx) + PIX_Channel(p11, c) * fx;
    return top * (1.0 - fy) + bottom * fy;
}

// The source sampled at (u, v) in pixel-centre coordinates, edges extended.
PIX_Pixel sampleBilinear(PIX_IBitmap* src, const PIX_Rect& area, double u, double v)
{
    const double fu = std::floor(u), fv = std::floor(v);
    auto at = [&](double x, double y)
    {
        const int64_t cx = std::clamp<int64_t>(static_cast<int64_t>(x), area.left, area.right - 1);
        const int64_t cy = std::clamp<int64_t>(static_cast<int64_t>(y), area.top, area.bottom - 1);
        return *pixelAt(src, cx, cy);
    };
    const PIX_Pixel p00 = at(fu, fv), p10 = at(fu + 1, fv), p01 = at(fu, fv + 1),
                    p11 = at(fu + 1, fv + 1);
    PIX_Pixel out = 0;
    for (int c = 0; c < 4; ++c)
    {
        const double value = bilinearChannel(p00, p10, p01, p11, c, u - fu, v - fv);
        out |= static_cast<PIX_Pixel>(std::clamp(std::lround(value), 0L, 255L)) << (8 * c);
    }
    return out;
}

bool validArea(PIX_IBitmap* bitmap, const PIX_Rect& r)
{
    return bitmap && bitmap->getBits() && r.left >= 0 && r.top >= 0 && r.right > r.left &&
           r.bottom > r.top && r.right <= bitmap->getWidth() && r.bottom <= bitmap->getHeight();
}

} // namespace

PIX_Pixel PIX_GetPoint(PIX_IBitmap* src, int x, int y)
{
    const PIX_Pixel* p = pixelAt(src, x, y);
    return p ? *p : 0;
}

void PIX_DrawPoint(PIX_IBitmap* dest, int x, int y, PIX_Pixel color, float alpha)
{
    plot(dest, x, y, color, weightOf(alpha));
}

void PIX_DrawLine(PIX_IBitmap* dest, int x1, int y1, int x2, int y2, PIX_Pixel color, float alpha)
{
    line(dest, x1, y1, x2, y2, color, weightOf(alpha));
}

void PIX_DrawCircle(PIX_IBitmap* dest, int cx, int cy, int radius, PIX_Pixel color, float alpha)
{
    if (!circleVisible(dest, cx, cy, radius))
        return;
    const int w = weightOf(alpha);
    circlePoints(radius,
                 [&](int64_t x, int64_t y)
                 {
                     const int64_t xs[8] = {x, y, -y, -x, -x, -y, y, x};
                     const int64_t ys[8] = {y, x, x, y, -y, -x, -x, -y};
                     for (int i = 0; i < 8; ++i)
                         plot(dest, cx + xs[i], cy + ys[i], color, w);
                 });
}

void PIX_FillCircle(PIX_IBitmap* dest, int cx, int cy, int radius, PIX_Pixel color, float alpha)
{
    if (!circleVisible(dest, cx, cy, radius))
        return;
    const int w = weightOf(alpha);
    const int64_t r = radius;
    for (int64_t dy = -r; dy <= r; ++dy)
    {
        const int64_t half = static_cast<int64_t>(std::sqrt(static_cast<double>(r * r - dy * dy)));
        span(dest, cx - half, cx + half, cy + dy, color, w);
    }
}

void PIX_DrawArc(PIX_IBitmap* dest, int cx, int cy, int radius, float startAngle, float endAngle,
                 PIX_Pixel color, float alpha)
{
    if (!circleVisible(dest, cx, cy, radius) || !(endAngle >= startAngle) ||
        !std::isfinite(startAngle) || !std::isfinite(endAngle))
        return;
    const double sweep = std::min(static_cast<double>(endAngle) - startAngle, 360.0);
    const int steps = std::max(1, static_cast<int>(sweep / 360.0 * 8.0 * radius));
    const int w = weightOf(alpha);
    double px = 0, py = 0;
    for (int i = 0; i <= steps; ++i)
    {
        const double a = (startAngle + sweep * i / steps) * kPi / 180.0;
        const double x = cx + radius * std::sin(a), y = cy - radius * std::cos(a);
        if (i > 0)
            line(dest, px, py, x, y, color, w);
        px = x;
        py = y;
    }
}

void PIX_DrawRadialLine(PIX_IBitmap* dest, int cx, int cy, float angle, int innerRadius,
                        int outerRadius, PIX_Pixel color, float alpha)
{
    if (!std::isfinite(angle))
        return;
    const double a = angle * kPi / 180.0, s = std::sin(a), c = std::cos(a);
    line(dest, cx + innerRadius * s, cy - innerRadius * c, cx + outerRadius * s,
         cy - outerRadius * c, color, weightOf(alpha));
}

void PIX_FillConvexPolygon(PIX_IBitmap* dest, const int* xs, const int* ys, int count,
                           PIX_Pixel color, float alpha)
{
    if (!dest || !xs || !ys || count < 3)
        return;
    const int64_t top = std::max<int64_t>(*std::min_element(ys, ys + count), 0);
    const int64_t bottom =
        std::min<int64_t>(*std::max_element(ys, ys + count), dest->getHeight() - 1);
    const int w = weightOf(alpha);
    for (int64_t y = top; y <= bottom; ++y)
    {
        // The polygon's extent along this row, sampled at the pixel centre.
        const double yc = y + 0.5;
        double lo = INFINITY, hi = -INFINITY;
        for (int i = 0; i < count; ++i)
        {
            const double x0 = xs[i], y0 = ys[i];
            const double x1 = xs[(i + 1) % count], y1 = ys[(i + 1) % count];
            if ((yc < std::min(y0, y1)) || (yc > std::max(y0, y1)) || y0 == y1)
                continue;
            const double x = x0 + (yc - y0) * (x1 - x0) / (y1 - y0);
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        if (lo <= hi)
            span(dest, static_cast<int64_t>(std::ceil(lo - 0.5)),
                 static_cast<int64_t>(std::floor(hi - 0.5)), y, color, w);
    }
}

void PIX_FillTriangle(PIX_IBitmap* dest, int x1, int y1, int x2, int y2, int x3, int y3,
                      PIX_Pixel color, float alpha)
{
    const int xs[3] = {x1, x2, x3}, ys[3] = {y1, y2, y3};
    PIX_FillConvexPolygon(dest, xs, ys, 3, color, alpha);
}

void PIX_DrawRoundRect(PIX_IBitmap* dest, int x, int y, int w, int h, int radius, PIX_Pixel color,
                       float alpha)
{
    if (!dest || w < 1 || h < 1)
        return;
    const int64_t r = std::clamp<int64_t>(radius, 0, std::min(w, h) / 2);
    const int64_t left = x, top = y, right = left + w - 1, bottom = top + h - 1;
    const int weight = weightOf(alpha);
    line(dest, left + r, top, right - r, top, color, weight);
    line(dest, left + r, bottom, right - r, bottom, color, weight);
    line(dest, left, top + r, left, bottom - r, color, weight);
    line(dest, right, top + r, right, bottom - r, color, weight);
    if (r == 0 || !circleVisible(dest, (left + right) / 2, (top + bottom) / 2, w / 2 + h / 2))
        return;
    circlePoints(r,
                 [&](int64_t px, int64_t py)
                 {
                     for (const auto& q : {std::pair<int64_t, int64_t>{px, py}, {py, px}})
                     {
                         plot(dest, right - r + q.first, bottom - r + q.second, color, weight);
                         plot(dest, left + r - q.first, bottom - r + q.second, color, weight);
                         plot(dest, right - r + q.first, top + r - q.second, color, weight);
                         plot(dest, left + r - q.first, top + r - q.second, color, weight);
                     }
                 });
}

void PIX_ScaledBlit(PIX_IBitmap* dest, const PIX_Rect* dstRect, PIX_IBitmap* src,
                    const PIX_Rect* srcRect, float alpha)
{
    if (!dest || !dest->getBits() || !src || !dstRect || !srcRect || !validArea(src, *srcRect) ||
        dstRect->right <= dstRect->left || dstRect->bottom <= dstRect->top)
        return;
    const int w = weightOf(alpha);
    const double scaleX = static_cast<double>(srcRect->right - srcRect->left) /
                          (static_cast<double>(dstRect->right) - dstRect->left);
    const double scaleY = static_cast<double>(srcRect->bottom - srcRect->top) /
                          (static_cast<double>(dstRect->bottom) - dstRect->top);
    const int64_t x0 = std::max<int64_t>(dstRect->left, 0);
    const int64_t y0 = std::max<int64_t>(dstRect->top, 0);
    const int64_t x1 = std::min<int64_t>(dstRect->right, dest->getWidth());
    const int64_t y1 = std::min<int64_t>(dstRect->bottom, dest->getHeight());
    for (int64_t y = y0; y < y1; ++y)
    {
        const double v = srcRect->top + (y - dstRect->top + 0.5) * scaleY - 0.5;
        for (int64_t x = x0; x < x1; ++x)
        {
            const double u = srcRect->left + (x - dstRect->left + 0.5) * scaleX - 0.5;
            plot(dest, x, y, sampleBilinear(src, *srcRect, u, v), w);
        }
    }
}

void PIX_RotatedBlit(PIX_IBitmap* dest, PIX_IBitmap* src, int cx, int cy, double angle, float alpha)
{
    if (!dest || !dest->getBits() || !src || !std::isfinite(angle))
        return;
    const PIX_Rect all{0, 0, src->getWidth(), src->getHeight()};
    if (!validArea(src, all))
        return;
    const double a = angle * kPi / 180.0, s = std::sin(a), c = std::cos(a);
    const double halfW = all.right / 2.0, halfH = all.bottom / 2.0;
    const double reach = std::ceil(std::hypot(halfW, halfH)) + 1.0;
    const int64_t x0 = std::max<int64_t>(static_cast<int64_t>(cx - reach), 0);
    const int64_t y0 = std::max<int64_t>(static_cast<int64_t>(cy - reach), 0);
    const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(cx + reach), dest->getWidth() - 1);
    const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(cy + reach), dest->getHeight() - 1);
    const int w = weightOf(alpha);
    for (int64_t y = y0; y <= y1; ++y)
    {
        for (int64_t x = x0; x <= x1; ++x)
        {
            // Rotate the destination point back into the source.
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double u = c * dx + s * dy + halfW - 0.5;
            const double v = -s * dx + c * dy + halfH - 0.5;
            if (u < -0.5 || v < -0.5 || u > all.right - 0.5 || v > all.bottom - 0.5)
                continue;
            const PIX_Pixel sample = sampleBilinear(src, all, u, v);
            const int sa = PIX_Channel(sample, 0);
            if (sa == 0)
                continue;
            plot(dest, x, y, sample, w * (sa + 1) / 256);
        }
    }
}
