#include "ViewConversions.h"

#include "IParam.h"

#include <cmath>
#include <cstdlib>

void EditorPointFromView(double viewX, double viewYFromTop, int editorHeight, int* x, int* y)
{
    const double viewYUp = editorHeight - viewYFromTop;
    *x = static_cast<int>(std::trunc(viewX)) - 2;
    *y = editorHeight - static_cast<int>(std::trunc(viewYUp)) - 3;
}

int EditorKeyCode(ViewKey key, const std::string& text)
{
    switch (key)
    {
    case ViewKey::kSpace:
        return 0;
    case ViewKey::kUp:
        return 1;
    case ViewKey::kDown:
        return 2;
    case ViewKey::kLeft:
        return 3;
    case ViewKey::kRight:
        return 4;
    default:
        break;
    }
    if (text.size() != 1)
        return -1; // several characters, or one beyond ASCII
    const char c = text[0];
    if (c >= '0' && c <= '9')
        return c - 43;
    if (c >= 'A' && c <= 'Z')
        return c - 50;
    if (c >= 'a' && c <= 'z')
        return c - 82;
    return c == ' ' ? 0 : -1;
}

EntryRules EntryRulesFor(const IParam* param, int maxLength)
{
    EntryRules rules;
    rules.maxLength = maxLength;
    if (param)
        rules.allowed = param->Type() == IParam::kTypeDouble ? "0123456789.-+" : "0123456789-+";
    return rules;
}

bool EntryAccepts(const EntryRules& rules, const std::string& text)
{
    if (!rules.allowed.empty() && text.find_first_not_of(rules.allowed) != std::string::npos)
        return false;
    if (rules.maxLength > 0 && static_cast<int>(text.size()) > rules.maxLength)
        return false;
    return rules.maxValue <= 0 || std::atoi(text.c_str()) <= rules.maxValue;
}

bool IsNumberText(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

void PixelDouble(PIX_IBitmap* src, PIX_IBitmap* dest)
{
    const int w = src->getWidth(), h = src->getHeight();
    dest->resize(2 * w, 2 * h);
    for (int y = 0; y < 2 * h; ++y)
    {
        const PIX_Pixel* from = src->getBits() + static_cast<long>(y / 2) * src->getRowSpan();
        PIX_Pixel* to = dest->getBits() + static_cast<long>(y) * dest->getRowSpan();
        for (int x = 0; x < 2 * w; ++x)
            to[x] = from[x / 2];
    }
}
