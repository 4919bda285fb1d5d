#pragma once

#include "PIX.h"

#include <string>

class IParam;

// What a platform view computes for the graphics context, kept as plain
// functions so every platform's view converts the same way.

// Editor coordinates of a point given in view pixels from the top-left corner:
// the same as the macOS view computes for that physical point, whose y axis
// points up and whose conversion subtracts 2 and 3.
void EditorPointFromView(double viewX, double viewYFromTop, int editorHeight, int* x, int* y);

// The keys a view forwards; anything else goes on to the host.
enum class ViewKey
{
    kSpace,
    kUp,
    kDown,
    kLeft,
    kRight,
    kCharacter // see the text
};

// IGraphics' key code for a press whose text (ignoring modifiers) is given in
// UTF-8; -1 when the view must pass the key on. Only one-character presses count.
int EditorKeyCode(ViewKey key, const std::string& text);

// The characters and length a value field accepts as the user types.
struct EntryRules
{
    std::string allowed; // empty: any
    int maxLength = 0;   // 0: no limit
    int maxValue = 0;    // 0: no limit
};

EntryRules EntryRulesFor(const IParam* param, int maxLength);
bool EntryAccepts(const EntryRules& rules, const std::string& text);
// Whether a typed value is a whole, finite number ("-", "1.2.3" and "" are not).
bool IsNumberText(const std::string& text);

// dest becomes src with every pixel a 2 x 2 block; never smoothed.
void PixelDouble(PIX_IBitmap* src, PIX_IBitmap* dest);
