#pragma once

#include "IPluginStructs.h"
#include "KIT_Mutex.h"
#include "PIX_Font.h"

#include <vector>

// The editor's small value types, their conversions for the raster library, and
// the process-wide caches that own every decoded image and created font.

// A rectangle in editor pixels: L and T inclusive, R and B exclusive.
struct IBitmap;
struct IRECT
{
    int L = 0, T = 0, R = 0, B = 0;

    IRECT() = default;
    IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}
    // One frame of a vertically stacked strip at (x, y).
    IRECT(int x, int y, const IBitmap* bitmap);

    int W() const { return R - L; }
    int H() const { return B - T; }
    float MW() const { return 0.5f * static_cast<float>(L + R); }
    float MH() const { return 0.5f * static_cast<float>(T + B); }
    // Only the all-zero rectangle is empty; a zero-area one elsewhere is not.
    bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
    // Touching at this rectangle's right or bottom edge counts as intersecting.
    bool Intersects(const IRECT& r) const;
    IRECT Intersect(const IRECT& r) const;
    IRECT Union(const IRECT& r) const;
    IRECT SubRectHorizontal(int n, int i) const;
    IRECT SubRectVertical(int n, int i) const;
    bool operator==(const IRECT& r) const { return L == r.L && T == r.T && R == r.R && B == r.B; }
    bool operator!=(const IRECT& r) const { return !(*this == r); }
};

struct IChannelBlend
{
    enum EBlendMethod : int
    {
        kBlendNone = 0,
        kBlendClobber = 1,
        kBlendAdd = 2,
        kBlendColorDodge = 3
    };

    EBlendMethod mMethod;
    float mWeight;

    IChannelBlend(EBlendMethod method = kBlendNone, float weight = 1.0f)
        : mMethod(method), mWeight(weight)
    {
    }
};

const IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
const IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
const IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;
// Linux has no "Monaco": fontconfig falls back through the list.
#define DEFAULT_FONT "Monaco,monospace"

struct IText
{
    static const int kFontNameSize = 32;

    enum EStyle
    {
        kStyleNormal = 0,
        kStyleBold = 1,
        kStyleItalic = 2
    };
    enum EAlign
    {
        kAlignNear = 0,
        kAlignCenter = 1,
        kAlignFar = 2
    };
    enum EQuality
    {
        kQualityDefault = 0,
        kQualityNonAntiAliased = 1,
        kQualityAntiAliased = 2,
        kQualityClearType = 3
    };

    char mFont[kFontNameSize];
    int mSize;
    IColor mColor;
    IColor mTextEntryBGColor;
    IColor mTextEntryFGColor;
    EStyle mStyle;
    EAlign mAlign;
    int mOrientation;
    EQuality mQuality;
    PIX_IFont* mCached = nullptr; // owned by the font cache

    IText(int size = 14, const IColor* color = nullptr, const char* font = nullptr,
          EStyle style = kStyleNormal, EAlign align = kAlignCenter, int orientation = 0,
          EQuality quality = kQualityDefault, const IColor* textEntryBGColor = nullptr,
          const IColor* textEntryFGColor = nullptr);
};

struct IMouseMod
{
    bool L, R, S, C, A;
    IMouseMod(bool l = false, bool r = false, bool s = false, bool c = false, bool a = false)
        : L(l), R(r), S(s), C(c), A(a)
    {
    }
};

// One loaded image, possibly a strip of equally sized frames; the image belongs
// to the image cache.
struct IBitmap
{
    PIX_IBitmap* mData;
    int W, H, N;
    bool mFramesAreHorizontal;

    IBitmap(PIX_IBitmap* data = nullptr, int w = 0, int h = 0, int n = 1,
            bool framesAreHorizontal = false)
        : mData(data), W(w), H(h), N(n), mFramesAreHorizontal(framesAreHorizontal)
    {
    }
};

PIX_Pixel PixColor(const IColor* color);
int PixBlendMode(const IChannelBlend* blend);
float PixWeight(const IChannelBlend* blend);

// Images by resource id, shared by every editor in the process.
class BitmapStorage
{
public:
    ~BitmapStorage();
    // The image first stored under the id, or null.
    PIX_IBitmap* Find(int id);
    void Add(PIX_IBitmap* image, int id);
    // Deletes the image and its key.
    void Remove(PIX_IBitmap* image);

private:
    struct Key
    {
        int id;
        PIX_IBitmap* image;
    };
    KIT_Mutex mMutex;
    std::vector<Key> mKeys;
};

// Fonts by size, orientation, style and family name, shared likewise.
class FontStorage
{
public:
    ~FontStorage();
    PIX_IFont* Find(const IText* text);
    // Takes ownership of the font.
    void Add(PIX_IFont* font, const IText* text);

private:
    struct Key
    {
        int size, orientation, style;
        char name[IText::kFontNameSize];
        PIX_IFont* font;
    };
    KIT_Mutex mMutex;
    std::vector<Key> mKeys;
};

extern BitmapStorage s_bitmapCache;
extern FontStorage s_fontCache;
