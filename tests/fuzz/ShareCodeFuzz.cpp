// Sound codes from arbitrary text: refused with a reason, or a whole state that
// encodes back to the same code.
#include "ShareCode.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string code(reinterpret_cast<const char*>(data), size);
    try
    {
        const ByteChunk state = DecodeShareCode(code);
        if (state.Size() != 484 || EncodeShareCode(state) != code)
            std::abort();
    }
    catch (const std::runtime_error&)
    {
    }
    return 0;
}
