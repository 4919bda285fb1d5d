#include "KIT_Printable.h"

#include <cstdio>

namespace
{

std::string escapeOf(unsigned code, const char* format)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, format, code);
    return escape;
}

} // namespace

std::string KIT_Printable(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == '\n')
            shown += "\\n";
        else if (c == '\t')
            shown += "\\t";
        else if (c == '\r')
            shown += "\\r";
        else if (c < 0x20 || c == 0x7f)
            shown += escapeOf(c, "\\x%02x");
        else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) // U+0080 ... U+009F in UTF-8
            shown += escapeOf(text[++i] & 0xffu, "\\u%04x");
        else
            shown += static_cast<char>(c);
    }
    return shown;
}
