// A recipe's encoding from arbitrary bytes, as a host hands it to the
// instrument: refused with every value as it was, or made into a sound whose
// every value is in range. What is taken encodes back to the same bytes.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static IPluginInstanceInfo info;
    static Bleepforge plug(info);
    Recipe recipe;
    const bool read = DecodeRecipe(data, size, &recipe).empty();
    if (read && EncodeRecipe(recipe) != std::vector<unsigned char>(data, data + size))
        std::abort();
    const std::vector<double> before = paramValues(plug);
    const bool made =
        plug.SetCustomProperty(kPropertyRecipe, static_cast<UInt32>(size), data) == noErr;
    if (made != read)
        std::abort();
    checkParams(plug, made, before);
    return 0;
}
