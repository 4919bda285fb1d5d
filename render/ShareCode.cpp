#include "ShareCode.h"

#include "KIT_Base64.h"
#include "KIT_Crc32.h"
#include "Params.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <stdexcept>

namespace
{

const char kPrefix[] = "bfs";
const int kVersion = 1;
const int kPayloadSize = kStateSize + 4;

bool isBase64(const std::string& text)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    const size_t padding = text.find('=');
    for (size_t i = 0; i < text.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool inAlphabet = std::isalnum(c) || c == '+' || c == '/';
        if (i >= padding ? c != '=' : !inAlphabet)
            return false;
    }
    return padding == std::string::npos || text.size() - padding <= 2;
}

} // namespace

bool LooksLikeShareCode(const std::string& text)
{
    return text.compare(0, sizeof kPrefix - 1, kPrefix) == 0 && text.find(':') != std::string::npos;
}

std::string EncodeShareCode(const ByteChunk& state)
{
    ByteChunk payload;
    payload.PutChunk(&state);
    const uint32_t crc = Crc32(state.GetBytes(), static_cast<size_t>(state.Size()));
    const unsigned char tail[4] = {static_cast<unsigned char>(crc >> 24),
                                   static_cast<unsigned char>(crc >> 16),
                                   static_cast<unsigned char>(crc >> 8),
                                   static_cast<unsigned char>(crc)};
    payload.PutBytes(tail, 4);
    std::string text(static_cast<size_t>(base64EncodedLength(payload.Size())) + 1, '\0');
    base64encode(payload.GetBytes(), &text[0], payload.Size());
    text.resize(text.size() - 1);
    return ShareCodePrefix() + text;
}

std::string ShareCodePrefix()
{
    return kPrefix + std::to_string(kVersion) + ":";
}

DamagedText::DamagedText(const std::string& subject, const std::string& why)
    : std::runtime_error(subject + " is damaged: " + why), why(why)
{
}

void CheckCodeVersion(const std::string& code, const std::string& prefix, int version,
                      const std::string& what)
{
    const size_t colon = code.find(':');
    const std::string head = code.substr(0, colon);
    const std::string digits = head.substr(std::min(head.size(), prefix.size()));
    if (code.compare(0, prefix.size(), prefix) != 0 || colon == std::string::npos ||
        digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        throw std::runtime_error("not a " + what + ": it must start with \"" + prefix +
                                 std::to_string(version) + ":\"");
    if (digits.size() > 6 || std::stoi(digits) > version)
        throw std::runtime_error(what + " version " + digits +
                                 " is newer than this bleepforge reads (" +
                                 std::to_string(version) + "); update bleepforge");
    if (std::stoi(digits) < version)
        throw std::runtime_error("unknown " + what + " version " + digits);
}

ByteChunk DecodeShareCode(const std::string& code)
{
    CheckCodeVersion(code, kPrefix, kVersion, "sound code");
    const size_t colon = code.find(':');
    const std::string body = code.substr(colon + 1);
    if (!isBase64(body))
        throw DamagedText("sound code", "its text is not base64");
    ByteChunk payload;
    payload.Resize(static_cast<int>(body.size() / 4 * 3));
    const int size = base64decode(body.c_str(), payload.GetBytes(), payload.Size());
    if (size != kPayloadSize)
        throw std::runtime_error("sound code holds " + std::to_string(size) + " bytes, expected " +
                                 std::to_string(kPayloadSize));
    const unsigned char* tail = payload.GetBytes() + kStateSize;
    const uint32_t stored = static_cast<uint32_t>(tail[0]) << 24 | static_cast<uint32_t>(tail[1]) << 16 |
                            static_cast<uint32_t>(tail[2]) << 8 | tail[3];
    if (stored != Crc32(payload.GetBytes(), kStateSize))
        throw DamagedText("sound code", "its checksum does not match");
    ByteChunk state;
    state.PutBytes(payload.GetBytes(), kStateSize);
    // Base64 leaves spare bits in the last characters: only the one spelling
    // of a state counts, so every changed character is caught.
    if (EncodeShareCode(state) != code)
        throw DamagedText("sound code", "its last characters are not as written");
    return state;
}
