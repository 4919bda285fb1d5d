// A sound as a link's fragment: the state deflated, then the CRC-32 of those
// deflated bytes, written in URL-safe base64 behind "bfz1.": under half as
// long as the sound code. The checksum covers the bytes as sent, so a damaged
// link is refused even where the deflated stream would still read as the same
// state. Reading one gives back the sound code.
#include "Packed.h"
#include "Params.h"
#include "Params.h"
#include "KIT_Text.h"
#include "ShareCode.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <stdexcept>
#include <string>
#include <vector>

using emscripten::val;

namespace
{

const char kLinkPrefix[] = "bfz1.";
// Far past any sound's link (deflating never grows a state by much).
const size_t kLongestLink = 4096;

std::string linkOf(const std::string& code)
{
    const ByteChunk state = DecodeShareCode(TrimSpace(code));
    return kLinkPrefix + PackForText(std::vector<unsigned char>(state.GetBytes(), state.GetBytes() + state.Size()));
}

// The code a fragment holds: a link form, or a code as `share` prints it.
std::string codeOf(const std::string& text)
{
    if (text.compare(0, sizeof kLinkPrefix - 1, kLinkPrefix) != 0)
        return EncodeShareCode(DecodeShareCode(TrimSpace(text)));
    if (text.size() > kLongestLink)
        throw DamagedText("the link", "it is far longer than any sound's");
    std::vector<unsigned char> state;
    try
    {
        state = UnpackText(text.substr(sizeof kLinkPrefix - 1), kStateSize);
    }
    catch (const std::exception& e)
    {
        throw DamagedText("the link", e.what());
    }
    if (state.size() != kStateSize)
        throw DamagedText("the link", "it is cut short");
    ByteChunk chunk;
    chunk.PutBytes(state.data(), static_cast<int>(state.size()));
    return EncodeShareCode(chunk);
}

// Each call answers { link } or { code }, or { error } with the message; a
// damaged text adds reason "damaged" and, apart, why it is.
template <typename Convert>
val answer(const char* name, Convert convert, const std::string& text)
{
    val result = val::object();
    try
    {
        result.set(name, convert(text));
    }
    catch (const DamagedText& e)
    {
        result.set("error", std::string(e.what()));
        result.set("reason", std::string("damaged"));
        result.set("why", e.why);
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
