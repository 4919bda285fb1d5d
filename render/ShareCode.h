#pragma once

#include "Containers.h"

#include <string>

// Sound codes: a state as one line of text to paste anywhere. "bfs1:" names
// the format and its version; base64 of the 484-byte state and its CRC-32
// follows, so any damaged character is caught.
std::string EncodeShareCode(const ByteChunk& state);
// What every sound code begins with.
std::string ShareCodePrefix();
// The state a code holds; throws std::runtime_error saying what is wrong.
ByteChunk DecodeShareCode(const std::string& code);
// Whether text is meant as a code rather than a file name.
bool LooksLikeShareCode(const std::string& text);
// Refuses (std::runtime_error, calling it what) a code that does not begin
// "PREFIX<version>:", or whose version is another than the one read here.
void CheckCodeVersion(const std::string& code, const std::string& prefix, int version,
                      const std::string& what);
