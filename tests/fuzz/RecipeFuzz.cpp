// Recipes from arbitrary text: refused with a reason, or made into a sound
// whose every value is in its parameter's range; every recipe read is one
// the instrument takes from a host.
#include "Recipe.h"

#include "Bleepforge.h"
#include "RenderJob.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static InstrumentBackend* const instrument = []
    {
        auto* opened = new InstrumentBackend;
        opened->Open(44100.0, 512, 1u);
        return opened;
    }();
    static const std::vector<ParamInfo> params = instrument->Params();
    try
    {
        const Recipe recipe =
            ParseRecipe(std::string(reinterpret_cast<const char*>(data), size), "fuzz/kind.toml", params);
        const std::vector<unsigned char> bytes = EncodeRecipe(recipe);
        Recipe taken;
        if (!DecodeRecipe(bytes.data(), bytes.size(), &taken).empty())
            std::abort();
        Bleepforge& plug = instrument->Plug();
        plug.SeedRandom(1);
        ApplyRecipe(plug, recipe);
        for (int i = 0; i < kNumParams; ++i)
        {
            const IParam* param = plug.GetParam(i);
            if (!(param->Value() >= param->GetMin() && param->Value() <= param->GetMax()))
                std::abort();
        }
    }
    catch (const UsageError&)
    {
    }
    catch (const std::length_error&) // too large to hand over
    {
    }
    return 0;
}
