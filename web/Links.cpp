// A sound as a link's fragment: the state deflated, then the CRC-32 of those
// deflated bytes, written in URL-safe base64 behind "bfz1.": under half as
// long as the sound code. The checksum covers the bytes as sent, so a damaged
// link is refused even where the deflated stream would still read as the same
// state. Reading one gives back the sound code.
#include "KIT_Base64.h"
#include "Params.h"
#include "Requests.h"
#include "ShareCode.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using emscripten::val;

namespace
{

const char kLinkPrefix[] = "bfz1.";
const int kChecksumSize = 4;
// Far past any sound's link (deflating never grows a state by much).
const size_t kLongestLink = 4096;

std::string base64(const unsigned char* bytes, int size)
{
    std::string text(static_cast<size_t>(base64EncodedLength(size)) + 1, '\0');
    base64encode(bytes, &text[0], size);
    text.resize(text.size() - 1);
    return text;
}

std::vector<unsigned char> unbase64(const std::string& text)
{
    std::vector<unsigned char> bytes(text.size() / 4 * 3 + 3);
    bytes.resize(static_cast<size_t>(base64decode(text.c_str(), bytes.data(), static_cast<int>(bytes.size()))));
    return bytes;
}

// URL-safe base64 without padding: '-' and '_' for '+' and '/'.
std::string urlSafe(std::string text)
{
    text.erase(text.find_last_not_of('=') + 1);
    for (char& c : text)
        c = c == '+' ? '-' : c == '/' ? '_' : c;
    return text;
}

std::vector<unsigned char> fromUrlSafe(const std::string& text)
{
    std::string standard = text;
    for (char& c : standard)
    {
        const bool inAlphabet = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
        if (!inAlphabet)
            throw std::runtime_error("the link is damaged: it holds characters a link never has");
        c = c == '-' ? '+' : c == '_' ? '/' : c;
    }
    standard.append((4 - standard.size() % 4) % 4, '=');
    std::vector<unsigned char> bytes = unbase64(standard);
    // Only the one spelling counts, so a changed last character is caught.
    if (urlSafe(base64(bytes.data(), static_cast<int>(bytes.size()))) != text)
        throw std::runtime_error("the link is damaged: its last characters are not as written");
    return bytes;
}

std::vector<unsigned char> deflated(const std::vector<unsigned char>& bytes)
{
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot compress the link");
    std::vector<unsigned char> out(deflateBound(&stream, static_cast<uLong>(bytes.size())));
    stream.next_in = const_cast<unsigned char*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("cannot compress the link");
    return out;
}

// Exactly one state, with nothing after the compressed stream.
std::vector<unsigned char> inflated(const std::vector<unsigned char>& bytes)
{
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        throw std::runtime_error("cannot read the link");
    std::vector<unsigned char> out(kStateSize + 1);
    stream.next_in = const_cast<unsigned char*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool whole = result == Z_STREAM_END && stream.avail_in == 0 && stream.total_out == kStateSize;
    inflateEnd(&stream);
    if (!whole)
        throw std::runtime_error(result == Z_STREAM_END && stream.avail_in != 0
                                     ? "the link is damaged: it goes on past its sound"
                                     : "the link is damaged or cut short");
    out.resize(kStateSize);
    return out;
}

uint32_t checksum(const unsigned char* bytes, size_t size)
{
    return static_cast<uint32_t>(crc32(0L, bytes, static_cast<uInt>(size)));
}

std::string linkOf(const std::string& code)
{
    const ByteChunk state = DecodeShareCode(TrimSpace(code));
    std::vector<unsigned char> bytes = deflated(std::vector<unsigned char>(state.GetBytes(), state.GetBytes() + state.Size()));
    const uint32_t crc = checksum(bytes.data(), bytes.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<unsigned char>(crc >> shift));
    return kLinkPrefix + urlSafe(base64(bytes.data(), static_cast<int>(bytes.size())));
}

// The code a fragment holds: a link form, or a code as `share` prints it.
std::string codeOf(const std::string& text)
{
    if (text.compare(0, sizeof kLinkPrefix - 1, kLinkPrefix) != 0)
        return EncodeShareCode(DecodeShareCode(TrimSpace(text)));
    if (text.size() > kLongestLink)
        throw std::runtime_error("the link is damaged: it is far longer than any sound's");
    std::vector<unsigned char> bytes = fromUrlSafe(text.substr(sizeof kLinkPrefix - 1));
    if (bytes.size() <= kChecksumSize)
        throw std::runtime_error("the link is damaged: it is cut short");
    const size_t size = bytes.size() - kChecksumSize;
    uint32_t stored = 0;
    for (size_t i = size; i < bytes.size(); ++i)
        stored = stored << 8 | bytes[i];
    if (stored != checksum(bytes.data(), size))
        throw std::runtime_error("the link is damaged: its checksum does not match");
    bytes.resize(size);
    const std::vector<unsigned char> state = inflated(bytes);
    ByteChunk chunk;
    chunk.PutBytes(state.data(), static_cast<int>(state.size()));
    return EncodeShareCode(chunk);
}

// Each call answers { link } or { code }, or { error } with the reason.
template <typename Convert>
val answer(const char* name, Convert convert, const std::string& text)
{
    val result = val::object();
    try
    {
        result.set(name, convert(text));
    }
    catch (const std::exception& e)
    {
        result.set("error", std::string(e.what()));
    }
    return result;
}

} // namespace

EMSCRIPTEN_BINDINGS(bleepforge_links)
{
    emscripten::function("linkOfCode", +[](const std::string& code) { return answer("link", linkOf, code); });
    emscripten::function("codeOfLink", +[](const std::string& text) { return answer("code", codeOf, text); });
}
