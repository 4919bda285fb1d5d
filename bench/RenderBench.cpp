#include "Bleepforge.h"
#include "PortableMath.h"
#include "RenderJob.h"
#include "StateVariableFilter.h"
#include "besselfilter.h"
#include "denormal.h"
#include "qxDSP.h"
#include "qxOsc.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
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
// the compiler keeps in registers, and the engine's flush.
struct HandDecimation
{
    double s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0, s8 = 0;

    double step(const double* c, double x)
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
        denormal_fix_double_aggressive(&y);
        s8 = s7;
        s7 = s6;
        s6 = s5;
        s5 = s4;
        s4 = s3;
        s3 = s2;
        s2 = s1;
        s1 = y;
        return y;
    }
};

const double kVoiceRate = kRate * 16;

// A hand-written loop is timed only once it gives the engine's numbers; the
// first difference ends the benchmark with an error instead.
bool agrees(benchmark::State& state, const char* what, long sample, double hand, double engine)
{
    if (std::memcmp(&hand, &engine, sizeof hand) == 0)
        return true;
    char message[200];
    std::snprintf(message, sizeof message,
                  "%s differs from the engine at sample %ld: %.17g by hand, %.17g in the engine",
                  what, sample, hand, engine);
    state.SkipWithError(message);
    return false;
}

// The ceiling for every patch: only the decimation recursion, 16 steps per
// output frame, each waiting on the one before; state in registers and the
// flush a predicted branch. The patches' factors are read as shares of this.
void decimationChainAlone(benchmark::State& state)
{
    KIT_BesselFilterCoeffs design;
    design.Calc(0.5 / 16);
    const double* c = design.Coeffs();
    HandDecimation check;
    KIT_BesselFilterStage engine;
    for (long k = 0; k < kBlock * 16; ++k)
    {
        const double input = k % 2 ? -1e-3 : 1e-3;
        engine.Process(input, c);
        if (!agrees(state, "the decimation", k, check.step(c, input), engine.Output()))
            return;
    }
    HandDecimation chain;
    double input = 1e-3;
    for (auto _ : state)
    {
        for (int frame = 0; frame < kBlock; ++frame)
        {
            for (int k = 0; k < 16; ++k)
                chain.step(c, input);
            input = -input;
        }
        benchmark::DoNotOptimize(chain.s1);
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

// The default patch's factors; one and zero are the filters' mix weights.
struct DefaultFactors
{
    double frequency = 261.6, level = 1.0, depth = 1.0, amp = 1.0, gain = 1.0, one = 1.0,
           zero = 0.0, lowPassCutoff = 22050.0, q = 1.0 / 1.4142135623730951,
           exponent = 1.0 / 2.2;
};

// The factors as the timed loop sees them: read at run time, so that the
// compiler folds none of them.
DefaultFactors runtimeFactors()
{
    volatile DefaultFactors stored;
    DefaultFactors f;
    f.frequency = stored.frequency;
    f.level = stored.level;
    f.depth = stored.depth;
    f.amp = stored.amp;
    f.gain = stored.gain;
    f.one = stored.one;
    f.zero = stored.zero;
    f.lowPassCutoff = stored.lowPassCutoff;
    f.q = stored.q;
    f.exponent = stored.exponent;
    return f;
}

// The default patch's own arithmetic in the engine's order, written by hand:
// triangle, mix, the idle high-pass, the low-pass, every flush, the decimation
// step. Everything stays in registers and nothing is checked: a ceiling for
// the default patch that no per-sample engine code reaches.
struct HandDefaultPatch
{
    HandDefaultPatch(const DefaultFactors& f, double increment, const double* coefficients)
        : inc(increment), level(f.level), depth(f.depth), amp(f.amp), gain(f.gain), one(f.one),
          zero(f.zero), d(1.0 / f.q), g(bf_tan(f.lowPassCutoff * 3.141592653589793 / kVoiceRate)),
          h(1.0 / (d * g + 1.0 + g * g)), c(coefficients)
    {
    }
    // One voice sample, through the decimation step.
    double step()
    {
        if (phase >= 1.0)
            phase -= 1.0;
        phase += inc;
        const double wave = phase <= 0.5 ? (phase - 0.25) * 4.0 : ((1.0 - phase) - 0.25) * 4.0;
        const double scaled = level * wave;
        const double mix = ((1.0 - depth) * scaled + depth * (scaled * amp)) * gain;
        double passed = (zero * 0.0 + zero * 0.0) + one * mix; // the high-pass at rest
        denormal_fix_double_aggressive(&passed);
        const double high = (passed - d * l1 - g * l1 - l2) * h;
        const double band = g * high + l1;
        l1 = g * high + band;
        const double low = g * band + l2;
        l2 = g * band + low;
        double x = one * low + zero * band + zero * high;
        denormal_fix_double_aggressive(&x);
        denormal_fix_double_aggressive(&x);
        return chain.step(c, x);
    }

    const double inc, level, depth, amp, gain, one, zero, d, g, h;
    const double* c;
    double phase = 0, l1 = 0, l2 = 0;
    HandDecimation chain;
};

// The engine's objects set up as the default patch's voice holds them.
struct EngineDefaultPatch
{
    explicit EngineDefaultPatch(const DefaultFactors& f) : factors(f)
    {
        oscillator.setSampleRate(static_cast<int>(kVoiceRate));
        for (StateVariableFilter* filter : {&highPass, &lowPass})
        {
            filter->setSampleRate(kVoiceRate);
            filter->setGain(f.q);
        }
        highPass.setMode(2);
        highPass.setFrequency(0.0);
        lowPass.setMode(1);
        lowPass.setFrequency(f.lowPassCutoff);
    }
    double step(const double* c)
    {
        const double scaled = factors.level * oscillator.triangle(factors.frequency);
        const double mix = qxDSP::lerp(scaled, scaled * factors.amp, factors.depth) * factors.gain;
        double x = lowPass.getSample(highPass.getSample(mix));
        denormal_fix_double_aggressive(&x);
        stage.Process(x, c);
        return stage.Output();
    }

    const DefaultFactors factors;
    qxOsc oscillator;
    StateVariableFilter highPass, lowPass;
    KIT_BesselFilterStage stage;
};

// The increment the engine's oscillator works out for a frequency: the phase
// after one step from 0.
double engineIncrement(double frequency)
{
    qxOsc oscillator;
    oscillator.setSampleRate(static_cast<int>(kVoiceRate));
    oscillator.triangle(frequency);
    return oscillator.phase;
}

bool handPatchAgrees(benchmark::State& state, const DefaultFactors& f, const double* c)
{
    HandDefaultPatch hand(f, engineIncrement(f.frequency), c);
    EngineDefaultPatch engine(f);
    for (long k = 0; k < kBlock * 16; ++k)
    {
        const double y = hand.step();
        if (!agrees(state, "the default patch", k, y, engine.step(c)))
            return false;
        const double out = y > 0.0 ? bf_pow(y, f.exponent) : -bf_pow(-y, f.exponent);
        if (k % 16 == 0 && !agrees(state, "the compression", k, out, qxDSP::compress(y, f.exponent)))
            return false;
    }
    return true;
}

// The hand-written default patch, and per frame the output stage's compression.
void defaultArithmeticAlone(benchmark::State& state)
{
    KIT_BesselFilterCoeffs design;
    design.Calc(0.5 / 16);
    const double* c = design.Coeffs();
    const DefaultFactors factors = runtimeFactors();
    if (!handPatchAgrees(state, factors, c))
        return;
    HandDefaultPatch hand(factors, engineIncrement(factors.frequency), c);
    const double exponent = factors.exponent;
    for (auto _ : state)
    {
        for (int frame = 0; frame < kBlock; ++frame)
        {
            double out = hand.step();
            for (int k = 1; k < 16; ++k)
                hand.step();
            out = out > 0.0 ? bf_pow(out, exponent) : -bf_pow(-out, exponent);
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
