// MIDI byte streams through the instrument's receiver and queue, in blocks of
// sizes taken from the input; the output must stay finite. Every frame runs
// four voices at sixteen times the rate, so one input renders a few short
// blocks: thousands of inputs a second find more than a few long ones.
#include "FuzzSupport.h"

#include <algorithm>
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
    const int kMaxFramesPerInput = 256;
    int framesLeft = kMaxFramesPerInput;
    size_t i = 0;
    while (i + 2 <= size && framesLeft > 0)
    {
        const int frames = std::min(framesLeft, 1 + (data[i] | (data[i + 1] << 8)) % 64);
        framesLeft -= frames;
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
