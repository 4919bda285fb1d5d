// The default patch through the LV2 plug-in's Run, against the instrument
// driven directly as bleepforge render drives it: the cost of the LV2 path
// (ports looked at, the MIDI sequence walked, single-precision output).
#include "LV2PluginHarness.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{

const double kRate = 48000.0;
const int kBlock = 512;

void countRealtime(benchmark::State& state)
{
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

void defaultPatchDirect(benchmark::State& state)
{
    Bleepforge plug{IPluginInstanceInfo()};
    plug.SetSampleRate(kRate);
    plug.SetBlockSize(kBlock);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Reset();
    IMidiMsg msg;
    msg.MakeNoteOnMsg(60, 127, 0);
    plug.ProcessMidiMsg(&msg);
    std::vector<float> left(kBlock), right(kBlock);
    float* outputs[] = {left.data(), right.data()};
    for (auto _ : state)
    {
        plug.AttachOutputBuffers(0, 2, outputs);
        plug.ProcessBuffers(0.0f, kBlock);
        benchmark::DoNotOptimize(left.data());
    }
    countRealtime(state);
}

void defaultPatchThroughLV2(benchmark::State& state)
{
    LV2PluginHarness h(kBlock, kRate);
    h.queue(0, 0x90, 60, 127);
    for (auto _ : state)
    {
        h.run(kBlock);
        benchmark::DoNotOptimize(h.left.data());
    }
    countRealtime(state);
}

} // namespace

BENCHMARK(defaultPatchDirect)->Unit(benchmark::kMicrosecond);
BENCHMARK(defaultPatchThroughLV2)->Unit(benchmark::kMicrosecond);
BENCHMARK(defaultPatchDirect)->Unit(benchmark::kMicrosecond);
BENCHMARK(defaultPatchThroughLV2)->Unit(benchmark::kMicrosecond);
