#pragma once

// Bytes packed to travel as text (a link's fragment, a one-line code):
// deflated, then the CRC-32 of those deflated bytes, in URL-safe base64
// without padding. The checksum covers the bytes as sent, so a damaged text
// is refused even where the deflated stream would still read.
#include <cstddef>
#include <string>
#include <vector>

std::string PackForText(const std::vector<unsigned char>& bytes);
// The bytes packed, at most mostBytes of them; throws std::runtime_error
// saying what is wrong ("its checksum does not match", ...), for the caller
// to say what was damaged.
std::vector<unsigned char> UnpackText(const std::string& text, size_t mostBytes);
