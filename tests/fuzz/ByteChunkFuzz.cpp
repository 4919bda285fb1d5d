// Every ByteChunk read at positions taken from the input itself.
#include "Containers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ByteChunk chunk;
    chunk.PutBytes(data, static_cast<int>(size));
    for (size_t i = 0; i + 4 <= size; i += 4)
    {
        int pos = 0;
        std::memcpy(&pos, data + i, sizeof pos);
        pos %= static_cast<int>(size) + 8;
        KIT_String text;
        double value = 0.0;
        bool flag = false;
        char bytes[16];
        // A string's end may lie past the chunk by design; only its reading must
        // stay inside, which the sanitizers watch.
        chunk.GetStr(&text, pos);
        const int results[] = {chunk.Get(&value, pos), chunk.GetBool(&flag, pos),
                               chunk.GetBytes(bytes, sizeof bytes, pos)};
        for (int next : results)
        {
            if (next != -1 && (next < 0 || next > chunk.Size()))
                std::abort();
        }
    }
    return 0;
}
