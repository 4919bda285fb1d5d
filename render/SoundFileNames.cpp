#include "SoundFileNames.h"

#include <cstring>

namespace
{

const size_t kMostNameBytes = 200; // of the 255 a name may have: room for " (9999).flac"
const char kReplacement[] = "\xef\xbf\xbd";

bool refusedInNames(unsigned char c)
{
    return c < 0x20 || c == 0x7f || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

bool continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 character at text[at], or 0: no
// overlong forms, surrogates or code points past U+10FFFF, and no NUL.
size_t characterAt(const std::string& text, size_t at)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    if (lead == 0)
        return 0;
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || at + length > text.size() || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if (!continuation(byte(k)))
            return 0;
    return length;
}

std::string validUtf8(const std::string& text)
{
    std::string valid;
    for (size_t at = 0; at < text.size();)
    {
        const size_t length = characterAt(text, at);
        valid += length == 0 ? std::string(kReplacement) : text.substr(at, length);
        at += length == 0 ? 1 : length;
    }
    return valid;
}

} // namespace

std::string FileNameFor(const std::string& name)
{
    std::string safe = validUtf8(name);
    for (char& c : safe)
        if (refusedInNames(static_cast<unsigned char>(c)))
            c = c == '/' || c == '\\' ? '-' : ' ';
    if (safe.size() > kMostNameBytes)
    {
        size_t cut = kMostNameBytes;
        while (cut > 0 && continuation(static_cast<unsigned char>(safe[cut])))
            --cut; // not inside a character
        safe.erase(cut);
    }
    // A leading dot hides the file; a trailing dot or space is lost on other systems.
    const size_t first = safe.find_first_not_of(". ");
    const size_t last = safe.find_last_not_of(". ");
    return first == std::string::npos ? "sound" : safe.substr(first, last - first + 1);
}

std::string GameFileNameFor(const std::string& name)
{
    std::string plain;
    for (char c : FileNameFor(name))
    {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (c >= 'A' && c <= 'Z')
            plain += static_cast<char>(c - 'A' + 'a');
        else if (kept)
            plain += c;
        else if (!plain.empty() && plain.back() != '_')
            plain += '_';
    }
    while (!plain.empty() && (plain.back() == '_' || plain.back() == '.'))
        plain.pop_back();
    const size_t first = plain.find_first_not_of('.');
    return first == std::string::npos ? "sound" : plain.substr(first);
}
