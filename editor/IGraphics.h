#pragma once

#include "IGraphicsContext.h"
#include "IGraphicsStructs.h"
#include "IPopupMenu.h"
#include "KIT_PtrList.h"
#include "KIT_String.h"

#include <memory>
#include <string>

class IControl;
class IParam;
class IPluginBase;

// The editor's drawing and event context. It owns the controls (index 0 is the
// background) and the off-screen draw bitmap every control paints on, loads
// images through the process-wide cache, routes mouse and keyboard events to
// the control under the pointer, carries values between controls and the
// plug-in, and decides on each timer tick what to repaint. The window side is
// a platform subclass's.
//
// Threads. Events, the timer's IsDirty/Draw pair and set-up run on the GUI
// thread. SetControlFromPlug comes from the audio thread (meters) and
// SetParameterFromPlug from whichever thread the host sets parameters on; they
// only touch controls' values and dirty and redraw flags, which are atomics
// (see IControl), so no lock is taken on those paths. The control list itself
// changes only during set-up and Resize, never while audio or host threads run.
class IGraphics;

// Text in the editor's own pixel font, for the value fields and menus a view
// without a toolkit draws itself. The plug-in supplies it.
class IPixelFont
{
public:
    virtual ~IPixelFont() = default;
    virtual int Width(const char* text) const = 0;
    virtual int Height() const = 0;
    // The text's top-left corner at x, y on the draw bitmap.
    virtual void Draw(IGraphics* graphics, const char* text, int x, int y) = 0;
};

class IGraphics : public IGraphicsContext
{
public:
    enum EFileAction
    {
        kFileOpen = 0,
        kFileSave
    };

    // Key codes the platform view maps presses to.
    enum EKey
    {
        KEY_SPACE = 0,
        KEY_UPARROW,
        KEY_DOWNARROW,
        KEY_LEFTARROW,
        KEY_RIGHTARROW,
        KEY_DIGIT_0,
        KEY_DIGIT_9 = KEY_DIGIT_0 + 9,
        KEY_ALPHA_A,
        KEY_ALPHA_Z = KEY_ALPHA_A + 25
    };

    IGraphics(IPluginBase* plug, int width, int height, int fps = 0);
    ~IGraphics() override;
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // Set-up.
    void PrepDraw() override;
    void AttachBackground(int id, const char* name);
    void AttachPanelBackground(const IColor* color);
    int AttachControl(IControl* control);
    void AttachKeyCatcher(IControl* control);
    IControl* GetControl(int idx) { return mControls.Get(idx); }
    int NControls() const { return mControls.GetSize(); }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    int FPS() const { return mFPS; }
    IPluginBase* GetPlug() { return mPlug; }
    void HandleMouseOver(bool canHandle) { mHandleMouseOver = canHandle; }
    // Owned once set; null until the plug-in gives one.
    void SetPixelFont(IPixelFont* font) { mPixelFont.reset(font); }
    IPixelFont* GetPixelFont() { return mPixelFont.get(); }
    void EnableTooltips(bool enable);
    bool TooltipsEnabled() const { return mEnableTooltips; }
    void SetStrictDrawing(bool strict);
    IBitmap LoadIBitmap(int id, const char* name, int nStates = 1, bool framesAreHorizontal = false);
    // The process-wide image cache, for images decoded and checked ahead of any
    // editor: LoadIBitmap finds them there. The cache takes ownership.
    static bool IsBitmapCached(int id);
    static void CacheBitmap(PIX_IBitmap* image, int id);
    virtual void Resize(int w, int h);

    // All controls of one parameter.
    void HideControl(int paramIdx, bool hide);
    void GrayOutControl(int paramIdx, bool gray);
    void ClampControl(int paramIdx, double lo, double hi, bool normalized);
    void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;
    void SetControlFromPlug(int controlIdx, double normalizedValue);
    void SetParameterFromGUI(int paramIdx, double normalizedValue) override;
    void SetAllControlsDirty() override;
    void AssignParamNameToolTips();

    // A value typed or picked by the user.
    void PromptUserInput(IControl* control, IParam* param, IRECT* textRect);
    void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);

    // Drawing on the draw bitmap.
    bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY,
                    const IChannelBlend* blend = nullptr);
    bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int state, const IChannelBlend* blend = nullptr);
    bool DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle,
                           int yOffsetZeroDeg = 0, const IChannelBlend* blend = nullptr);
    bool DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                         const IChannelBlend* blend = nullptr);
    bool DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend = nullptr,
                   bool antiAlias = false);
    bool ForcePixel(const IColor* color, int x, int y);
    bool DrawLine(const IColor* color, float x1, float y1, float x2, float y2,
                  const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                 const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool DrawCircle(const IColor* color, float cx, float cy, float r,
                    const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin,
                        float rMax, const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool FillCircle(const IColor* color, int cx, int cy, float r,
                    const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                      const IChannelBlend* blend = nullptr);
    bool FillIConvexPolygon(const IColor* color, int* x, int* y, int npoints,
                            const IChannelBlend* blend = nullptr);
    bool DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi);
    bool DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi);
    IColor GetPoint(int x, int y);
    // A new bitmap of the given size scaled from the source, or a crop of it;
    // the result belongs to the image cache under the source's cache id.
    IBitmap ScaleBitmap(IBitmap* source, int destW, int destH);
    IBitmap CropBitmap(IBitmap* source, IRECT* r);
    bool FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr);
    bool DrawRect(const IColor* color, IRECT* r);
    bool RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius,
                   bool antiAlias);
    bool FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius,
                       bool antiAlias);
    bool DrawIText(IText* text, const char* str, IRECT* r, bool measure = false);
    virtual bool MeasureIText(IText* text, const char* str, IRECT* r);
    PIX_IBitmap* GetDrawBitmap() { return mDrawBitmap; }
    const IRECT& GetDrawRect() const { return mDrawRECT; }
    // Lets a view draw its own field or menu over the editor, within area,
    // after Draw; the controls' next draw covers it again.
    void SetOverlayArea(const IRECT& area) { mDrawRECT = area; }

    // Events from the platform view, in editor coordinates, on the GUI thread.
    void OnMouseDown(int x, int y, IMouseMod* mod);
    void OnMouseUp(int x, int y, IMouseMod* mod);
    void OnMouseDrag(int x, int y, IMouseMod* mod);
    bool OnMouseDblClick(int x, int y, IMouseMod* mod);
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
    // Whether the wheel turns something here: a control with a parameter.
    // Elsewhere the view lets the wheel scroll what holds it.
    bool WheelTurnsAt(int x, int y);
    bool OnMouseOver(int x, int y, IMouseMod* mod);
    void OnMouseOut();
    bool OnKeyDown(int x, int y, int key);
    int GetMouseControlIdx(int x, int y, bool mouseOver = false);
    void ReleaseMouseCapture();
    int GetMouseOver() const { return mMouseOver; }
    int GetMouseX() const { return mMouseX; }
    int GetMouseY() const { return mMouseY; }

    // The redraw cycle.
    bool IsDirty(IRECT* r);
    bool Draw(IRECT* r);

    // Platform operations.
    virtual bool DrawScreen(IRECT* r) = 0;
    virtual void ForceEndUserEdit() = 0;
    virtual bool WindowIsOpen() { return false; }
    virtual const char* GetGUIAPI() { return nullptr; }
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
    virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* textRect) = 0;
    virtual void CreateTextEntry(IControl* control, IText* text, IRECT* textRect,
                                 const char* initial, IParam* param) = 0;
    virtual void HostPath(KIT_String* path) = 0;
    virtual void PluginPath(KIT_String* path) = 0;
    virtual void DesktopPath(KIT_String* path) = 0;
    virtual void AppSupportPath(KIT_String* path, bool isSystem = false) = 0;
    virtual void SandboxSafeAppSupportPath(KIT_String* path) = 0;
    virtual void PromptForFile(KIT_String* fileName, EFileAction action, KIT_String* dir,
                               const char* extensions) = 0;
    virtual bool PromptForColor(IColor* color, const char* prompt) = 0;
    virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr,
                         const char* confirmMsg = nullptr, const char* errMsg = nullptr) = 0;
    void* OpenWindow(void* parent) override = 0;
    void* OpenWindow(void*, void*, short, short) override { return nullptr; }
    virtual void AttachSubWindow(void*) {}
    virtual void RemoveSubWindow() {}
    void CloseWindow() override = 0;
    virtual void* GetWindow() = 0;
    virtual bool GetTextFromClipboard(KIT_String* text) = 0;
    virtual void HideMouseCursor() {}
    virtual void ShowMouseCursor() {}
    virtual void UpdateTooltips() = 0;
    virtual PIX_IBitmap* OSLoadBitmap(int id, const char* name) = 0;
    // What a failed OSLoadBitmap looked for, for the fatal message.
    virtual std::string DescribeMissingImage(const char* name);

private:
    std::unique_ptr<IPixelFont> mPixelFont; // GUI thread only
    PIX_IFont* CacheFont(IText* text);
    bool DrawControlsStrict(IRECT* r);
    void DrawControlsAfterDirty();
    void DrawControl(IControl* control, int idx);
    template <class Action> void ForEachControlOf(int paramIdx, Action action);
    IBitmap CacheDerived(IBitmap* source, PIX_IBitmap* image, int w, int h);

    KIT_PtrList<IControl> mControls;
    IPluginBase* mPlug;
    IRECT mDrawRECT;
    PIX_SysBitmap* mDrawBitmap = nullptr;
    PIX_MemBitmap* mTmpBitmap = nullptr;
    int mWidth, mHeight, mFPS;
    int mMouseCapture = -1;
    int mMouseOver = -1;
    int mMouseX = 0, mMouseY = 0;
    bool mHandleMouseOver = false;
    bool mStrict = true;
    bool mEnableTooltips = false;
    IControl* mKeyCatcher = nullptr;
};
