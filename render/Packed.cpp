#include "Packed.h"

#include "KIT_Base64.h"
#include "KIT_Crc32.h"

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <stdexcept>

namespace
{

const size_t kChecksumSize = 4;

std::string base64(const unsigned char* bytes, size_t size)
{
    std::string text(static_cast<size_t>(base64EncodedLength(static_cast<int>(size))) + 1, '\0');
    base64encode(bytes, &text[0], static_cast<int>(size));
    text.resize(text.size() - 1);
    return text;
}

// '-' and '_' for '+' and '/', no padding.
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
            throw std::runtime_error("it holds characters outside URL-safe base64");
        c = c == '-' ? '+' : c == '_' ? '/' : c;
    }
    standard.append((4 - standard.size() % 4) % 4, '=');
    std::vector<unsigned char> bytes(standard.size() / 4 * 3 + 3);
    bytes.resize(static_cast<size_t>(
        base64decode(standard.c_str(), bytes.data(), static_cast<int>(bytes.size()))));
    // Only the one spelling counts, so a changed last character is caught.
    if (urlSafe(base64(bytes.data(), bytes.size())) != text)
        throw std::runtime_error("its last characters are not as written");
    return bytes;
}

std::vector<unsigned char> deflated(const std::vector<unsigned char>& bytes)
{
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot compress");
    std::vector<unsigned char> out(deflateBound(&stream, static_cast<uLong>(bytes.size())));
    stream.next_in = const_cast<unsigned char*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("cannot compress");
    return out;
}

// One whole stream of at most mostBytes, with nothing after it.
std::vector<unsigned char> inflated(const std::vector<unsigned char>& bytes, size_t mostBytes)
{
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        throw std::runtime_error("cannot decompress");
    std::vector<unsigned char> out(mostBytes + 1);
    stream.next_in = const_cast<unsigned char*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool whole =
        result == Z_STREAM_END && stream.avail_in == 0 && stream.total_out <= mostBytes;
    out.resize(stream.total_out);
    inflateEnd(&stream);
    if (!whole)
        throw std::runtime_error(result == Z_STREAM_END && stream.avail_in != 0
                                     ? "it goes on past its end"
                                 : stream.avail_out == 0 ? "it unpacks to more than it may hold"
                                                         : "it is damaged or cut short");
    return out;
}

} // namespace

std::string PackForText(const std::vector<unsigned char>& bytes)
{
    std::vector<unsigned char> packed = deflated(bytes);
    const uint32_t crc = Crc32(packed.data(), packed.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        packed.push_back(static_cast<unsigned char>(crc >> shift));
    return urlSafe(base64(packed.data(), packed.size()));
}

std::vector<unsigned char> UnpackText(const std::string& text, size_t mostBytes)
{
    std::vector<unsigned char> bytes = fromUrlSafe(text);
    if (bytes.size() <= kChecksumSize)
        throw std::runtime_error("it is cut short");
    const size_t size = bytes.size() - kChecksumSize;
    uint32_t stored = 0;
    for (size_t i = size; i < bytes.size(); ++i)
        stored = stored << 8 | bytes[i];
    if (stored != Crc32(bytes.data(), size))
        throw std::runtime_error("its checksum does not match");
    bytes.resize(size);
    return inflated(bytes, mostBytes);
}
