// Layered sounds from arbitrary text, read both as their text form and as a
// code: refused with a reason, or a sound that its text and its code give
// back unchanged.
#include "LayeredText.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace
{

void expectSameSound(const LayeredSound& a, const LayeredSound& b)
{
    if (EncodeLayered(a) != EncodeLayered(b))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    try
    {
        const LayeredDraft draft = ParseLayeredText(text, "fuzz/layers.toml");
        expectSameSound(draft.sound,
                        ParseLayeredText(LayeredText(draft.sound), "fuzz/again.toml").sound);
    }
    catch (const UsageError&)
    {
    }
    try
    {
        const LayeredSound sound = DecodeLayered(text);
        expectSameSound(sound, DecodeLayered(EncodeLayered(sound)));
        expectSameSound(sound, ParseLayeredText(LayeredText(sound), "fuzz/again.toml").sound);
    }
    catch (const std::runtime_error&)
    {
    }
    return 0;
}
