// MIDI byte streams through the instrument's receiver and queue, in blocks of
// sizes taken from the input; the output must stay finite.
#include "FuzzSupport.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static IPluginInstanceInfo info;
    static Bleepforge plug(info);
    static bool ready = false;
    static std::vector<double> left(1024), right(1024);
    if (!ready)
    {
        plug.SetBlockSize(1024);
        plug.SetOutputChannelConnections(0, 2, true);
        plug.Reset();
        ready = true;
    }
    size_t i = 0;
    while (i + 2 <= size)
    {
        const int frames = 1 + (data[i] | (data[i + 1] << 8)) % 1024;
        i += 2;
        const size_t messages = i < size ? data[i++] % 16 : 0;
        for (size_t m = 0; m < messages && i + 5 <= size; ++m, i += 5)
        {
            const int offset = static_cast<int8_t>(data[i]) * 20;
            IMidiMsg msg(offset, data[i + 1], data[i + 2], data[i + 3]);
            if (data[i + 4] & 1)
            {
                plug.GetParam(data[i + 4] % plug.NParams())->SetNormalized(data[i + 3] / 127.0);
                plug.OnParamChange(data[i + 4] % plug.NParams());
            }
            plug.ProcessMidiMsg(&msg);
        }
        double* outputs[] = {left.data(), right.data()};
        plug.AttachOutputBuffers(0, 2, outputs);
        plug.ProcessBuffers(0.0, frames);
        for (int f = 0; f < frames; ++f)
        {
            if (!std::isfinite(left[f]))
                std::abort();
        }
    }
    return 0;
}
