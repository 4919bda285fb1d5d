#pragma once

#include "IGraphicsStructs.h"
#include "KIT_String.h"
#include "KIT_TypedBuf.h"

#include <atomic>
#include <vector>

class IGraphics;
class IParam;
class IPluginBase;

// The base of everything in the editor: a rectangle that paints itself, may be
// bound to a parameter and reacts to the mouse. Values are normalized 0 ... 1.
//
// Threads. The value, the dirty flag and the redraw request are written from
// the GUI thread (events, painting), from the host's thread (SetValueFromPlug
// through IGraphics::SetParameterFromPlug) and from the audio thread (meters,
// through IGraphics::SetControlFromPlug). They are atomics: the writer stores
// the value (relaxed), then the flags with release; the GUI thread reads the
// flags with acquire before it reads the value to paint, so it never paints a
// value older than the dirty flag that asked for it. Concurrent writers are
// last-writer-wins. Everything else is the GUI thread's alone.
class IControl
{
public:
    struct AuxParam
    {
        double mValue = 0.0;
        int mParamIdx;
        explicit AuxParam(int idx);
    };

    IControl(IPluginBase* plug, IRECT rect, int paramIdx = -1,
             IChannelBlend blend = IChannelBlend());
    virtual ~IControl() = default;
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    virtual void OnMouseDown(int x, int y, IMouseMod* mod);
    virtual void OnMouseUp(int, int, IMouseMod*) {}
    virtual void OnMouseDrag(int, int, int, int, IMouseMod*) {}
    virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
    virtual void OnMouseWheel(int, int, IMouseMod*, int) {}
    virtual bool OnKeyDown(int, int, int) { return false; }
    virtual void OnMouseOver(int, int, IMouseMod*) {}
    virtual void OnMouseOut() {}
    virtual bool Draw(IGraphics* graphics) = 0;
    virtual void SetValueFromPlug(double value);
    virtual void SetValueFromUserInput(double value);
    virtual void TextFromTextEntry(const char*) {}
    virtual void Hide(bool hide);
    virtual void GrayOut(bool gray);
    virtual bool IsHit(int x, int y) { return mTargetRECT.Contains(x, y); }
    virtual void SetDirty(bool pushParamToPlug = true);
    virtual void SetClean();
    virtual bool IsDirty() { return mDirty.load(std::memory_order_acquire); }
    virtual void OnGUIIdle() {}
    virtual void SetAuxParamValueFromPlug(int auxParamIdx, double value);

    int ParamIdx() const { return mParamIdx; }
    IParam* GetParam();
    IPluginBase* GetPlug() { return mPlug; }
    IGraphics* GetGUI();
    const IRECT& GetRECT() const { return mRECT; }
    const IRECT& GetTargetRECT() const { return mTargetRECT; }
    void SetTargetArea(IRECT r) { mTargetRECT = r; }
    IText* GetText() { return &mText; }
    void SetText(const IText& text) { mText = text; }
    bool IsHidden() const { return mHide; }
    bool IsGrayed() const { return mGrayed; }
    bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
    void SetMOWhenGrayed(bool allow) { mMOWhenGrayed = allow; }
    bool MouseDblAsSingleClick() const { return mDblAsSingleClick; }
    void SetMouseDblAsSingleClick(bool single) { mDblAsSingleClick = single; }
    int GetTextEntryLength() const { return mTextEntryLength; }
    void SetTextEntryLength(int length) { mTextEntryLength = length; }
    void DisablePrompt(bool disable) { mDisablePrompt = disable; }
    const char* GetTooltip() const { return mTooltip.Get(); }
    void SetTooltip(const char* tooltip) { mTooltip.Set(tooltip); }
    double GetValue() const { return mValue.load(std::memory_order_relaxed); }
    double GetDefaultValue() const { return mDefaultValue.load(std::memory_order_relaxed); }
    const IChannelBlend& GetBlend() const { return mBlend; }
    void Redraw() { mRedraw.store(true, std::memory_order_release); }
    bool IsRedrawRequested() const { return mRedraw.load(std::memory_order_acquire); }
    void Clamp(double lo, double hi);
    void SetValDisplayControl(IControl* control) { mValDisplayControl = control; }
    void SetNameDisplayControl(IControl* control) { mNameDisplayControl = control; }
    void PromptUserInput();
    void PromptUserInput(IRECT* textRect);
    void AddAuxParam(int paramIdx);
    AuxParam* GetAuxParam(int idx);
    int AuxParamIdx(int paramIdx) const;
    int NAuxParams() const { return mAuxParams.GetSize(); }
    void SetAllAuxParamsFromGUI();

protected:
    void SetValue(double value) { mValue.store(value, std::memory_order_relaxed); }
    // Stores a new text and marks the control for painting, only when it differs.
    void UpdateText(KIT_String* stored, const char* text);

    int mTextEntryLength = 7;
    IText mText{10};
    IPluginBase* mPlug;
    IRECT mRECT, mTargetRECT;
    int mParamIdx;
    KIT_TypedBuf<AuxParam> mAuxParams;
    IChannelBlend mBlend;

private:
    void ShowValueAndName();

    std::atomic<double> mValue{0.0};
    std::atomic<double> mDefaultValue{-1.0};
    double mClampLo = 0.0, mClampHi = 1.0;
    std::atomic<bool> mDirty{true};
    bool mHide = false;
    bool mGrayed = false;
    std::atomic<bool> mRedraw{false};
    bool mDisablePrompt = true;
    bool mDblAsSingleClick = false;
    bool mMOWhenGrayed = false;
    IControl* mValDisplayControl = nullptr;
    IControl* mNameDisplayControl = nullptr;
    KIT_String mTooltip;
};

// Fills its rectangle with one colour.
class IPanelControl : public IControl
{
public:
    IPanelControl(IPluginBase* plug, IRECT rect, const IColor* color)
        : IControl(plug, rect), mColor(*color)
    {
    }
    bool Draw(IGraphics* graphics) override;

private:
    IColor mColor;
};

// Draws the frame of its strip that its value selects.
class IBitmapControl : public IControl
{
public:
    IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                   IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    IBitmapControl(IPluginBase* plug, int x, int y, IBitmap* bitmap,
                   IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone)
        : IBitmapControl(plug, x, y, -1, bitmap, blendMethod)
    {
    }
    bool Draw(IGraphics* graphics) override;
    const IBitmap& GetBitmap() const { return mBitmap; }

protected:
    IBitmap mBitmap;
};

// Each press steps to the next frame and wraps after the last.
class ISwitchControl : public IBitmapControl
{
public:
    using IBitmapControl::IBitmapControl;
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override { OnMouseDown(x, y, mod); }
};

// A press opens the value prompt.
class ISwitchPopUpControl : public ISwitchControl
{
public:
    using ISwitchControl::ISwitchControl;
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

// One rectangle per frame; a press inside rectangle i of n sets i / (n - 1).
class ISwitchFramesControl : public ISwitchControl
{
public:
    ISwitchFramesControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                         bool imagesAreHorizontal = false,
                         IChannelBlend::EBlendMethod blendMethod = IChannelBlend::kBlendNone);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;

private:
    std::vector<IRECT> mRECTs;
};

// Draws nothing; a press toggles between 0 and 1.
class IInvisibleSwitchControl : public IControl
{
public:
    IInvisibleSwitchControl(IPluginBase* plug, IRECT rect, int paramIdx);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics*) override { return true; }
};

// N buttons of a two-frame bitmap; a press selects one.
class IRadioButtonsControl : public IControl
{
public:
    IRadioButtonsControl(IPluginBase* plug, IRECT rect, int paramIdx, int nButtons,
                         IBitmap* bitmap, bool horizontal = false);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* graphics) override;

private:
    std::vector<IRECT> mRECTs;
    IBitmap mBitmap;
};

// Momentary: on while pressed.
class IContactControl : public ISwitchControl
{
public:
    using ISwitchControl::ISwitchControl;
    void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

// A handle moving along a track of the given length.
class IFaderControl : public IControl
{
public:
    enum EDirection
    {
        kVertical = 0,
        kHorizontal
    };
    IFaderControl(IPluginBase* plug, int x, int y, int len, int paramIdx, IBitmap* bitmap,
                  EDirection direction = kVertical);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
    bool Draw(IGraphics* graphics) override;
    IRECT GetHandleRECT(double value) const;

private:
    void SnapToMouse(int x, int y);

    int mLen, mHandleHeadroom;
    IBitmap mBitmap;
    EDirection mDirection;
};

// Turns with vertical (or horizontal) drags and the wheel.
class IKnobControl : public IControl
{
public:
    enum EDirection
    {
        kVertical = 0,
        kHorizontal
    };
    IKnobControl(IPluginBase* plug, IRECT rect, int paramIdx, EDirection direction = kVertical,
                 double gearing = 4.0);
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;

protected:
    EDirection mDirection;
    double mGearing;
};

// A line from an inner to an outer radius between two angles.
class IKnobLineControl : public IKnobControl
{
public:
    IKnobLineControl(IPluginBase* plug, IRECT rect, int paramIdx, const IColor* color,
                     double innerRadius = 0.0, double outerRadius = 0.0,
                     double minAngle = -0.75 * 3.141592653589793,
                     double maxAngle = 0.75 * 3.141592653589793, EDirection direction = kVertical,
                     double gearing = 4.0);
    bool Draw(IGraphics* graphics) override;

private:
    IColor mColor;
    float mMinAngle, mMaxAngle, mInnerRadius, mOuterRadius;
};

// Its bitmap rotated by min + value x (max - min) about the centre.
class IKnobRotaterControl : public IKnobControl
{
public:
    IKnobRotaterControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                        double minAngle = -0.75 * 3.141592653589793,
                        double maxAngle = 0.75 * 3.141592653589793, int yOffsetZeroDeg = 0,
                        EDirection direction = kVertical, double gearing = 4.0);
    bool Draw(IGraphics* graphics) override;

private:
    IBitmap mBitmap;
    double mMinAngle, mMaxAngle;
    int mYOffset;
};

// Draws frame 1 + floor(0.5 + value x (N - 1)) of a strip.
class IKnobMultiControl : public IKnobControl
{
public:
    IKnobMultiControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                      EDirection direction = kVertical, double gearing = 4.0);
    bool Draw(IGraphics* graphics) override;

protected:
    IBitmap mBitmap;
};

// A mask rotated between a base and a top bitmap.
class IKnobRotatingMaskControl : public IKnobControl
{
public:
    IKnobRotatingMaskControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* base,
                             IBitmap* mask, IBitmap* top, double minAngle = -0.75 * 3.141592653589793,
                             double maxAngle = 0.75 * 3.141592653589793,
                             EDirection direction = kVertical, double gearing = 4.0);
    bool Draw(IGraphics* graphics) override;

private:
    IBitmap mBase, mMask, mTop;
    double mMinAngle, mMaxAngle;
};

// An overlay that shows its bitmap over its whole rectangle while open and only
// listens to a small target area while closed.
class IBitmapOverlayControl : public ISwitchControl
{
public:
    IBitmapOverlayControl(IPluginBase* plug, int x, int y, IBitmap* bitmap, IRECT targetArea);
    IBitmapOverlayControl(IPluginBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                          IRECT targetArea);
    bool Draw(IGraphics* graphics) override;

private:
    IRECT mTargetArea;
};

// A line of text in its own style.
class ITextControl : public IControl
{
public:
    ITextControl(IPluginBase* plug, IRECT rect, IText* text, const char* str = "");
    void SetTextFromPlug(const char* str);
    const char* GetTextString() const { return mStr.Get(); }
    bool Draw(IGraphics* graphics) override;

protected:
    KIT_String mStr;
};

// Shows its parameter's display text; a press or double-click opens the prompt.
class ICaptionControl : public ITextControl
{
public:
    ICaptionControl(IPluginBase* plug, IRECT rect, int paramIdx, IText* text,
                    bool showParamLabel = true);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* graphics) override;

private:
    bool mShowParamLabel;
};

// Opens a URL on a press; draws nothing.
class IURLControl : public IControl
{
public:
    IURLControl(IPluginBase* plug, IRECT rect, const char* url, const char* backupURL = nullptr,
                const char* errMsgOnFailure = nullptr);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics*) override { return true; }

private:
    KIT_String mURL, mBackupURL, mErrMsg;
};

// Asks for a file on a press and remembers the choice.
class IFileSelectorControl : public IControl
{
public:
    enum EFileSelectorState
    {
        kFSNone,
        kFSSelecting,
        kFSDone
    };
    IFileSelectorControl(IPluginBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap,
                         int action, const char* dir = "", const char* extensions = "");
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* graphics) override;
    void GetLastSelectedFileForPlug(KIT_String* path) const { path->Set(mFile.Get()); }
    void SetLastSelectedFileFromPlug(const char* file) { mFile.Set(file); }
    EFileSelectorState GetState() const { return mState; }

private:
    IBitmap mBitmap;
    KIT_String mDir, mFile, mExtensions;
    int mAction;
    EFileSelectorState mState = kFSNone;
};
