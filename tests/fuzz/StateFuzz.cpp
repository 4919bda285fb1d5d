// The instrument's 484-byte state from arbitrary bytes.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static IPluginInstanceInfo info;
    static Bleepforge plug(info);
    ByteChunk chunk;
    chunk.PutBytes(data, static_cast<int>(size));
    const std::vector<double> before = paramValues(plug);
    const int end = plug.UnserializeState(&chunk, 0);
    checkParams(plug, end >= 0, before);
    if (end >= 0)
    {
        ByteChunk again;
        plug.SerializeState(&again);
        if (!plug.CompareState(again.GetBytes(), 0))
            std::abort();
    }
    return 0;
}
