#include "IBitmapMonoText.h"

#include "IGraphics.h"

#include <cstring>

void DrawBitmapedText(IGraphics* graphics, IBitmap* font, IRECT* rect, IText* text,
                      IChannelBlend* blend, const char* str, bool vCenter, bool multiline,
                      int charWidth, int charHeight, int charOffset)
{
    if (!str || !str[0] || charWidth < 1 || rect->W() < charWidth)
        return;
    const int n = static_cast<int>(std::strlen(str));
    const int y = vCenter ? rect->T + (rect->H() - charHeight) / 2 : rect->T;
    int x = rect->L;
    if (text->mAlign == IText::kAlignCenter)
        x = rect->L + (rect->W() - n * charWidth) / 2;
    else if (text->mAlign == IText::kAlignFar)
        x = rect->R - n * charWidth;

    int perLine = rect->W() / charWidth, lines = 1;
    if (multiline && n * charWidth > rect->W())
        lines = n * charWidth / rect->W() + 1;
    else if (multiline)
        perLine = n;
    int i = 0;
    for (int line = 0; line < lines && i < n; ++line)
    {
        for (int c = 0; c < perLine && i < n; ++c, ++i)
        {
            IRECT glyph(x + c * (charWidth + charOffset), y + line * charHeight,
                        x + c * (charWidth + charOffset) + charWidth,
                        y + line * charHeight + charHeight);
            graphics->DrawBitmap(font, &glyph, static_cast<unsigned char>(str[i]) - 31, blend);
        }
    }
}

IBitmapTextControl::IBitmapTextControl(IPluginBase* plug, IRECT rect, IBitmap* font,
                                       const char* str, IText* text, int charWidth,
                                       int charHeight, int charOffset, bool multiLine,
                                       bool vCenter)
    : IControl(plug, rect), mStr(str), mCharWidth(charWidth), mCharHeight(charHeight),
      mCharOffset(charOffset), mFont(*font), mMultiLine(multiLine), mVCentre(vCenter)
{
    if (text)
        mText = *text;
}

void IBitmapTextControl::SetTextFromPlug(const char* str)
{
    UpdateText(&mStr, str);
}

bool IBitmapTextControl::Draw(IGraphics* graphics)
{
    if (mStr.GetLength())
        DrawBitmapedText(graphics, &mFont, &mRECT, &mText, &mBlend, mStr.Get(), mVCentre,
                         mMultiLine, mCharWidth, mCharHeight, mCharOffset);
    return true;
}
