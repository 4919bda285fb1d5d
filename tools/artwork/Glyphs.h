#pragma once

#include "PIX.h"

#include <string>

// The Eyetype pixel face: glyphs designed on a 5 x 7 grid (two more rows for
// descenders), of varying width, for codes 32 ... 126 and a few past ASCII.
struct Glyph
{
    int width = 0;       // columns used; 0 for a glyph with no pixels
    const char* rows[9]; // '#' lit; missing rows are empty
};

// Null for a code the face has no glyph for.
const Glyph* GlyphFor(unsigned char code);
// An infinity sign as wide as a letter: the meter's font draws it for 'A', so
// that the meter's "-A" for silence reads as minus infinity.
const Glyph& InfinityGlyph();

// Draws one glyph with its top-left cell corner at (x, y), each design pixel a
// scale x scale square; a shadow colour with alpha > 0 is drawn one pixel down
// and right first.
void DrawGlyph(PIX_IBitmap* dest, const Glyph& glyph, int x, int y, int scale, PIX_Pixel color,
               PIX_Pixel shadow);

// Text in the face with one column between glyphs; returns its width.
int TextWidth(const std::string& text, int scale);
void DrawText(PIX_IBitmap* dest, const std::string& text, int x, int y, int scale, PIX_Pixel color,
              PIX_Pixel shadow = 0);
void DrawTextCentred(PIX_IBitmap* dest, const std::string& text, int centreX, int y, int scale,
                     PIX_Pixel color, PIX_Pixel shadow = 0);
