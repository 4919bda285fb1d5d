#pragma once

#include "IControl.h"

// Monospaced bitmap text: one frame per character from code 32 on, each
// charWidth x charHeight, spaced charOffset apart.
void DrawBitmapedText(IGraphics* graphics, IBitmap* font, IRECT* rect, IText* text,
                      IChannelBlend* blend, const char* str, bool vCenter, bool multiline,
                      int charWidth, int charHeight, int charOffset);

class IBitmapTextControl : public IControl
{
public:
    IBitmapTextControl(IPluginBase* plug, IRECT rect, IBitmap* font, const char* str = "",
                       IText* text = nullptr, int charWidth = 6, int charHeight = 12,
                       int charOffset = 0, bool multiLine = false, bool vCenter = true);
    void SetTextFromPlug(const char* str);
    bool Draw(IGraphics* graphics) override;

private:
    KIT_String mStr;
    int mCharWidth, mCharHeight, mCharOffset;
    IBitmap mFont;
    bool mMultiLine, mVCentre;
};
