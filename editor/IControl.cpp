#include "IControl.h"

#include "IGraphics.h"
#include "IPluginBase.h"
#include "KIT_Assert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

IControl::AuxParam::AuxParam(int idx) : mParamIdx(idx)
{
    KIT_ASSERT(idx > -1);
}

IControl::IControl(IPluginBase* plug, IRECT rect, int paramIdx, IChannelBlend blend)
    : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blend)
{
}

IParam* IControl::GetParam()
{
    return mPlug && mParamIdx >= 0 ? mPlug->GetParam(mParamIdx) : nullptr;
}

// Every context the framework attaches is an IGraphics.
IGraphics* IControl::GetGUI()
{
    return mPlug ? dynamic_cast<IGraphics*>(mPlug->GetGUI()) : nullptr;
}

void IControl::OnMouseDown(int, int, IMouseMod* mod)
{
    if (mod && mod->R)
        PromptUserInput();
}

void IControl::OnMouseDblClick(int, int, IMouseMod*)
{
    const double defaultValue = GetDefaultValue();
    if (defaultValue < 0.0)
        return;
    SetValue(defaultValue);
    SetDirty(true);
}

void IControl::SetValueFromPlug(double value)
{
    // The first value from the plug-in becomes the double-click default.
    if (GetDefaultValue() < 0.0)
    {
        mDefaultValue.store(value, std::memory_order_relaxed);
        SetValue(value);
        return;
    }
    if (value == GetValue())
        return;
    SetValue(value);
    SetDirty(false);
    Redraw();
}

void IControl::SetValueFromUserInput(double value)
{
    if (value == GetValue())
        return;
    SetValue(value);
    SetDirty(true);
    Redraw();
}

void IControl::Hide(bool hide)
{
    mHide = hide;
    Redraw();
    SetDirty(false);
}

void IControl::GrayOut(bool gray)
{
    mGrayed = gray;
    mBlend.mWeight = gray ? 0.25f : 1.0f;
    SetDirty(false);
}

void IControl::SetDirty(bool pushParamToPlug)
{
    const double value = GetValue();
    if (mClampLo > value)
        SetValue(mClampLo);
    else if (value > mClampHi)
        SetValue(mClampHi);
    mDirty.store(true, std::memory_order_release);
    if (!pushParamToPlug || !mPlug || mParamIdx < 0)
        return;
    mPlug->SetParameterFromGUI(mParamIdx, GetValue());
    ShowValueAndName();
}

void IControl::ShowValueAndName()
{
    IParam* param = GetParam();
    if (!param)
        return;
    if (auto* display = dynamic_cast<ITextControl*>(mValDisplayControl))
    {
        char value[IParam::kDisplaySize], label[IParam::kTextSize];
        param->GetDisplayForHost(value, sizeof value);
        CopyCut(label, param->GetLabelForHost(), sizeof label);
        KIT_String text(value);
        text.Append(" ");
        text.Append(label);
        display->SetTextFromPlug(text.Get());
    }
    if (auto* name = dynamic_cast<ITextControl*>(mNameDisplayControl))
        name->SetTextFromPlug(param->GetNameForHost());
}

void IControl::UpdateText(KIT_String* stored, const char* text)
{
    if (std::strcmp(stored->Get(), text ? text : "") == 0)
        return;
    SetDirty(false);
    stored->Set(text);
}

void IControl::SetClean()
{
    mDirty.store(mRedraw.exchange(false, std::memory_order_acq_rel), std::memory_order_release);
}

void IControl::SetAuxParamValueFromPlug(int auxParamIdx, double value)
{
    AuxParam* aux = GetAuxParam(auxParamIdx);
    if (aux->mValue == value)
        return;
    aux->mValue = value;
    SetDirty(false);
    Redraw();
}

void IControl::Clamp(double lo, double hi)
{
    mClampLo = lo;
    mClampHi = hi;
}

void IControl::PromptUserInput()
{
    IParam* param = GetParam();
    if (!param || mDisablePrompt)
        return;
    if (param->GetNDisplayTexts())
    {
        IRECT rect = mRECT;
        PromptUserInput(&rect);
        return;
    }
    const int cx = static_cast<int>(std::floor(mRECT.MW()));
    const int cy = static_cast<int>(std::floor(mRECT.MH()));
    IRECT rect(cx - 20, cy - 8, cx + 20, cy + 8);
    PromptUserInput(&rect);
}

void IControl::PromptUserInput(IRECT* textRect)
{
    IGraphics* graphics = GetGUI();
    if (mParamIdx < 0 || mDisablePrompt || !graphics)
        return;
    graphics->PromptUserInput(this, GetParam(), textRect);
    Redraw();
}

void IControl::AddAuxParam(int paramIdx)
{
    mAuxParams.Add(AuxParam(paramIdx));
}

IControl::AuxParam* IControl::GetAuxParam(int idx)
{
    KIT_ASSERT(idx > -1 && idx < mAuxParams.GetSize());
    return mAuxParams.Get() + idx;
}

int IControl::AuxParamIdx(int paramIdx) const
{
    for (int i = 0; i < mAuxParams.GetSize(); ++i)
    {
        if (mAuxParams.Get()[i].mParamIdx == paramIdx)
            return i;
    }
    return -1;
}

void IControl::SetAllAuxParamsFromGUI()
{
    for (int i = 0; i < mAuxParams.GetSize() && mPlug; ++i)
        mPlug->SetParameterFromGUI(mAuxParams.Get()[i].mParamIdx, mAuxParams.Get()[i].mValue);
}

bool IPanelControl::Draw(IGraphics* graphics)
{
    return graphics->FillIRect(&mColor, &mRECT, &mBlend);
}

IBitmapControl::IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                               IChannelBlend::EBlendMethod blendMethod)
    : IControl(plug, IRECT(x, y, bitmap), paramIdx, IChannelBlend(blendMethod)), mBitmap(*bitmap)
{
}

// The frame the value selects, 1-based.
static int FrameOf(double value, int nFrames)
{
    if (nFrames < 2)
        return 1;
    const int frame = 1 + static_cast<int>(std::floor(0.5 + value * (nFrames - 1)));
    return std::min(std::max(frame, 1), nFrames);
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
    return graphics->DrawBitmap(&mBitmap, &mRECT, FrameOf(GetValue(), mBitmap.N), &mBlend);
}

void ISwitchControl::OnMouseDown(int, int, IMouseMod*)
{
    const double step = mBitmap.N < 2 ? 1.0 : 1.0 / (mBitmap.N - 1);
    double value = GetValue() + step;
    if (value > 1.001)
        value = 0.0;
    SetValue(value);
    SetDirty(true);
}

void ISwitchPopUpControl::OnMouseDown(int, int, IMouseMod*)
{
    PromptUserInput();
    SetDirty(true);
}

ISwitchFramesControl::ISwitchFramesControl(IPluginBase* plug, int x, int y, int paramIdx,
                                           IBitmap* bitmap, bool imagesAreHorizontal,
                                           IChannelBlend::EBlendMethod blendMethod)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
    for (int i = 0; i < mBitmap.N; ++i)
        mRECTs.push_back(imagesAreHorizontal ? mRECT.SubRectHorizontal(mBitmap.N, i)
                                             : mRECT.SubRectVertical(mBitmap.N, i));
}

void ISwitchFramesControl::OnMouseDown(int x, int y, IMouseMod*)
{
    const int n = static_cast<int>(mRECTs.size());
    for (int i = 0; i < n; ++i)
    {
        if (mRECTs[static_cast<size_t>(i)].Contains(x, y))
        {
            SetValue(n > 1 ? static_cast<double>(i) / (n - 1) : 0.0);
            break;
        }
    }
    SetDirty(true);
}

IInvisibleSwitchControl::IInvisibleSwitchControl(IPluginBase* plug, IRECT rect, int paramIdx)
    : IControl(plug, rect, paramIdx, IChannelBlend(IChannelBlend::kBlendClobber))
{
}

void IInvisibleSwitchControl::OnMouseDown(int, int, IMouseMod*)
{
    SetValue(GetValue() < 0.5 ? 1.0 : 0.0);
    SetDirty(true);
}

IRadioButtonsControl::IRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx,
                                           int nButtons, IBitmap* bitmap, bool horizontal)
    : IControl(plug, rect, paramIdx), mBitmap(*bitmap)
{
    const int frameH = bitmap->N > 0 ? bitmap->H / bitmap->N : bitmap->H;
    const int n = std::max(nButtons, 1);
    const int gap = n > 1 ? ((horizontal ? rect.W() - n * bitmap->W : rect.H() - n * frameH) /
                             (n - 1))
                          : 0;
    for (int i = 0, x = rect.L, y = rect.T; i < n; ++i)
    {
        mRECTs.push_back(IRECT(x, y, x + bitmap->W, y + frameH));
        (horizontal ? x : y) += (horizontal ? bitmap->W : frameH) + gap;
    }
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod*)
{
    const int n = static_cast<int>(mRECTs.size());
    for (int i = 0; i < n; ++i)
    {
        if (mRECTs[static_cast<size_t>(i)].Contains(x, y))
        {
            SetValue(n > 1 ? static_cast<double>(i) / (n - 1) : 0.0);
            SetDirty(true);
            return;
        }
    }
}

bool IRadioButtonsControl::Draw(IGraphics* graphics)
{
    const int n = static_cast<int>(mRECTs.size());
    const int active = static_cast<int>(std::floor(0.5 + GetValue() * (n - 1)));
    for (int i = 0; i < n; ++i)
        graphics->DrawBitmap(&mBitmap, &mRECTs[static_cast<size_t>(i)], i == active ? 2 : 1,
                             &mBlend);
    return true;
}

void IContactControl::OnMouseUp(int, int, IMouseMod*)
{
    SetValue(0.0);
    SetDirty(true);
}

IFaderControl::IFaderControl(IPluginBase* plug, int x, int y, int len, int paramIdx,
                             IBitmap* bitmap, EDirection direction)
    : IControl(plug, IRECT(), paramIdx), mLen(len), mBitmap(*bitmap), mDirection(direction)
{
    const int frameH = bitmap->N > 0 ? bitmap->H / bitmap->N : bitmap->H;
    mHandleHeadroom = direction == kVertical ? frameH : bitmap->W;
    mRECT = mTargetRECT = direction == kVertical ? IRECT(x, y, x + bitmap->W, y + len)
                                                 : IRECT(x, y, x + len, y + frameH);
}

IRECT IFaderControl::GetHandleRECT(double value) const
{
    const int travel = mLen - mHandleHeadroom;
    const int frameH = mBitmap.N > 0 ? mBitmap.H / mBitmap.N : mBitmap.H;
    IRECT r(mRECT.L, mRECT.T, mRECT.L + mBitmap.W, mRECT.T + frameH);
    if (mDirection == kVertical)
    {
        const int offset = static_cast<int>((1.0 - value) * travel);
        r.T += offset;
        r.B += offset;
    }
    else
    {
        const int offset = static_cast<int>(value * travel);
        r.L += offset;
        r.R += offset;
    }
    return r;
}

void IFaderControl::SnapToMouse(int x, int y)
{
    const double travel = std::max(1, mLen - mHandleHeadroom);
    const double value = mDirection == kVertical
                             ? 1.0 - (y - mRECT.T - mHandleHeadroom / 2) / travel
                             : (x - mRECT.L - mHandleHeadroom / 2) / travel;
    SetValue(std::min(1.0, std::max(0.0, value)));
    SetDirty(true);
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod*)
{
    SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, IMouseMod*)
{
    SnapToMouse(x, y);
}

void IFaderControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
    SetValue(GetValue() + (mod && (mod->C || mod->S) ? 0.001 : 0.01) * d);
    SetDirty(true);
}

bool IFaderControl::Draw(IGraphics* graphics)
{
    IRECT handle = GetHandleRECT(GetValue());
    return graphics->DrawBitmap(&mBitmap, &handle, 1, &mBlend);
}

IKnobControl::IKnobControl(IPluginBase* plug, IRECT rect, int paramIdx, EDirection direction,
                           double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod)
{
    const double gearing = mod && (mod->C || mod->S) ? mGearing * 10.0 : mGearing;
    if (mDirection == kVertical)
        SetValue(GetValue() + static_cast<double>(dY) / static_cast<double>(mRECT.T - mRECT.B) /
                                  gearing);
    else
        SetValue(GetValue() + static_cast<double>(dX) / static_cast<double>(mRECT.R - mRECT.L) /
                                  gearing);
    SetDirty(true);
}

void IKnobControl::OnMouseWheel(int, int, IMouseMod* mod, int d)
{
    SetValue(GetValue() + (mod && (mod->C || mod->S) ? 0.001 : 0.01) * d);
    SetDirty(true);
}

IKnobLineControl::IKnobLineControl(IPluginBase* plug, IRECT rect, int paramIdx,
                                   const IColor* color, double innerRadius, double outerRadius,
                                   double minAngle, double maxAngle, EDirection direction,
                                   double gearing)
    : IKnobControl(plug, rect, paramIdx, direction, gearing), mColor(*color),
      mMinAngle(static_cast<float>(minAngle)), mMaxAngle(static_cast<float>(maxAngle)),
      mInnerRadius(static_cast<float>(innerRadius)),
      mOuterRadius(static_cast<float>(outerRadius > 0.0 ? outerRadius : 0.5 * rect.W()))
{
}

bool IKnobLineControl::Draw(IGraphics* graphics)
{
    const double angle = mMinAngle + GetValue() * (mMaxAngle - mMinAngle);
    return graphics->DrawRadialLine(&mColor, mRECT.MW(), mRECT.MH(), static_cast<float>(angle),
                                    mInnerRadius, mOuterRadius, &mBlend, true);
}

IKnobRotaterControl::IKnobRotaterControl(IPluginBase* plug, int x, int y, int paramIdx,
                                         IBitmap* bitmap, double minAngle, double maxAngle,
                                         int yOffsetZeroDeg, EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, bitmap), paramIdx, direction, gearing), mBitmap(*bitmap),
      mMinAngle(minAngle), mMaxAngle(maxAngle), mYOffset(yOffsetZeroDeg)
{
}

bool IKnobRotaterControl::Draw(IGraphics* graphics)
{
    const double degrees = (mMinAngle + GetValue() * (mMaxAngle - mMinAngle)) * 180.0 /
                           3.141592653589793;
    return graphics->DrawRotatedBitmap(&mBitmap, static_cast<int>(mRECT.MW()),
                                       static_cast<int>(mRECT.MH()), degrees, mYOffset, &mBlend);
}

IKnobMultiControl::IKnobMultiControl(IPluginBase* plug, int x, int y, int paramIdx,
                                     IBitmap* bitmap, EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, bitmap), paramIdx, direction, gearing), mBitmap(*bitmap)
{
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
    return graphics->DrawBitmap(&mBitmap, &mRECT, FrameOf(GetValue(), mBitmap.N), &mBlend);
}

IKnobRotatingMaskControl::IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int paramIdx,
                                                   IBitmap* base, IBitmap* mask, IBitmap* top,
                                                   double minAngle, double maxAngle,
                                                   EDirection direction, double gearing)
    : IKnobControl(plug, IRECT(x, y, base), paramIdx, direction, gearing), mBase(*base),
      mMask(*mask), mTop(*top), mMinAngle(minAngle), mMaxAngle(maxAngle)
{
}

bool IKnobRotatingMaskControl::Draw(IGraphics* graphics)
{
    const double degrees = (mMinAngle + GetValue() * (mMaxAngle - mMinAngle)) * 180.0 /
                           3.141592653589793;
    return graphics->DrawRotatedMask(&mBase, &mMask, &mTop, mRECT.L, mRECT.T, degrees, &mBlend);
}

IBitmapOverlayControl::IBitmapOverlayControl(IPluginBase* plug, int x, int y, IBitmap* bitmap,
                                             IRECT targetArea)
    : IBitmapOverlayControl(plug, x, y, -1, bitmap, targetArea)
{
}

// Closed from the start, so only the target area listens even before the
// first paint.
IBitmapOverlayControl::IBitmapOverlayControl(IPluginBase* plug, int x, int y, int paramIdx,
                                             IBitmap* bitmap, IRECT targetArea)
    : ISwitchControl(plug, x, y, paramIdx, bitmap), mTargetArea(targetArea)
{
    mTargetRECT = targetArea;
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics)
{
    if (GetValue() < 0.5)
    {
        mTargetRECT = mTargetArea;
        return true;
    }
    mTargetRECT = mRECT;
    return IBitmapControl::Draw(graphics);
}

ITextControl::ITextControl(IPluginBase* plug, IRECT rect, IText* text, const char* str)
    : IControl(plug, rect), mStr(str)
{
    if (text)
        mText = *text;
}

void ITextControl::SetTextFromPlug(const char* str)
{
    UpdateText(&mStr, str);
}

bool ITextControl::Draw(IGraphics* graphics)
{
    if (!mStr.GetLength())
        return true;
    return graphics->DrawIText(&mText, mStr.Get(), &mRECT);
}

ICaptionControl::ICaptionControl(IPluginBase* plug, IRECT rect, int paramIdx, IText* text,
                                 bool showParamLabel)
    : ITextControl(plug, rect, text), mShowParamLabel(showParamLabel)
{
    mParamIdx = paramIdx;
    DisablePrompt(false);
}

void ICaptionControl::OnMouseDown(int, int, IMouseMod* mod)
{
    if (mod && (mod->L || mod->R))
        PromptUserInput(&mRECT);
}

void ICaptionControl::OnMouseDblClick(int, int, IMouseMod*)
{
    PromptUserInput(&mRECT);
}

bool ICaptionControl::Draw(IGraphics* graphics)
{
    IParam* param = GetParam();
    if (!param)
        return true;
    char value[IParam::kDisplaySize];
    param->GetDisplayForHost(value, sizeof value);
    KIT_String text(value);
    if (mShowParamLabel && param->GetLabelForHost()[0])
    {
        text.Append(" ");
        text.Append(param->GetLabelForHost());
    }
    mStr.Set(text.Get());
    return ITextControl::Draw(graphics);
}

IURLControl::IURLControl(IPluginBase* plug, IRECT rect, const char* url, const char* backupURL,
                         const char* errMsgOnFailure)
    : IControl(plug, rect), mURL(url), mBackupURL(backupURL), mErrMsg(errMsgOnFailure)
{
}

void IURLControl::OnMouseDown(int, int, IMouseMod*)
{
    IGraphics* graphics = GetGUI();
    if (!graphics)
        return;
    if (!graphics->OpenURL(mURL.Get(), nullptr, nullptr, mErrMsg.Get()) && mBackupURL.GetLength())
        graphics->OpenURL(mBackupURL.Get(), nullptr, nullptr, mErrMsg.Get());
}

IFileSelectorControl::IFileSelectorControl(IPluginBase* plug, IRECT rect, int paramIdx,
                                           IBitmap* bitmap, int action, const char* dir,
                                           const char* extensions)
    : IControl(plug, rect, paramIdx), mBitmap(*bitmap), mDir(dir), mExtensions(extensions),
      mAction(action)
{
}

void IFileSelectorControl::OnMouseDown(int, int, IMouseMod*)
{
    IGraphics* graphics = GetGUI();
    if (!graphics)
        return;
    mState = kFSSelecting;
    SetDirty(false);
    graphics->PromptForFile(&mFile, static_cast<IGraphics::EFileAction>(mAction), &mDir,
                            mExtensions.Get());
    mState = kFSDone;
    SetDirty(true);
}

bool IFileSelectorControl::Draw(IGraphics* graphics)
{
    return graphics->DrawBitmap(&mBitmap, &mRECT, 1, &mBlend);
}
