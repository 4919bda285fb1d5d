#include "qxControls.h"

#include "IGraphics.h"
#include "IPluginBase.h"
#include "qxDSP.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

const char* const qxNoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

namespace
{

const int kLabelTextHeight = 20;
const double kSilentLevel = 0.0005;

int frameHeightOf(const IBitmap& bitmap)
{
    return bitmap.N > 0 ? bitmap.H / bitmap.N : bitmap.H;
}

// The bottom band of a control that holds its text.
IRECT textAreaOf(const IRECT& r, int textHeight)
{
    return IRECT(r.L, r.B - textHeight, r.R, r.B);
}

// Where glyphs go: the text area's top, one font frame tall, across the control.
IRECT glyphRectOf(const IRECT& r, int textHeight, const IBitmap* font)
{
    return IRECT(r.L, r.B - textHeight, r.R, r.B - textHeight + frameHeightOf(*font));
}

// One frame of a strip, centred horizontally at the top of the control.
IRECT stripFrameOf(const IRECT& r, const IBitmap& strip)
{
    const int left = r.L + (r.W() - strip.W) / 2;
    return IRECT(left, r.T, left + strip.W, r.T + frameHeightOf(strip));
}

int frameForValue(double value, int nFrames)
{
    const int frame = 1 + static_cast<int>(std::floor(0.5 + value * (nFrames - 1)));
    return std::min(std::max(frame, 1), std::max(nFrames, 1));
}

} // namespace

int BitmapFontText::Advance(unsigned char c) const
{
    const int index = c - mAdvances[0];
    return index >= 0 && index < mAdvances[1] ? mAdvances[2 + index] : 0;
}

int BitmapFontText::Width(const char* text) const
{
    int width = 0;
    for (const char* p = text; *p; ++p)
        width += Advance(static_cast<unsigned char>(*p));
    return width;
}

void BitmapFontText::Draw(IGraphics* graphics, const char* text, int x, const IChannelBlend* blend)
{
    IRECT glyph = mGlyph;
    for (const char* p = text; *p; ++p)
    {
        const unsigned char c = static_cast<unsigned char>(*p);
        glyph.L = x;
        const int frame = std::min(std::max(c - mAdvances[0] + 1, 1), mFont.N);
        graphics->DrawBitmap(&mFont, &glyph, frame, blend);
        x += Advance(c);
    }
}

int BitmapPixelFont::Width(const char* text) const
{
    return BitmapFontText(const_cast<IBitmap*>(&mFont), mAdvances, IRECT()).Width(text);
}

int BitmapPixelFont::Height() const
{
    return frameHeightOf(mFont);
}

void BitmapPixelFont::Draw(IGraphics* graphics, const char* text, int x, int y)
{
    const int right = x + Width(text) + mFont.W;
    BitmapFontText(&mFont, mAdvances, IRECT(x, y, right, y + Height())).Draw(graphics, text, x, nullptr);
}

IButtonControl::IButtonControl(IPluginBase* plug, IRECT rect, IBitmap* bitmap, int frameBase)
    : IControl(plug, rect), mBitmapRECT(rect.L, rect.T, rect.L + bitmap->W,
                                        rect.T + frameHeightOf(*bitmap)),
      mBitmap(*bitmap), mFrameBase(frameBase)
{
}

void IButtonControl::SetState(int state)
{
    if (state == mState)
        return;
    mState = state;
    SetDirty(false);
}

void IButtonControl::OnMouseDown(int, int, IMouseMod*)
{
    SetState(2);
}

// The state stays pressed until the pointer moves over the button again.
void IButtonControl::OnMouseUp(int, int, IMouseMod*)
{
    mClicked();
}

void IButtonControl::OnMouseOver(int, int, IMouseMod*)
{
    SetState(1);
}

void IButtonControl::OnMouseOut()
{
    SetState(0);
}

bool IButtonControl::Draw(IGraphics* graphics)
{
    const int frame = std::min(std::max(mFrameBase + 1 + mState, 1), mBitmap.N);
    return graphics->DrawBitmap(&mBitmap, &mBitmapRECT, frame, &mBlend);
}

ITextControlBitmapFont::ITextControlBitmapFont(IPluginBase* plug, IRECT rect, IText* text,
                                               IBitmap* font, const short* advances,
                                               const char* str)
    : IControl(plug, rect), mTextArea(textAreaOf(rect, kLabelTextHeight)),
      mFontText(font, advances, glyphRectOf(rect, kLabelTextHeight, font)),
      mCenterX(rect.L + rect.W() / 2), mStr(str)
{
    if (text)
        mText = *text;
}

void ITextControlBitmapFont::SetTextFromPlug(const char* str)
{
    UpdateText(&mStr, str);
}

bool ITextControlBitmapFont::Draw(IGraphics* graphics)
{
    mFontText.DrawCentred(graphics, mStr.Get(), mCenterX, &mBlend);
    return true;
}

IKnobMultiControlBitmapFont::IKnobMultiControlBitmapFont(IPluginBase* plug, IRECT rect,
                                                         int paramIdx, IBitmap* knob, IText* text,
                                                         IBitmap* font, const short* advances,
                                                         int textHeight, double gearing)
    : IKnobControl(plug, rect, paramIdx, kVertical, gearing),
      mTextArea(textAreaOf(rect, textHeight)), mKnobRECT(stripFrameOf(rect, *knob)), mKnob(*knob),
      mFontText(font, advances, glyphRectOf(rect, textHeight, font)),
      mCenterX(rect.L + rect.W() / 2)
{
    if (text)
        mText = *text;
    DisablePrompt(false);
}

void IKnobMultiControlBitmapFont::OnMouseDown(int x, int y, IMouseMod* mod)
{
    if (mTextArea.Contains(x, y))
        PromptUserInput(&mTextArea);
    else
        OnMouseDrag(x, y, 0, 0, mod);
}

void IKnobMultiControlBitmapFont::FormatValue(char* text, int size)
{
    text[0] = '\0';
    IParam* param = GetParam();
    if (!param)
        return;
    char value[IParam::kDisplaySize];
    param->GetDisplayForHost(value, sizeof value);
    std::snprintf(text, static_cast<size_t>(size), "%s%s", value, param->GetLabelForHost());
}

bool IKnobMultiControlBitmapFont::Draw(IGraphics* graphics)
{
    graphics->DrawBitmap(&mKnob, &mKnobRECT, frameForValue(GetValue(), mKnob.N), &mBlend);
    char text[32];
    FormatValue(text, sizeof text);
    mFontText.DrawCentred(graphics, text, mCenterX, &mBlend);
    return true;
}

IKnobMultiControlBitmapFontMidiNote::IKnobMultiControlBitmapFontMidiNote(
    IPluginBase* plug, IRECT rect, int paramIdx, IBitmap* knob, IText* text, IBitmap* font,
    const short* advances, int textHeight)
    : IKnobMultiControlBitmapFont(plug, rect, paramIdx, knob, text, font, advances, textHeight,
                                  40.0)
{
}

// A press only sends the value again; note knobs have no prompt.
void IKnobMultiControlBitmapFontMidiNote::OnMouseDown(int x, int y, IMouseMod* mod)
{
    OnMouseDrag(x, y, 0, 0, mod);
}

void IKnobMultiControlBitmapFontMidiNote::FormatValue(char* text, int size)
{
    text[0] = '\0';
    IParam* param = GetParam();
    if (!param)
        return;
    const int note = param->Int();
    const int inOctave = ((note % 12) + 12) % 12;
    std::snprintf(text, static_cast<size_t>(size), "%s %d", qxNoteNames[inOctave], note / 12 - 1);
}

IPeakMeterBitmapBitmapFont::IPeakMeterBitmapBitmapFont(IPluginBase* plug, IRECT rect,
                                                       IBitmap* meter, IText* text, IBitmap* font,
                                                       const short* advances, int textHeight,
                                                       TextAlign align, int textOffset)
    : IControl(plug, rect), mTextArea(textAreaOf(rect, textHeight)),
      mMeterRECT(stripFrameOf(rect, *meter)), mMeter(*meter),
      mFontText(font, advances, glyphRectOf(rect, textHeight, font)),
      mCenterX(rect.L + rect.W() / 2), mTextOffset(textOffset), mAlign(align)
{
    if (text)
        mText = *text;
}

void IPeakMeterBitmapBitmapFont::FormatLevel(double level, char* text, int size)
{
    if (level < kSilentLevel)
        std::snprintf(text, static_cast<size_t>(size), "-A");
    else
        std::snprintf(text, static_cast<size_t>(size), "%.*f", 1, qxDSP::lin2dB(level));
    // A level just under full scale rounds to zero, which has no sign.
    if (std::strcmp(text, "-0.0") == 0)
        std::snprintf(text, static_cast<size_t>(size), "0.0");
}

bool IPeakMeterBitmapBitmapFont::IsDirty()
{
    if (mLevel)
        SetValueFromPlug(mLevel());
    return true;
}

bool IPeakMeterBitmapBitmapFont::Draw(IGraphics* graphics)
{
    const double level = GetValue();
    graphics->DrawBitmap(&mMeter, &mMeterRECT, frameForValue(level, mMeter.N), &mBlend);
    char text[20];
    FormatLevel(level, text, sizeof text);
    const int width = mFontText.Width(text);
    int x = mCenterX - width / 2;
    if (mAlign == kAlignLeft)
        x = mRECT.L + mTextOffset;
    else if (mAlign == kAlignRight)
        x = mRECT.R - width - mTextOffset;
    mFontText.Draw(graphics, text, x, &mBlend);
    return true;
}
