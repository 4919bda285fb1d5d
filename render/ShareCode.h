#pragma once

#include "Containers.h"

#include <stdexcept>
#include <string>

// Sound codes: a state as one line of text to paste anywhere. "bfs1:" names
// the format and its version; base64 of the 484-byte state and its CRC-32
// follows, so any damaged character is caught.
std::string EncodeShareCode(const ByteChunk& state);
// What every sound code begins with.
std::string ShareCodePrefix();
// Text changed on its way (a character lost or altered): "<subject> is
// damaged: <why>", with why kept apart for those who word it otherwise.
struct DamagedText : std::runtime_error
{
    DamagedText(const std::string& subject, const std::string& why);
    std::string why;
};
// The state a code holds; throws std::runtime_error saying what is wrong
// (DamagedText when its characters were changed).
ByteChunk DecodeShareCode(const std::string& code);
// Whether text is meant as a code rather than a file name.
bool LooksLikeShareCode(const std::string& text);
// Refuses (std::runtime_error, calling it what) a code that does not begin
// "PREFIX<version>:", or whose version is another than the one read here.
void CheckCodeVersion(const std::string& code, const std::string& prefix, int version,
                      const std::string& what);
