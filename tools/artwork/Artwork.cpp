// Draws the editor's 21 images into a resources folder: bitmap fonts, knob and
// meter strips, buttons, keys, the about box and the background with every
// label placed for the instrument's layout. Run by the build.
#include "Glyphs.h"
#include "Params.h"
#include "qxFontLists.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

PIX_Pixel rgb(int r, int g, int b, int a = 255)
{
    return PIX_MakePixel(a, r, g, b);
}

// The palette: a dark console, cream print, one red accent.
const PIX_Pixel kPanel = rgb(32, 34, 44);
const PIX_Pixel kBand = rgb(22, 23, 31);
const PIX_Pixel kWell = rgb(43, 46, 60);
const PIX_Pixel kWellEdge = rgb(56, 60, 78);
const PIX_Pixel kCream = rgb(242, 230, 201);
const PIX_Pixel kDimCream = rgb(168, 162, 146);
const PIX_Pixel kAccent = rgb(232, 72, 64);
const PIX_Pixel kShadow = rgb(10, 10, 14);
const PIX_Pixel kTrack = rgb(64, 67, 84);
const PIX_Pixel kIvory = rgb(236, 232, 218);
const PIX_Pixel kEbony = rgb(26, 26, 32);

const int kKeyboardLeft = 138, kKeyboardTop = 707, kOctaves = 8;
const int kWhiteW = 10, kWhiteH = 56, kBlackW = 6, kBlackH = 34;
const int kKeyCoords[12] = {0, 7, 10, 17, 20, 30, 37, 40, 47, 50, 57, 60};

class Image
{
public:
    Image(int w, int h) : mBitmap(w, h, 1)
    {
        std::memset(mBitmap.getBits(), 0, sizeof(PIX_Pixel) * static_cast<size_t>(w) * h);
    }
    PIX_IBitmap* operator->() { return &mBitmap; }
    PIX_IBitmap* get() { return &mBitmap; }
    bool Save(const std::string& folder, const char* name)
    {
        const std::string path = folder + "/" + name;
        if (PIX_WritePNG(path.c_str(), &mBitmap))
            return true;
        std::fprintf(stderr, "artwork: cannot write %s\n", path.c_str());
        return false;
    }

private:
    PIX_MemBitmap mBitmap;
};

void fill(PIX_IBitmap* image, int x, int y, int w, int h, PIX_Pixel color)
{
    PIX_FillRect(image, x, y, w, h, color, 1.0f, PIX_BLEND_COPY);
}

void fillRound(PIX_IBitmap* image, int x, int y, int w, int h, int r, PIX_Pixel color)
{
    fill(image, x + r, y, w - 2 * r, h, color);
    fill(image, x, y + r, w, h - 2 * r, color);
    for (int cx : {x + r, x + w - r - 1})
        for (int cy : {y + r, y + h - r - 1})
            PIX_FillCircle(image, cx, cy, r, color, 1.0f);
}

// Bitmap fonts: one frame per code from 32, each glyph centred in the cell its
// advance gives (advance - 1 columns, one left free between glyphs).
struct FontStyle
{
    const char* file;
    const short* advances;
    int frameW, frameH, top, scale;
    PIX_Pixel color, shadow;
    bool infinityForA = false;
};

const Glyph* glyphOf(const FontStyle& style, unsigned char code)
{
    return style.infinityForA && code == 'A' ? &InfinityGlyph() : GlyphFor(code);
}

bool drawFont(const std::string& folder, const FontStyle& style)
{
    const int n = style.advances[1];
    Image image(style.frameW, style.frameH * n);
    for (int k = 0; k < n; ++k)
    {
        const Glyph* glyph = glyphOf(style, static_cast<unsigned char>(style.advances[0] + k));
        const int advance = style.advances[2 + k];
        if (!glyph || !glyph->width || advance < 1)
            continue;
        const bool shadowed = PIX_Channel(style.shadow, 0) > 0;
        const int glyphW = glyph->width * style.scale + (shadowed ? 1 : 0);
        const int cell = advance - 1;
        DrawGlyph(image.get(), *glyph, (cell - glyphW) / 2, k * style.frameH + style.top,
                  style.scale, style.color, style.shadow);
    }
    return image.Save(folder, style.file);
}

// A round knob on a track arc lit up to its value, pointer included.
void drawKnobFrame(PIX_IBitmap* image, int cx, int cy, int radius, double value, PIX_Pixel lit,
                   PIX_Pixel body, PIX_Pixel cap)
{
    const double angle = -135.0 + 270.0 * value;
    for (int r : {radius + 3, radius + 4})
    {
        PIX_DrawArc(image, cx, cy, r, -135.0f, 135.0f, kTrack, 1.0f);
        if (value > 0.0)
            PIX_DrawArc(image, cx, cy, r, -135.0f, static_cast<float>(angle), lit, 1.0f);
    }
    PIX_FillCircle(image, cx, cy, radius, kShadow, 1.0f);
    PIX_FillCircle(image, cx, cy, radius - 1, body, 1.0f);
    PIX_FillCircle(image, cx - 1, cy - 1, radius - 4, cap, 1.0f);
    for (double spread : {-4.0, 0.0, 4.0})
        PIX_DrawRadialLine(image, cx, cy, static_cast<float>(angle + spread), 2, radius - 2,
                           kShadow, 1.0f);
}

bool drawKnobStrip(const std::string& folder, const char* file, int w, int h, int frames,
                   int radius, PIX_Pixel lit, PIX_Pixel body, PIX_Pixel cap)
{
    Image image(w, h * frames);
    for (int f = 0; f < frames; ++f)
        drawKnobFrame(image.get(), w / 2, f * h + h / 2, radius,
                      static_cast<double>(f) / (frames - 1), lit, body, cap);
    return image.Save(folder, file);
}

// A slide switch with as many stops as frames.
bool drawSwitch(const std::string& folder, const char* file, int w, int h, int stops)
{
    Image image(w, h * stops);
    const int left = 8, right = w - 8;
    for (int f = 0; f < stops; ++f)
    {
        const int y = f * h;
        fillRound(image.get(), 3, y + h / 2 - 4, w - 6, 8, 3, kShadow);
        fillRound(image.get(), 4, y + h / 2 - 3, w - 8, 6, 2, kTrack);
        for (int s = 0; s < stops; ++s)
            fill(image.get(), left + s * (right - left) / (stops - 1), y + h / 2 - 1, 1, 2, kDimCream);
        const int x = left + f * (right - left) / (stops - 1);
        fillRound(image.get(), x - 6, y + 2, 12, h - 4, 2, kShadow);
        fillRound(image.get(), x - 5, y + 3, 10, h - 6, 2, kAccent);
        fill(image.get(), x - 3, y + 5, 6, 1, rgb(255, 140, 120));
        fill(image.get(), x - 1, y + 6, 2, h - 12, rgb(150, 36, 32));
    }
    return image.Save(folder, file);
}

// Eighteen segments lit from the bottom, green to yellow to red.
bool drawMeter(const std::string& folder, const char* file)
{
    const int w = 12, h = 120, segments = 18, frames = 19;
    Image image(w, h * frames);
    for (int f = 0; f < frames; ++f)
    {
        fill(image.get(), 0, f * h, w, h, kShadow);
        for (int s = 0; s < segments; ++s)
        {
            const bool hot = s >= 16, warm = s >= 12;
            PIX_Pixel on = hot ? kAccent : warm ? rgb(236, 200, 64) : rgb(84, 204, 100);
            PIX_Pixel off = hot ? rgb(70, 30, 30) : warm ? rgb(66, 60, 30) : rgb(30, 58, 36);
            const int y = f * h + h - 3 - (s + 1) * 6 + 1;
            fill(image.get(), 2, y, w - 4, 5, s < f ? on : off);
        }
    }
    return image.Save(folder, file);
}

void drawButtonFrame(PIX_IBitmap* image, int y, int w, int h, int state, PIX_Pixel body,
                     PIX_Pixel light, PIX_Pixel dark, const std::string& label, int scale)
{
    const int press = state == 2 ? 2 : 0;
    fillRound(image, 1, y + 3, w - 2, h - 4, 6, kShadow);
    fillRound(image, 2, y + 1 + press, w - 4, h - 5, 5, dark);
    fillRound(image, 2, y + 1 + press, w - 4, h - 7 + press, 5, state == 1 ? light : body);
    fill(image, 8, y + 4 + press, w - 16, 1, light);
    const int textY = y + 1 + press + (h - 7 - 7 * scale) / 2;
    DrawTextCentred(image, label, w / 2, textY, scale, kCream, kShadow);
}

bool drawButtons(const std::string& folder)
{
    // Per frame base / 3: the order of the strip.
    const char* const labels[] = {"RESET", "RANDOM", "PICKUP", "SLASH", "POWERUP",
                                  "HIT",   "JUMP",   "BLIP",   "SHOOT", "MUTATE"};
    const int w = 108, h = 50;
    Image image(w, h * 30);
    for (int f = 0; f < 30; ++f)
    {
        const int button = f / 3;
        const bool utility = button == 0 || button == 1 || button == 9;
        const PIX_Pixel body = utility ? rgb(66, 92, 150) : rgb(196, 52, 46);
        const PIX_Pixel light = utility ? rgb(96, 126, 190) : rgb(236, 84, 72);
        const PIX_Pixel dark = utility ? rgb(36, 50, 86) : rgb(112, 26, 24);
        drawButtonFrame(image.get(), f * h, w, h, f % 3, body, light, dark, labels[button], 2);
    }
    return image.Save(folder, "Buttons.png");
}

bool drawSmallButtons(const std::string& folder)
{
    const char* const labels[] = {"< PREV", "NEXT >", "SAVE"};
    const int w = 76, h = 30;
    Image image(w, h * 9);
    for (int f = 0; f < 9; ++f)
        drawButtonFrame(image.get(), f * h, w, h, f % 3, rgb(84, 88, 108), rgb(118, 124, 150),
                        rgb(44, 46, 58), labels[f / 3], 1);
    return image.Save(folder, "ButtonsSmall.png");
}

// White keys: the six shapes, with the corners where black keys lie left clear.
bool drawWhiteKeys(const std::string& folder, const char* file, PIX_Pixel color)
{
    const bool notchLeft[6] = {false, true, true, true, true, false};
    const bool notchRight[6] = {true, true, false, true, true, false};
    Image image(kWhiteW, kWhiteH * 6);
    for (int f = 0; f < 6; ++f)
    {
        const int y = f * kWhiteH;
        fill(image.get(), 0, y, kWhiteW - 1, kWhiteH - 1, color);
        fill(image.get(), kWhiteW - 1, y, 1, kWhiteH, kShadow);
        fill(image.get(), 0, y + kWhiteH - 1, kWhiteW, 1, kShadow);
        if (notchLeft[f])
            fill(image.get(), 0, y, 3, kBlackH, 0);
        if (notchRight[f])
            fill(image.get(), 7, y, 3, kBlackH, 0);
    }
    return image.Save(folder, file);
}

bool drawBlackKey(const std::string& folder, const char* file, PIX_Pixel color, PIX_Pixel edge)
{
    Image image(kBlackW, kBlackH);
    fill(image.get(), 0, 0, kBlackW, kBlackH, edge);
    fill(image.get(), 1, 0, kBlackW - 2, kBlackH - 3, color);
    return image.Save(folder, file);
}

// Each knob's name goes under its knob, in the gap above the value.
const char* const kKnobLabels[kNumParams] = {
    "GAIN",     "TYPE",     "TYPE",      "TYPE",     "LEVEL",     "LEVEL",    "LEVEL",
    "LEVEL",    "LEVEL",    "OCTAVE",    "OCTAVE",   "OCTAVE",    "SEMI",     "SEMI",
    "SEMI",     "CENTS",    "CENTS",     "CENTS",    "DUTY",      "DUTY",     "DUTY",
    "PHASE",    "PHASE",    "PHASE",     "ENV DEPTH", "ENV DEPTH", "ENV DEPTH", "ENV DEPTH",
    "ENV DEPTH", "ATTACK",  "HOLD",      "DECAY",    "SUSTAIN",   "RELEASE",  "HIGH NOTE",
    "LOW NOTE", "DURATION", "START",     "END",      "CURVE",     "LP CUTOFF", "LP RESO",
    "LP ENV",   "HP CUTOFF", "HP RESO",  "HP ENV",   "COMPRESS",  "TRANSPOSE", "DELAY",
    "TIME",     "TRIGGER",  "ATTACK",    "HOLD",     "DECAY",     "SUSTAIN",  "RELEASE",
    "POSITION", "RATE",     "BITS",      "MUTATION"};

void drawKnobWells(PIX_IBitmap* image)
{
    for (int i = 0; i < kNumParams; ++i)
    {
        const ParamProperties& row = paramProperties[i];
        fillRound(image, row.x + 1, row.y + 1, row.width - 2, row.height - 2, 4, kWellEdge);
        fillRound(image, row.x + 2, row.y + 2, row.width - 4, row.height - 4, 3, kWell);
        const bool selector = i == kPitchJumpTrigger || i == kBitCrushPosition;
        if (!selector)
            DrawTextCentred(image, kKnobLabels[i], row.x + row.width / 2, row.y + 36, 1,
                            kDimCream);
    }
    // The selectors are short: their names stand beside and above them.
    const ParamProperties& trigger = paramProperties[kPitchJumpTrigger];
    DrawText(image, kKnobLabels[kPitchJumpTrigger],
             trigger.x - 4 - TextWidth(kKnobLabels[kPitchJumpTrigger], 1), trigger.y + 10, 1,
             kDimCream);
    const ParamProperties& position = paramProperties[kBitCrushPosition];
    DrawTextCentred(image, kKnobLabels[kBitCrushPosition], position.x + position.width / 2,
                    position.y - 12, 1, kDimCream);
}

void drawKeyboardAtRest(PIX_IBitmap* image)
{
    const int whites = kOctaves * 7 + 1;
    fill(image, kKeyboardLeft - 3, kKeyboardTop - 3, whites * kWhiteW + 5, kWhiteH + 5, kShadow);
    for (int k = 0; k < whites; ++k)
    {
        const int x = kKeyboardLeft + k * kWhiteW;
        fill(image, x, kKeyboardTop, kWhiteW - 1, kWhiteH - 1, kIvory);
        fill(image, x, kKeyboardTop + kWhiteH - 6, kWhiteW - 1, 5, rgb(212, 206, 188));
    }
    for (int o = 0; o < kOctaves; ++o)
    {
        for (int note : {1, 3, 6, 8, 10})
        {
            const int x = kKeyboardLeft + o * 7 * kWhiteW + kKeyCoords[note];
            fill(image, x, kKeyboardTop, kBlackW, kBlackH, kShadow);
            fill(image, x + 1, kKeyboardTop, kBlackW - 2, kBlackH - 3, kEbony);
            fill(image, x + 2, kKeyboardTop, 1, kBlackH - 6, rgb(70, 70, 82));
        }
    }
    fill(image, kKeyboardLeft - 3, kKeyboardTop - 3, whites * kWhiteW + 5, 2, kAccent);
}

void drawTitle(PIX_IBitmap* image, const std::string& text, int x, int y)
{
    DrawText(image, text, x, y, 1, kAccent);
}

bool drawBackground(const std::string& folder)
{
    Image image(846, 768);
    PIX_IBitmap* bg = image.get();
    fill(bg, 0, 0, 846, 768, kPanel);
    fill(bg, 0, 0, 846, 26, kBand);
    fill(bg, 0, 26, 846, 1, kAccent);
    drawTitle(bg, "OSCILLATORS", 32, 10);
    drawTitle(bg, "BIT CRUSHER", 680, 10);
    DrawText(bg, "BLEEPFORGE", 300, 6, 2, kCream, kShadow);
    drawTitle(bg, "OUTPUT", 752, 10);
    for (int osc = 0; osc < 3; ++osc)
        DrawText(bg, "OSC" + std::to_string(osc + 1), 4, 60 + 68 * osc, 1, kDimCream);
    DrawTextCentred(bg, "WHITE", 68, 264, 1, kCream);
    DrawTextCentred(bg, "NOISE", 68, 276, 1, kDimCream);
    DrawTextCentred(bg, "PINK", 68, 332, 1, kCream);
    DrawTextCentred(bg, "NOISE", 68, 344, 1, kDimCream);
    drawTitle(bg, "PITCH SWEEP", 320, 286);
    drawTitle(bg, "AMP ENVELOPE", 32, 384);
    DrawText(bg, "AMP", 6, 432, 1, kDimCream);
    DrawText(bg, "FLT", 6, 500, 1, kDimCream);
    drawTitle(bg, "FILTERS", 464, 384);
    drawTitle(bg, "PITCH JUMP", 752, 384);
    drawTitle(bg, "GENERATORS", 153, 540);
    drawTitle(bg, "SOUND SLOT", 248, 250);

    drawKnobWells(bg);
    fillRound(bg, 755, 96, 66, 150, 4, kWellEdge);
    fillRound(bg, 756, 97, 64, 148, 3, kBand);
    fillRound(bg, 547, 239, 57, 32, 3, kWellEdge);
    fill(bg, 549, 241, 53, 28, rgb(14, 22, 18));
    fillRound(bg, 145, 550, 556, 114, 6, kBand);

    DrawText(bg, "BLEEP", 20, 648, 3, kAccent, kShadow);
    DrawText(bg, "FORGE", 20, 674, 3, kCream, kShadow);
    DrawText(bg, "V1.0.0", 20, 700, 1, kDimCream);
    DrawTextCentred(bg, "ABOUT BLEEPFORGE", 422, 681, 1, kDimCream);
    DrawText(bg, "VANTRELL", 724, 722, 1, kDimCream);
    DrawText(bg, "RETRO SFX", 724, 736, 1, kDimCream);
    drawKeyboardAtRest(bg);
    return image.Save(folder, "Background.png");
}

bool drawAbout(const std::string& folder)
{
    Image image(846, 768);
    PIX_IBitmap* about = image.get();
    fill(about, 0, 0, 846, 768, rgb(0, 0, 0, 176));
    fillRound(about, 221, 182, 404, 404, 8, kAccent);
    fillRound(about, 224, 185, 398, 398, 6, kPanel);
    DrawTextCentred(about, "BLEEPFORGE", 423, 220, 4, kCream, kShadow);
    DrawTextCentred(about, "RETRO SOUND EFFECTS, ONE CLICK AT A TIME", 423, 268, 1, kDimCream);
    // A spinning coin, the first sound anyone makes.
    PIX_FillCircle(about, 423, 352, 34, rgb(120, 84, 10), 1.0f);
    PIX_FillCircle(about, 421, 350, 31, rgb(248, 196, 48), 1.0f);
    PIX_FillCircle(about, 423, 352, 20, rgb(214, 156, 24), 1.0f);
    fill(about, 418, 336, 6, 32, rgb(255, 236, 150));
    DrawTextCentred(about, "VERSION 1.0.0", 423, 412, 2, kCream, kShadow);
    DrawTextCentred(about, "BY VANTRELL", 423, 440, 2, kAccent, kShadow);
    DrawTextCentred(about, "Pickup, Shoot, Powerup, Hit, Jump, Blip, Slash", 423, 482, 1, kCream);
    DrawTextCentred(about, "Random, Mutate and Reset: the rest is yours.", 423, 496, 1, kCream);
    DrawTextCentred(about, "CLICK ANYWHERE TO CLOSE", 423, 552, 1, kDimCream);
    return image.Save(folder, "aboutAU.png");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: artwork OUTPUT-FOLDER\n");
        return 2;
    }
    const std::string out = argv[1];
    const PIX_Pixel none = 0;
    const PIX_Pixel metal = rgb(150, 154, 168), light = rgb(206, 208, 216);
    bool ok = true;
    // The meters' font: only they print with it, and "-A" is their silence.
    ok &= drawFont(out, {"Eyetype_3_12.png", advList_Eyetype_3_12, 8, 12, 2, 1, kCream, none, true});
    ok &= drawFont(out, {"Eyetype_3_14.png", advList_Eyetype_3_14, 10, 14, 3, 1, kCream, kShadow});
    ok &= drawFont(out, {"Eyetype_3_14_white.png", advList_Eyetype_3_14, 10, 14, 3, 1,
                         rgb(255, 255, 255), kShadow});
    ok &= drawFont(out, {"Eyetype_3_20.png", advList_Eyetype_3_20, 16, 20, 1, 2, kCream, none});
    ok &= drawKnobStrip(out, "KnobNes.png", 40, 36, 33, 13, kAccent, metal, light);
    ok &= drawKnobStrip(out, "KnobNes2.png", 40, 36, 33, 13, rgb(84, 204, 100), metal, light);
    ok &= drawKnobStrip(out, "KnobNes3.png", 40, 36, 33, 13, rgb(96, 140, 236), metal, light);
    ok &= drawKnobStrip(out, "KnobSNes.png", 28, 28, 65, 8, kAccent, metal, light);
    ok &= drawKnobStrip(out, "KnobSNes2.png", 28, 28, 65, 8, rgb(96, 140, 236), metal, light);
    ok &= drawSwitch(out, "Switch3.png", 44, 26, 3);
    ok &= drawSwitch(out, "Switch.png", 30, 20, 2);
    ok &= drawMeter(out, "PeakMeterL.png");
    ok &= drawMeter(out, "PeakMeterR.png");
    ok &= drawButtons(out);
    ok &= drawSmallButtons(out);
    ok &= drawWhiteKeys(out, "pianowhitekey.png", rgb(255, 196, 84));
    ok &= drawBlackKey(out, "pianoblackkey.png", rgb(232, 132, 40), rgb(120, 60, 16));
    ok &= drawWhiteKeys(out, "pianowhiteredkey.png", rgb(240, 90, 80));
    ok &= drawBlackKey(out, "pianoblackredkey.png", rgb(200, 40, 36), rgb(100, 16, 14));
    ok &= drawBackground(out);
    ok &= drawAbout(out);
    return ok ? 0 : 1;
}
