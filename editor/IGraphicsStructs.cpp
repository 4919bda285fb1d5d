#include "IGraphicsStructs.h"

#include "IParam.h"

#include <algorithm>
#include <cstring>

BitmapStorage s_bitmapCache;
FontStorage s_fontCache;

IRECT::IRECT(int x, int y, const IBitmap* bitmap) : L(x), T(y)
{
    R = x + (bitmap ? bitmap->W : 0);
    B = y + (bitmap && bitmap->N > 0 ? bitmap->H / bitmap->N : 0);
}

bool IRECT::Intersects(const IRECT& r) const
{
    if (Empty() || r.Empty() || R < r.L || L >= r.R || B < r.T)
        return false;
    return T < r.B;
}

IRECT IRECT::Intersect(const IRECT& r) const
{
    if (!Intersects(r))
        return IRECT();
    return IRECT(std::max(L, r.L), std::max(T, r.T), std::min(R, r.R), std::min(B, r.B));
}

IRECT IRECT::Union(const IRECT& r) const
{
    if (Empty())
        return r;
    if (r.Empty())
        return *this;
    return IRECT(std::min(L, r.L), std::min(T, r.T), std::max(R, r.R), std::max(B, r.B));
}

IRECT IRECT::SubRectHorizontal(int n, int i) const
{
    const int w = n > 0 ? W() / n : 0;
    return IRECT(L + w * i, T, L + w * i + w, B);
}

IRECT IRECT::SubRectVertical(int n, int i) const
{
    const int h = n > 0 ? H() / n : 0;
    return IRECT(L, T + h * i, R, T + h * i + h);
}

IText::IText(int size, const IColor* color, const char* font, EStyle style, EAlign align,
             int orientation, EQuality quality, const IColor* textEntryBGColor,
             const IColor* textEntryFGColor)
    : mSize(size), mColor(color ? *color : DEFAULT_TEXT_COLOR),
      mTextEntryBGColor(textEntryBGColor ? *textEntryBGColor : DEFAULT_TEXT_ENTRY_BGCOLOR),
      mTextEntryFGColor(textEntryFGColor ? *textEntryFGColor : DEFAULT_TEXT_ENTRY_FGCOLOR),
      mStyle(style), mAlign(align), mOrientation(orientation), mQuality(quality)
{
    CopyCut(mFont, font ? font : DEFAULT_FONT, kFontNameSize);
}

PIX_Pixel PixColor(const IColor* color)
{
    return PIX_MakePixel(color->A, color->R, color->G, color->B);
}

int PixBlendMode(const IChannelBlend* blend)
{
    if (!blend)
        return PIX_BLEND_COPY | PIX_BLEND_USE_SOURCE_ALPHA;
    switch (blend->mMethod)
    {
    case IChannelBlend::kBlendClobber:
        return PIX_BLEND_COPY;
    case IChannelBlend::kBlendAdd:
        return PIX_BLEND_ADD | PIX_BLEND_USE_SOURCE_ALPHA;
    case IChannelBlend::kBlendColorDodge:
        return PIX_BLEND_DODGE | PIX_BLEND_USE_SOURCE_ALPHA;
    default:
        return PIX_BLEND_COPY | PIX_BLEND_USE_SOURCE_ALPHA;
    }
}

float PixWeight(const IChannelBlend* blend)
{
    return blend ? blend->mWeight : 1.0f;
}

BitmapStorage::~BitmapStorage()
{
    for (const Key& key : mKeys)
        delete key.image;
}

PIX_IBitmap* BitmapStorage::Find(int id)
{
    KIT_MutexLock lock(mMutex);
    for (const Key& key : mKeys)
    {
        if (key.id == id)
            return key.image;
    }
    return nullptr;
}

void BitmapStorage::Add(PIX_IBitmap* image, int id)
{
    KIT_MutexLock lock(mMutex);
    mKeys.push_back({id, image});
}

void BitmapStorage::Remove(PIX_IBitmap* image)
{
    KIT_MutexLock lock(mMutex);
    auto found = std::find_if(mKeys.begin(), mKeys.end(),
                              [image](const Key& key) { return key.image == image; });
    if (found == mKeys.end())
        return;
    delete found->image;
    mKeys.erase(found);
}

FontStorage::~FontStorage()
{
    for (const Key& key : mKeys)
        delete key.font;
}

PIX_IFont* FontStorage::Find(const IText* text)
{
    KIT_MutexLock lock(mMutex);
    for (const Key& key : mKeys)
    {
        if (key.size == text->mSize && key.orientation == text->mOrientation &&
            key.style == text->mStyle && std::strcmp(key.name, text->mFont) == 0)
            return key.font;
    }
    return nullptr;
}

void FontStorage::Add(PIX_IFont* font, const IText* text)
{
    KIT_MutexLock lock(mMutex);
    Key key{text->mSize, text->mOrientation, text->mStyle, {}, font};
    CopyCut(key.name, text->mFont, IText::kFontNameSize);
    mKeys.push_back(key);
}
