#include "IGraphics.h"

#include "IControl.h"
#include "IPluginBase.h"
#include "KIT_Assert.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace
{

const int kDefaultFPS = 25;

PIX_Rect toPixRect(const IRECT& r)
{
    return {r.L, r.T, r.R, r.B};
}

} // namespace

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps < 1 ? kDefaultFPS : fps)
{
}

IGraphics::~IGraphics()
{
    delete mKeyCatcher;
    mControls.DeleteAll();
    delete mDrawBitmap;
    delete mTmpBitmap;
}

void IGraphics::PrepDraw()
{
    delete mDrawBitmap;
    delete mTmpBitmap;
    mDrawBitmap = new PIX_SysBitmap(mWidth, mHeight);
    mTmpBitmap = new PIX_MemBitmap();
}

void IGraphics::AttachBackground(int id, const char* name)
{
    IBitmap background = LoadIBitmap(id, name, 1);
    mControls.Insert(0, new IBitmapControl(mPlug, 0, 0, -1, &background,
                                           IChannelBlend::kBlendClobber));
}

void IGraphics::AttachPanelBackground(const IColor* color)
{
    mControls.Insert(0, new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color));
}

int IGraphics::AttachControl(IControl* control)
{
    mControls.Add(control);
    return mControls.GetSize() - 1;
}

void IGraphics::AttachKeyCatcher(IControl* control)
{
    delete mKeyCatcher;
    mKeyCatcher = control;
}

void IGraphics::EnableTooltips(bool enable)
{
    mEnableTooltips = enable;
    if (enable)
        mHandleMouseOver = true;
}

void IGraphics::SetStrictDrawing(bool strict)
{
    mStrict = strict;
    SetAllControlsDirty();
}

IBitmap IGraphics::LoadIBitmap(int id, const char* name, int nStates, bool framesAreHorizontal)
{
    PIX_IBitmap* image = s_bitmapCache.Find(id);
    if (!image)
    {
        image = OSLoadBitmap(id, name);
        const bool imgResourceFound = image != nullptr;
        KIT_ASSERT_MSG(imgResourceFound, DescribeMissingImage(name).c_str());
        s_bitmapCache.Add(image, id);
    }
    return IBitmap(image, image->getWidth(), image->getHeight(), nStates, framesAreHorizontal);
}

bool IGraphics::IsBitmapCached(int id)
{
    return s_bitmapCache.Find(id) != nullptr;
}

void IGraphics::CacheBitmap(PIX_IBitmap* image, int id)
{
    s_bitmapCache.Add(image, id);
}

std::string IGraphics::DescribeMissingImage(const char* name)
{
    return std::string("no image '") + (name ? name : "") + "'";
}

void IGraphics::Resize(int w, int h)
{
    mWidth = w;
    mHeight = h;
    ReleaseMouseCapture();
    mControls.DeleteAll();
    delete mDrawBitmap;
    delete mTmpBitmap;
    mDrawBitmap = nullptr;
    mTmpBitmap = nullptr;
    PrepDraw();
    if (mPlug)
        mPlug->ResizeGraphics(w, h);
}

template <class Action> void IGraphics::ForEachControlOf(int paramIdx, Action action)
{
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* control = mControls.Get(i);
        if (control->ParamIdx() == paramIdx)
            action(control);
    }
}

void IGraphics::HideControl(int paramIdx, bool hide)
{
    ForEachControlOf(paramIdx, [hide](IControl* c) { c->Hide(hide); });
}

void IGraphics::GrayOutControl(int paramIdx, bool gray)
{
    ForEachControlOf(paramIdx, [gray](IControl* c) { c->GrayOut(gray); });
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized)
{
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!normalized && param)
    {
        lo = param->GetNormalized(lo);
        hi = param->GetNormalized(hi);
    }
    ForEachControlOf(paramIdx, [lo, hi](IControl* c) { c->Clamp(lo, hi); });
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!normalized && param)
        value = param->GetNormalized(value);
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* control = mControls.Get(i);
        if (control->ParamIdx() == paramIdx)
            control->SetValueFromPlug(value);
        const int aux = control->AuxParamIdx(paramIdx);
        if (aux > -1)
            control->SetAuxParamValueFromPlug(aux, value);
    }
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue)
{
    if (IControl* control = mControls.Get(controlIdx))
        control->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
    ForEachControlOf(paramIdx, [normalizedValue](IControl* c)
                     { c->SetValueFromUserInput(normalizedValue); });
}

void IGraphics::SetAllControlsDirty()
{
    for (int i = 0; i < mControls.GetSize(); ++i)
        mControls.Get(i)->SetDirty(false);
}

void IGraphics::AssignParamNameToolTips()
{
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* control = mControls.Get(i);
        if (IParam* param = control->GetParam())
            control->SetTooltip(param->GetNameForHost());
    }
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, IRECT* textRect)
{
    if (!control || !param || !textRect)
        return;
    const IParam::EParamType type = param->Type();
    const int nTexts = param->GetNDisplayTexts();
    if (type == IParam::kTypeEnum || (type == IParam::kTypeBool && nTexts > 0))
    {
        char current[IParam::kDisplaySize];
        param->GetDisplayForHost(current, sizeof current);
        IPopupMenu menu;
        for (int i = 0; i < nTexts; ++i)
        {
            const char* text = param->GetDisplayTextAtIdx(i);
            menu.AddItem(text, -1, std::string(text) == current ? IPopupMenuItem::kChecked : 0);
        }
        if (CreateIPopupMenu(&menu, textRect))
            control->SetValueFromUserInput(param->GetNormalized(menu.GetChosenItemIdx()));
        return;
    }
    char current[IParam::kDisplaySize];
    param->GetDisplayForHostNoDisplayText(current, sizeof current);
    CreateTextEntry(control, control->GetText(), textRect, current, param);
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text)
{
    if (!control || !param || !text)
        return;
    double value = 0.0;
    const IParam::EParamType type = param->Type();
    if (type == IParam::kTypeEnum || type == IParam::kTypeBool)
    {
        int mapped = 0;
        if (param->MapDisplayText(text, &mapped))
            value = mapped;
    }
    else
    {
        value = std::strtod(text, nullptr);
        if (param->DisplayIsNegated())
            value = -value;
    }
    control->SetValueFromUserInput(param->GetNormalized(value));
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY,
                           const IChannelBlend* blend)
{
    if (!bitmap || !bitmap->mData || !dest || !mDrawBitmap)
        return true; // nothing loaded: nothing to draw
    const IRECT r = dest->Intersect(mDrawRECT);
    if (r.Empty())
        return true;
    srcX += r.L - dest->L;
    srcY += r.T - dest->T;
    PIX_Blit(mDrawBitmap, bitmap->mData, r.L, r.T, srcX, srcY, r.W(), r.H(), PixWeight(blend),
             PixBlendMode(blend));
    return true;
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int state, const IChannelBlend* blend)
{
    int srcX = 0, srcY = 0;
    if (bitmap && bitmap->N > 1 && state > 1)
    {
        state = std::min(state, bitmap->N); // past the last frame lies no image
        const double step = static_cast<double>(state - 1) / bitmap->N;
        if (bitmap->mFramesAreHorizontal)
            srcX = static_cast<int>(std::floor(0.5 + bitmap->W * step));
        else
            srcY = static_cast<int>(std::floor(0.5 + bitmap->H * step));
    }
    return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

bool IGraphics::DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle,
                                  int yOffsetZeroDeg, const IChannelBlend* blend)
{
    if (!bitmap || !bitmap->mData || !mDrawBitmap)
        return true;
    PIX_RotatedBlit(mDrawBitmap, bitmap->mData, destCtrX, destCtrY + yOffsetZeroDeg, angle,
                    PixWeight(blend));
    return true;
}

bool IGraphics::DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y,
                                double angle, const IChannelBlend* blend)
{
    IRECT r(x, y, base);
    DrawBitmap(base, &r, 0, 0, blend);
    if (mask)
        DrawRotatedBitmap(mask, static_cast<int>(r.MW()), static_cast<int>(r.MH()), angle, 0,
                          blend);
    return DrawBitmap(top, &r, 0, 0, blend);
}

bool IGraphics::DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend, bool)
{
    PIX_DrawPoint(mDrawBitmap, static_cast<int>(x), static_cast<int>(y), PixColor(color),
                  PixWeight(blend));
    return true;
}

bool IGraphics::ForcePixel(const IColor* color, int x, int y)
{
    PIX_DrawPoint(mDrawBitmap, x, y, PixColor(color), 1.0f);
    return true;
}

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2,
                         const IChannelBlend* blend, bool)
{
    PIX_DrawLine(mDrawBitmap, static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2),
                 static_cast<int>(y2), PixColor(color), PixWeight(blend));
    return true;
}

bool IGraphics::DrawArc(const IColor* color, float cx, float cy, float r, float minAngle,
                        float maxAngle, const IChannelBlend* blend, bool)
{
    PIX_DrawArc(mDrawBitmap, static_cast<int>(cx), static_cast<int>(cy), static_cast<int>(r),
                minAngle, maxAngle, PixColor(color), PixWeight(blend));
    return true;
}

bool IGraphics::DrawCircle(const IColor* color, float cx, float cy, float r,
                           const IChannelBlend* blend, bool)
{
    PIX_DrawCircle(mDrawBitmap, static_cast<int>(cx), static_cast<int>(cy), static_cast<int>(r),
                   PixColor(color), PixWeight(blend));
    return true;
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin,
                               float rMax, const IChannelBlend* blend, bool)
{
    PIX_DrawRadialLine(mDrawBitmap, static_cast<int>(cx), static_cast<int>(cy),
                       angle * 180.0f / 3.14159265f, static_cast<int>(rMin),
                       static_cast<int>(rMax), PixColor(color), PixWeight(blend));
    return true;
}

bool IGraphics::FillCircle(const IColor* color, int cx, int cy, float r,
                           const IChannelBlend* blend, bool)
{
    PIX_FillCircle(mDrawBitmap, cx, cy, static_cast<int>(r), PixColor(color), PixWeight(blend));
    return true;
}

bool IGraphics::FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                             const IChannelBlend* blend)
{
    PIX_FillTriangle(mDrawBitmap, x1, y1, x2, y2, x3, y3, PixColor(color), PixWeight(blend));
    return true;
}

bool IGraphics::FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints,
                                   const IChannelBlend* blend)
{
    PIX_FillConvexPolygon(mDrawBitmap, x, y, npoints, PixColor(color), PixWeight(blend));
    return true;
}

bool IGraphics::DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi)
{
    PIX_DrawLine(mDrawBitmap, xi, yLo, xi, yHi, PixColor(color), 1.0f);
    return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi)
{
    PIX_DrawLine(mDrawBitmap, xLo, yi, xHi, yi, PixColor(color), 1.0f);
    return true;
}

IColor IGraphics::GetPoint(int x, int y)
{
    const PIX_Pixel p = PIX_GetPoint(mDrawBitmap, x, y);
    return IColor(PIX_Channel(p, 0), PIX_Channel(p, 1), PIX_Channel(p, 2), PIX_Channel(p, 3));
}

IBitmap IGraphics::CacheDerived(IBitmap* source, PIX_IBitmap* image, int w, int h)
{
    s_bitmapCache.Add(image, -1); // derived images have no resource id of their own
    return IBitmap(image, w, h, source->N, source->mFramesAreHorizontal);
}

IBitmap IGraphics::ScaleBitmap(IBitmap* source, int destW, int destH)
{
    if (!source || !source->mData || destW < 1 || destH < 1)
        return IBitmap();
    auto* image = new PIX_MemBitmap(destW, destH);
    const PIX_Rect to = {0, 0, destW, destH};
    const PIX_Rect from = {0, 0, source->W, source->H};
    PIX_ScaledBlit(image, &to, source->mData, &from, 1.0f);
    return CacheDerived(source, image, destW, destH);
}

IBitmap IGraphics::CropBitmap(IBitmap* source, IRECT* r)
{
    if (!source || !source->mData || !r)
        return IBitmap();
    const IRECT area = r->Intersect(IRECT(0, 0, source->W, source->H));
    if (area.Empty() || area.W() < 1 || area.H() < 1)
        return IBitmap();
    auto* image = new PIX_MemBitmap(area.W(), area.H());
    PIX_Blit(image, source->mData, 0, 0, area.L, area.T, area.W(), area.H(), 1.0f, PIX_BLEND_COPY);
    return CacheDerived(source, image, area.W(), area.H());
}

bool IGraphics::FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend)
{
    const IRECT area = r->Intersect(mDrawRECT);
    if (!area.Empty())
        PIX_FillRect(mDrawBitmap, area.L, area.T, area.W(), area.H(), PixColor(color),
                     PixWeight(blend), PixBlendMode(blend));
    return true;
}

bool IGraphics::DrawRect(const IColor* color, IRECT* r)
{
    DrawHorizontalLine(color, r->T, r->L, r->R);
    DrawHorizontalLine(color, r->B, r->L, r->R);
    DrawVerticalLine(color, r->L, r->T, r->B);
    DrawVerticalLine(color, r->R, r->T, r->B);
    return true;
}

bool IGraphics::RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend,
                          int cornerRadius, bool)
{
    PIX_DrawRoundRect(mDrawBitmap, r->L, r->T, r->W(), r->H(), cornerRadius, PixColor(color),
                      PixWeight(blend));
    return true;
}

bool IGraphics::FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend,
                              int cornerRadius, bool)
{
    const int cr = cornerRadius, w = r->W(), h = r->H();
    const PIX_Pixel pixel = PixColor(color);
    const float weight = PixWeight(blend);
    const int mode = PixBlendMode(blend);
    PIX_FillRect(mDrawBitmap, r->L + cr, r->T, w - 2 * cr, h, pixel, weight, mode);
    PIX_FillRect(mDrawBitmap, r->L, r->T + cr, cr, h - 2 * cr, pixel, weight, mode);
    PIX_FillRect(mDrawBitmap, r->L + w - cr, r->T + cr, cr, h - 2 * cr, pixel, weight, mode);
    PIX_FillCircle(mDrawBitmap, r->L + cr, r->T + cr, cr, pixel, weight);
    PIX_FillCircle(mDrawBitmap, r->L + w - cr - 1, r->T + h - cr - 1, cr, pixel, weight);
    PIX_FillCircle(mDrawBitmap, r->L + w - cr - 1, r->T + cr, cr, pixel, weight);
    PIX_FillCircle(mDrawBitmap, r->L + cr, r->T + h - cr - 1, cr, pixel, weight);
    return true;
}

PIX_IFont* IGraphics::CacheFont(IText* text)
{
    if (PIX_IFont* cached = s_fontCache.Find(text))
        return text->mCached = cached;
    PIX_FontRequest request;
    request.family = text->mFont;
    request.orientation = 10 * text->mOrientation;
    request.weight = text->mStyle == IText::kStyleBold ? 700 : 400;
    request.italic = text->mStyle == IText::kStyleItalic;
    request.quality = text->mQuality == IText::kQualityNonAntiAliased ? PIX_FONT_NONANTIALIASED
                   : text->mQuality == IText::kQualityDefault      ? PIX_FONT_DEFAULT
                                                                   : PIX_FONT_ANTIALIASED;
    int h = text->mSize;
    std::unique_ptr<PIX_IFont> font;
    // One correction brings the line height as close as it gets to the size asked.
    for (bool corrected = false;;)
    {
        request.height = std::max(h, 2);
        font = PIX_CreateFont(request);
        if (!font)
            return nullptr;
        const int lineHeight = font->GetLineHeight();
        if (lineHeight == h || lineHeight < 1 || corrected)
            break;
        h = static_cast<int>(std::floor(static_cast<double>(h) * h / lineHeight + 0.5));
        corrected = true;
    }
    s_fontCache.Add(font.get(), text);
    return text->mCached = font.release();
}

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* r, bool measure)
{
    if (!str || !str[0])
        return true;
    PIX_IFont* font = text->mCached ? text->mCached : CacheFont(text);
    if (!font)
        return false;
    font->SetTextColor(PixColor(&text->mColor));
    int flags = PIX_DT_NOCLIP | (text->mColor.A < 255 ? PIX_DT_USEFGALPHA : 0);
    flags |= text->mAlign == IText::kAlignCenter ? PIX_DT_CENTER
             : text->mAlign == IText::kAlignFar  ? PIX_DT_RIGHT
                                                 : PIX_DT_LEFT;
    if (measure)
    {
        PIX_Rect extent = {0, 0, 0, 0};
        font->DrawText(nullptr, str, &extent, flags | PIX_DT_CALCRECT);
        const int w = extent.right - extent.left, h = extent.bottom - extent.top;
        if (text->mAlign == IText::kAlignNear)
            r->R = r->L + w;
        else if (text->mAlign == IText::kAlignCenter)
        {
            r->L = static_cast<int>(std::floor(r->MW())) - w / 2;
            r->R = r->L + w;
        }
        else
            r->L = r->R - w;
        r->B = r->T + h;
        return true;
    }
    if (!mDrawBitmap)
        return true;
    PIX_Rect area = toPixRect(*r);
    font->DrawText(mDrawBitmap, str, &area, flags);
    return true;
}

bool IGraphics::MeasureIText(IText* text, const char* str, IRECT* r)
{
    return DrawIText(text, str, r, true);
}

int IGraphics::GetMouseControlIdx(int x, int y, bool mouseOver)
{
    if (mMouseCapture >= 0)
        return mMouseCapture;
    for (int i = mControls.GetSize() - 1; i >= 0; --i)
    {
        IControl* control = mControls.Get(i);
        const bool grayedOut = control->IsGrayed() && !(mouseOver && control->GetMOWhenGrayed());
        if (!control->IsHidden() && !grayedOut && control->IsHit(x, y))
            return i;
    }
    return -1;
}

void IGraphics::ReleaseMouseCapture()
{
    mMouseCapture = mMouseX = mMouseY = -1;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod)
{
    ReleaseMouseCapture();
    const int idx = GetMouseControlIdx(x, y);
    if (idx < 0)
        return;
    IControl* control = mControls.Get(idx);
    mMouseCapture = idx;
    mMouseX = x;
    mMouseY = y;
    if (control->ParamIdx() >= 0 && mPlug)
        mPlug->BeginInformHostOfParamChange(control->ParamIdx());
    control->OnMouseDown(x, y, mod);
}

// A gesture ends only where a press began one: the host hears no end it was
// not told the beginning of.
void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod)
{
    const bool pressed = mMouseCapture >= 0;
    const int idx = GetMouseControlIdx(x, y);
    ReleaseMouseCapture();
    IControl* control = mControls.Get(idx);
    if (!control)
        return;
    control->OnMouseUp(x, y, mod);
    if (pressed && control->ParamIdx() >= 0 && mPlug)
        mPlug->EndInformHostOfParamChange(control->ParamIdx());
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod)
{
    IControl* control = mControls.Get(mMouseCapture);
    if (!control)
        return;
    const int dX = x - mMouseX, dY = y - mMouseY;
    if (dX == 0 && dY == 0)
        return;
    mMouseX = x;
    mMouseY = y;
    control->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod)
{
    ReleaseMouseCapture();
    const int idx = GetMouseControlIdx(x, y);
    IControl* control = mControls.Get(idx);
    if (!control)
        return false;
    if (control->MouseDblAsSingleClick())
    {
        mMouseCapture = idx;
        mMouseX = x;
        mMouseY = y;
        control->OnMouseDown(x, y, mod);
        return true;
    }
    control->OnMouseDblClick(x, y, mod);
    return false;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d)
{
    if (IControl* control = mControls.Get(GetMouseControlIdx(x, y)))
        control->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::WheelTurnsAt(int x, int y)
{
    const IControl* control = mControls.Get(GetMouseControlIdx(x, y));
    return control && control->ParamIdx() >= 0;
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod)
{
    if (!mHandleMouseOver)
        return false;
    const int idx = GetMouseControlIdx(x, y, true);
    if (IControl* control = mControls.Get(idx))
    {
        mMouseX = x;
        mMouseY = y;
        control->OnMouseOver(x, y, mod);
        if (mMouseOver >= 0 && mMouseOver != idx)
        {
            if (IControl* previous = mControls.Get(mMouseOver))
                previous->OnMouseOut();
        }
    }
    mMouseOver = idx;
    return true;
}

void IGraphics::OnMouseOut()
{
    for (int i = 0; i < mControls.GetSize(); ++i)
        mControls.Get(i)->OnMouseOut();
    mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key)
{
    const int idx = GetMouseControlIdx(x, y);
    if (idx > 0)
        return mControls.Get(idx)->OnKeyDown(x, y, key);
    return mKeyCatcher ? mKeyCatcher->OnKeyDown(x, y, key) : false;
}

bool IGraphics::IsDirty(IRECT* r)
{
    bool dirty = false;
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* control = mControls.Get(i);
        if (control->IsDirty())
        {
            *r = r->Union(control->GetRECT());
            dirty = true;
        }
    }
    return dirty;
}

void IGraphics::DrawControl(IControl* control, int idx)
{
    if (!control->IsHidden() || idx == 0)
        control->Draw(this);
}

bool IGraphics::DrawControlsStrict(IRECT* r)
{
    mDrawRECT = *r;
    for (int i = 0; i < mControls.GetSize(); ++i)
    {
        IControl* control = mControls.Get(i);
        if (!control->IsHidden() && r->Intersects(control->GetRECT()))
            control->Draw(this);
        control->SetClean();
    }
    return true;
}

void IGraphics::DrawControlsAfterDirty()
{
    IControl* background = mControls.Get(0);
    if (background->IsDirty())
    {
        mDrawRECT = background->GetRECT();
        for (int i = 0; i < mControls.GetSize(); ++i)
        {
            DrawControl(mControls.Get(i), i);
            mControls.Get(i)->SetClean();
        }
        return;
    }
    for (int i = 1; i < mControls.GetSize(); ++i)
    {
        IControl* control = mControls.Get(i);
        if (!control->IsDirty())
            continue;
        mDrawRECT = control->GetRECT();
        for (int j = 0; j < mControls.GetSize(); ++j)
        {
            IControl* other = mControls.Get(j);
            if (!other->IsHidden() && (j == i || other->GetRECT().Intersects(mDrawRECT)))
                other->Draw(this);
        }
        control->SetClean();
    }
}

bool IGraphics::Draw(IRECT* r)
{
    if (!mControls.GetSize())
        return true;
    if (mStrict)
        DrawControlsStrict(r);
    else
        DrawControlsAfterDirty();
    return DrawScreen(r);
}
