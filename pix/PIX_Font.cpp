#include "PIX_Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace
{

// FreeType's library object is not thread-safe for creating and freeing faces;
// font lookups share the same lock.
std::mutex& freetypeMutex()
{
    static std::mutex mutex;
    return mutex;
}

FT_Library freetype()
{
    static FT_Library library = []
    {
        FT_Library created = nullptr;
        return FT_Init_FreeType(&created) == 0 ? created : nullptr;
    }();
    return library;
}

// The file fontconfig picks for the family, weight and slant.
std::string resolveFontFile(const PIX_FontRequest& request)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(request.family));
    if (!pattern)
        return "";
    FcPatternAddInteger(pattern, FC_WEIGHT, request.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
        file = reinterpret_cast<const char*>(path);
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return file;
}

// Next code point of UTF-8 text; a malformed byte stands for itself.
unsigned nextCodePoint(const unsigned char*& p)
{
    const unsigned c = *p++;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned code = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
    for (const unsigned char* q = p; extra > 0; --extra, ++q)
    {
        if ((*q & 0xC0) != 0x80)
            return c;
        code = code << 6 | (*q & 0x3F);
        p = q + 1;
    }
    return code;
}

struct Glyph
{
    int left = 0, top = 0; // offset of the image from the pen on the baseline
    int width = 0, rows = 0;
    int advance = 0;
    std::vector<unsigned char> coverage; // width x rows, 0 ... 255
};

class FreeTypeFont : public PIX_IFont
{
public:
    FreeTypeFont(FT_Face face, bool antialiased) : mFace(face), mAntialiased(antialiased)
    {
        mAscender = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
        mLineHeight = static_cast<int>((face->size->metrics.height + 32) >> 6);
    }
    ~FreeTypeFont() override
    {
        std::lock_guard<std::mutex> lock(freetypeMutex());
        FT_Done_Face(mFace);
    }

    void SetTextColor(PIX_Pixel color) override { mColor = color; }
    int GetLineHeight() override { return mLineHeight; }

    int DrawText(PIX_IBitmap* dest, const char* text, PIX_Rect* rect, int flags) override
    {
        if (!text || !rect)
            return 0;
        std::vector<const Glyph*> glyphs;
        int width = 0;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p;)
        {
            const Glyph& glyph = glyphFor(nextCodePoint(p));
            glyphs.push_back(&glyph);
            width += glyph.advance;
        }
        if (flags & PIX_DT_CALCRECT)
        {
            rect->right = rect->left + width;
            rect->bottom = rect->top + mLineHeight;
            return mLineHeight;
        }
        int x = rect->left;
        const int align = flags & PIX_DT_ALIGN_MASK;
        if (align == PIX_DT_CENTER)
            x = (rect->left + rect->right) / 2 - width / 2;
        else if (align == PIX_DT_RIGHT)
            x = rect->right - width;
        PIX_Rect clip = {0, 0, dest ? dest->getWidth() : 0, dest ? dest->getHeight() : 0};
        if (!(flags & PIX_DT_NOCLIP))
            clip = {std::max(clip.left, rect->left), std::max(clip.top, rect->top),
                    std::min(clip.right, rect->right), std::min(clip.bottom, rect->bottom)};
        const int alpha = (flags & PIX_DT_USEFGALPHA) ? PIX_Channel(mColor, 0) : 255;
        for (const Glyph* glyph : glyphs)
        {
            blend(dest, *glyph, x + glyph->left, rect->top + mAscender - glyph->top, clip, alpha);
            x += glyph->advance;
        }
        return mLineHeight;
    }

private:
    const Glyph& glyphFor(unsigned code)
    {
        auto found = mGlyphs.find(code);
        if (found != mGlyphs.end())
            return found->second;
        Glyph& glyph = mGlyphs[code];
        const FT_Int32 load = FT_LOAD_RENDER | (mAntialiased ? FT_LOAD_TARGET_NORMAL
                                                             : FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME);
        if (FT_Load_Char(mFace, code, load) != 0)
            return glyph;
        const FT_GlyphSlot slot = mFace->glyph;
        const FT_Bitmap& image = slot->bitmap;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(image.width);
        glyph.rows = static_cast<int>(image.rows);
        glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.rows);
        for (int y = 0; y < glyph.rows; ++y)
        {
            const unsigned char* row = image.buffer + static_cast<long>(y) * image.pitch;
            for (int x = 0; x < glyph.width; ++x)
            {
                const bool mono = image.pixel_mode == FT_PIXEL_MODE_MONO;
                const int value = mono ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255 : row[x];
                glyph.coverage[static_cast<size_t>(y) * glyph.width + x] =
                    static_cast<unsigned char>(value);
            }
        }
        return glyph;
    }

    void blend(PIX_IBitmap* dest, const Glyph& glyph, int x0, int y0, const PIX_Rect& clip,
               int alpha) const
    {
        PIX_Pixel* bits = dest->getBits();
        const int span = dest->getRowSpan();
        for (int y = std::max(0, clip.top - y0); y < glyph.rows && y0 + y < clip.bottom; ++y)
        {
            PIX_Pixel* row = bits + static_cast<long>(dest->isFlipped() ? dest->getHeight() - 1 - (y0 + y)
                                                                        : y0 + y) *
                                        span;
            for (int x = std::max(0, clip.left - x0); x < glyph.width && x0 + x < clip.right; ++x)
            {
                const int a = glyph.coverage[static_cast<size_t>(y) * glyph.width + x] * alpha / 255;
                if (a > 0)
                    row[x0 + x] = mix(row[x0 + x], a);
            }
        }
    }

    // The text colour over the pixel at weight a / 255; coverage adds opacity.
    PIX_Pixel mix(PIX_Pixel under, int a) const
    {
        int out[4];
        out[0] = a + PIX_Channel(under, 0) * (255 - a) / 255;
        for (int c = 1; c < 4; ++c)
            out[c] = (PIX_Channel(mColor, c) * a + PIX_Channel(under, c) * (255 - a)) / 255;
        return PIX_MakePixel(out[0], out[1], out[2], out[3]);
    }

    FT_Face mFace;
    bool mAntialiased;
    int mAscender = 0;
    int mLineHeight = 0;
    PIX_Pixel mColor = PIX_MakePixel(255, 0, 0, 0);
    std::unordered_map<unsigned, Glyph> mGlyphs;
};

} // namespace

std::unique_ptr<PIX_IFont> PIX_CreateFont(const PIX_FontRequest& request)
{
    if (!request.family || request.height < 1)
        return nullptr;
    std::lock_guard<std::mutex> lock(freetypeMutex());
    const std::string file = resolveFontFile(request);
    if (file.empty() || !freetype())
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(freetype(), file.c_str(), 0, &face) != 0)
        return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(request.height)) != 0)
    {
        FT_Done_Face(face);
        return nullptr;
    }
    return std::make_unique<FreeTypeFont>(face, request.quality != PIX_FONT_NONANTIALIASED);
}
