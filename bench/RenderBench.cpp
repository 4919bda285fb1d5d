#include "Bleepforge.h"
#include "RenderJob.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

// Real-time factor of the whole instrument: seconds of audio per CPU second,
// 48 kHz, blocks of 512 frames, notes held throughout.
namespace
{

const double kRate = 48000.0;
const int kBlock = 512;

void renderHeld(benchmark::State& state, const std::vector<std::string>& settings,
                const std::vector<int>& notes)
{
    IPluginInstanceInfo info;
    Bleepforge plug(info);
    for (const std::string& setting : settings)
        ApplySetting(plug, setting);
    plug.SetSampleRate(kRate);
    plug.SetBlockSize(kBlock);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Reset();
    for (int note : notes)
    {
        IMidiMsg msg;
        msg.MakeNoteOnMsg(note, 127, 0);
        plug.ProcessMidiMsg(&msg);
    }
    std::vector<double> left(kBlock), right(kBlock);
    double* outputs[] = {left.data(), right.data()};
    for (auto _ : state)
    {
        plug.AttachOutputBuffers(0, 2, outputs);
        plug.ProcessBuffers(0.0, kBlock);
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

void defaultPatchOneNote(benchmark::State& state)
{
    renderHeld(state, {}, {60});
}

void heavyPatchFourNotes(benchmark::State& state)
{
    renderHeld(state,
               {"Osc1 Type=Whistle", "Osc2 Type=Tan", "Osc3 Type=Square", "Osc1 Level=0",
                "Osc2 Level=0", "Osc3 Level=0", "White Level=-12", "Pink Level=-12",
                "Filter LP Env Depth=0.5", "Filter HP Env Depth=0.5", "Filter LP Cutoff=2000",
                "Filter HP Cutoff=200", "Pitch Start=-1", "Pitch End=1", "Pitch Duration=2",
                "Pitch Curve=3", "BitCrush Position=Inside", "BitCrush Sample Rate=8000",
                "BitCrush Bit Depth=8"},
               {48, 55, 60, 64});
}

} // namespace

BENCHMARK(defaultPatchOneNote)->Unit(benchmark::kMicrosecond);
BENCHMARK(heavyPatchFourNotes)->Unit(benchmark::kMicrosecond);
