#pragma once

#include "IControl.h"
#include "IGraphics.h"
#include "RelaySignal.h"

#include <functional>

// The instrument's controls: buttons that fire a signal, knobs and meters that
// print their value with a bitmap font, and a bitmap-font label. All of them are
// driven on the GUI thread; a meter reads its level there, at each tick, from
// atomics the audio thread writes.

extern const char* const qxNoteNames[12];

// Text in a bitmap font: one frame per character from the list's first code,
// advanced by the list's widths.
class BitmapFontText
{
public:
    BitmapFontText(IBitmap* font, const short* advances, IRECT glyph)
        : mFont(*font), mAdvances(advances), mGlyph(glyph)
    {
    }
    int Width(const char* text) const;
    // Draws the text with its left edge at x.
    void Draw(IGraphics* graphics, const char* text, int x, const IChannelBlend* blend);
    // Centred on x.
    void DrawCentred(IGraphics* graphics, const char* text, int x, const IChannelBlend* blend)
    {
        Draw(graphics, text, x - Width(text) / 2, blend);
    }
    int FrameHeight() const { return mFont.N > 0 ? mFont.H / mFont.N : mFont.H; }

private:
    int Advance(unsigned char c) const;

    IBitmap mFont;
    const short* mAdvances;
    IRECT mGlyph;
};

// A push button from a strip of three frames per button (idle, pointer over,
// pressed); releasing it fires mClicked, also when released outside.
class IButtonControl : public IControl
{
public:
    IButtonControl(IPluginBase* plug, IRECT rect, IBitmap* bitmap, int frameBase);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseUp(int x, int y, IMouseMod* mod) override;
    void OnMouseOver(int x, int y, IMouseMod* mod) override;
    void OnMouseOut() override;
    bool Draw(IGraphics* graphics) override;
    int GetState() const { return mState; }

    Relay::Signal0<void> mClicked;

private:
    void SetState(int state);

    IRECT mBitmapRECT;
    IBitmap mBitmap;
    int mFrameBase;
    int mState = 0; // 0 idle, 1 pointer over, 2 pressed
};

// A label in a bitmap font, centred at the top of its 20-pixel text area.
// The bitmap font as the editor's pixel font, for fields and menus a view draws.
class BitmapPixelFont : public IPixelFont
{
public:
    BitmapPixelFont(IBitmap* font, const short* advances) : mFont(*font), mAdvances(advances) {}
    int Width(const char* text) const override;
    int Height() const override;
    void Draw(IGraphics* graphics, const char* text, int x, int y) override;

private:
    IBitmap mFont;
    const short* mAdvances;
};

class ITextControlBitmapFont : public IControl
{
public:
    ITextControlBitmapFont(IPluginBase* plug, IRECT rect, IText* text, IBitmap* font,
                           const short* advances, const char* str);
    void SetTextFromPlug(const char* str);
    const char* GetTextString() const { return mStr.Get(); }
    bool Draw(IGraphics* graphics) override;

private:
    IRECT mTextArea;
    BitmapFontText mFontText;
    int mCenterX;
    KIT_String mStr;
};

// A film-strip knob with its value and unit printed under it; a press on the
// text opens the value prompt.
class IKnobMultiControlBitmapFont : public IKnobControl
{
public:
    IKnobMultiControlBitmapFont(IPluginBase* plug, IRECT rect, int paramIdx, IBitmap* knob,
                                IText* text, IBitmap* font, const short* advances, int textHeight,
                                double gearing = 4.0);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* graphics) override;
    const IRECT& GetTextArea() const { return mTextArea; }
    const IRECT& GetKnobRECT() const { return mKnobRECT; }
    // The text shown under the knob.
    virtual void FormatValue(char* text, int size);

private:
    IRECT mTextArea, mKnobRECT;
    IBitmap mKnob;
    BitmapFontText mFontText;
    int mCenterX;
};

// The knob of a note number: shows "C 4" and never prompts.
class IKnobMultiControlBitmapFontMidiNote : public IKnobMultiControlBitmapFont
{
public:
    IKnobMultiControlBitmapFontMidiNote(IPluginBase* plug, IRECT rect, int paramIdx,
                                        IBitmap* knob, IText* text, IBitmap* font,
                                        const short* advances, int textHeight);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void FormatValue(char* text, int size) override;
};

// A level meter from a strip, with the level in decibels printed under it.
// Repainted on every tick, with the level its source gives then (or the value
// set from the plug-in, without a source).
class IPeakMeterBitmapBitmapFont : public IControl
{
public:
    enum TextAlign
    {
        kAlignCenter = 0,
        kAlignLeft = 1,
        kAlignRight = 2
    };
    IPeakMeterBitmapBitmapFont(IPluginBase* plug, IRECT rect, IBitmap* meter, IText* text,
                               IBitmap* font, const short* advances, int textHeight,
                               TextAlign align, int textOffset);
    // Called on the GUI thread; the level may be written on any other.
    void SetLevelSource(std::function<double()> level) { mLevel = std::move(level); }
    bool IsDirty() override;
    bool Draw(IGraphics* graphics) override;
    static void FormatLevel(double level, char* text, int size);

private:
    std::function<double()> mLevel;
    IRECT mTextArea, mMeterRECT;
    IBitmap mMeter;
    BitmapFontText mFontText;
    int mCenterX, mTextOffset;
    TextAlign mAlign;
};
