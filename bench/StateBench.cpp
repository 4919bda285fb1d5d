#include "IPluginBase.h"

#include <benchmark/benchmark.h>

namespace
{

// The smallest concrete plug-in: 60 double parameters and no host.
class BenchPlug : public IPluginBase
{
public:
    BenchPlug()
        : IPluginBase(60, "0-1 0-2", 1, "Bench", "Bench", "Bench", 0x10000, 1, 1, 0, true, true,
                      true, kAPIAU)
    {
        for (int i = 0; i < NParams(); ++i)
            GetParam(i)->InitDouble("p", 0.5, 0.0, 1.0, 0.001);
    }
    void BeginInformHostOfParamChange(int) override {}
    void InformHostOfParamChange(int, double) override {}
    void EndInformHostOfParamChange(int) override {}
    void InformHostOfProgramChange() override {}
    int GetSamplePos() override { return 0; }
    double GetTempo() override { return 120.0; }
    void GetTimeSig(int*, int*) override {}
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiMsg(IMidiMsg*) override { return false; }
};

void serializeRoundTrip(benchmark::State& state)
{
    BenchPlug plug;
    ByteChunk chunk;
    for (auto _ : state)
    {
        chunk.Clear();
        plug.SerializeParams(&chunk);
        benchmark::DoNotOptimize(plug.UnserializeParams(&chunk, 0));
    }
}

} // namespace

BENCHMARK(serializeRoundTrip);
