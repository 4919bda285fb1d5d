#pragma once

// Advance lists of the instrument's bitmap fonts: the first code (32), the
// number of glyph frames (224, codes 32 ... 255), then one advance width per
// code; 0 where the font has no glyph.
const int kFontListSize = 2 + 224;
extern const short advList_Eyetype_3_12[kFontListSize];
extern const short advList_Eyetype_3_14[kFontListSize];
extern const short advList_Eyetype_3_20[kFontListSize];
