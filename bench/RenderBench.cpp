#include "Bleepforge.h"
#include "RenderJob.h"
#include "StateVariableFilter.h"
#include "besselfilter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>

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

void sinePatchOneNote(benchmark::State& state)
{
    renderHeld(state, {"Osc1 Type=Sin"}, {60});
}

// A laser: a sawtooth swept down for longer than the run lasts.
void sweptSawOneNote(benchmark::State& state)
{
    renderHeld(state, {"Osc1 Type=Saw", "Pitch Start=1", "Pitch End=-1", "Pitch Duration=10"},
               {60});
}

// The Random generator's noise-only sounds: white noise, with the oscillator's
// level at silence but its type still a sine.
void noiseWithSilentSine(benchmark::State& state)
{
    renderHeld(state, {"Osc1 Type=Sin", "Osc1 Level=-96", "White Level=0"}, {60});
}

// The decimation recursion written by hand: its state in named locals, which
// the compiler keeps in registers. The caller flushes the sum its own way.
struct HandDecimation
{
    double s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0, s8 = 0;

    double sum(const double* c, double x) const
    {
        double y = c[0] * x;
        y += c[1] * s1;
        y += c[2] * s2;
        y += c[3] * s3;
        y += c[4] * s4;
        y += c[5] * s5;
        y += c[6] * s6;
        y += c[7] * s7;
        y += c[8] * s8;
        return y;
    }
    void push(double y)
    {
        s8 = s7;
        s7 = s6;
        s6 = s5;
        s5 = s4;
        s4 = s3;
        s3 = s2;
        s2 = s1;
        s1 = y;
    }
};

// The ceiling for every patch: only the decimation recursion, 16 steps per
// output frame, each waiting on the one before; state in registers and the
// flush a predicted branch. The patches' factors are read as shares of this.
void decimationChainAlone(benchmark::State& state)
{
    KIT_BesselFilterCoeffs design;
    design.Calc(0.5 / 16);
    const double* c = design.Coeffs();
    HandDecimation chain;
    double input = 1e-3;
    for (auto _ : state)
    {
        for (int frame = 0; frame < kBlock; ++frame)
        {
            for (int k = 0; k < 16; ++k)
            {
                double y = chain.sum(c, input);
                if (y > -1e-15 && y < 1e-15)
                    y = 0.0;
                chain.push(y);
            }
            input = -input;
        }
        benchmark::DoNotOptimize(chain.s1);
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

// The default patch's own arithmetic in the engine's order, as a loop written
// by hand: triangle, mix, the idle high-pass, the low-pass, every flush, the
// decimation step, and per frame the output stage's compression. Parameters
// arrive at run time, everything stays in registers, nothing is checked: a
// ceiling for the default patch that no per-sample engine code reaches.
void defaultArithmeticAlone(benchmark::State& state)
{
    auto flush = [](double x)
    {
        uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        const uint32_t hi = static_cast<uint32_t>(bits >> 32);
        return ((hi + 0x100000u) & 0x7ff00000u) < 0x3ca00000u ? 0.0 : x;
    };
    KIT_BesselFilterCoeffs design;
    design.Calc(0.5 / 16);
    const double* c = design.Coeffs();
    // Volatile, so that the compiler folds none of them.
    volatile double parameters[] = {261.6 / (kRate * 16),     1.0,     1.0,      1.0, 1.0, 1.0, 0.0,
                                    1.0 / 0.7071067811865476, 22050.0, 1.0 / 2.2};
    const double inc = parameters[0], level = parameters[1], depth = parameters[2];
    const double amp = parameters[3], gain = parameters[4];
    const double one = parameters[5], zero = parameters[6]; // the filters' mix weights
    const double d = parameters[7], exponent = parameters[9];
    const double g = std::tan(parameters[8] * 3.141592653589793 / (kRate * 16));
    const double h = 1.0 / (d * g + 1.0 + g * g);
    double phase = 0, l1 = 0, l2 = 0;
    HandDecimation chain;
    for (auto _ : state)
    {
        for (int frame = 0; frame < kBlock; ++frame)
        {
            double out = 0.0;
            for (int k = 0; k < 16; ++k)
            {
                if (phase >= 1.0)
                    phase -= 1.0;
                phase += inc;
                const double wave =
                    phase <= 0.5 ? (phase - 0.25) * 4.0 : ((1.0 - phase) - 0.25) * 4.0;
                const double scaled = level * wave;
                const double mix = ((1.0 - depth) * scaled + depth * (scaled * amp)) * gain;
                const double passed = flush((zero * 0.0 + zero * 0.0) + one * mix);
                const double high = (passed - d * l1 - g * l1 - l2) * h;
                const double band = g * high + l1;
                l1 = g * high + band;
                const double low = g * band + l2;
                l2 = g * band + low;
                const double x = flush(flush(one * low + zero * band + zero * high));
                const double y = flush(chain.sum(c, x));
                chain.push(y);
                if (k == 0)
                    out = y;
            }
            out = out > 0.0 ? std::pow(out, exponent) : -std::pow(-out, exponent);
            benchmark::DoNotOptimize(out);
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

// The default patch's low-pass alone at the voice rate, cutoff held: its own
// recursion is a second floor under the default patch, beside the decimation's.
void lowPassAlone(benchmark::State& state)
{
    StateVariableFilter filter;
    filter.setSampleRate(kRate * 16);
    filter.setMode(1);
    filter.setFrequency(22050.0);
    double input = 1e-3;
    for (auto _ : state)
    {
        for (int sample = 0; sample < kBlock * 16; ++sample)
        {
            benchmark::DoNotOptimize(filter.getSample(input));
            input = -input;
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(lowPassAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(decimationChainAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(defaultArithmeticAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(defaultPatchOneNote)->Unit(benchmark::kMicrosecond);
BENCHMARK(heavyPatchFourNotes)->Unit(benchmark::kMicrosecond);
BENCHMARK(sinePatchOneNote)->Unit(benchmark::kMicrosecond);
BENCHMARK(sweptSawOneNote)->Unit(benchmark::kMicrosecond);
BENCHMARK(noiseWithSilentSine)->Unit(benchmark::kMicrosecond);
