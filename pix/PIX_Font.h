#pragma once

#include "PIX.h"

#include <memory>

// Text flags: the alignment in the low bits, then behaviour.
enum
{
    PIX_DT_LEFT = 0,
    PIX_DT_CENTER = 1,
    PIX_DT_RIGHT = 2,
    PIX_DT_ALIGN_MASK = 3,
    PIX_DT_NOCLIP = 0x100,
    PIX_DT_CALCRECT = 0x400,
    PIX_DT_USEFGALPHA = 0x100000
};

enum PIX_FontQuality
{
    PIX_FONT_DEFAULT = 0,
    PIX_FONT_NONANTIALIASED = 1,
    PIX_FONT_ANTIALIASED = 2
};

// A native font resolved from a family name (with the usual fallbacks) and
// rendered through glyph images cached on first use. Text is UTF-8; it is laid
// out on one line from the top of the rectangle.
class PIX_IFont
{
public:
    virtual ~PIX_IFont() = default;
    virtual void SetTextColor(PIX_Pixel color) = 0;
    virtual int GetLineHeight() = 0;
    // Draws into rect (or, with PIX_DT_CALCRECT, sets rect's right and bottom to
    // the text's extent without drawing). Returns the text's height.
    virtual int DrawText(PIX_IBitmap* dest, const char* text, PIX_Rect* rect, int flags) = 0;
};

struct PIX_FontRequest
{
    const char* family = "sans-serif";
    int height = 12;      // pixels
    int orientation = 0;  // tenths of a degree; only 0 is laid out
    int weight = 400;     // 700 is bold
    bool italic = false;
    int quality = PIX_FONT_DEFAULT;
};

// Null when no font can be found or loaded.
std::unique_ptr<PIX_IFont> PIX_CreateFont(const PIX_FontRequest& request);
