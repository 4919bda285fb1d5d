#include "Oscilator.h"
#include "qxOsc.h"

#include <benchmark/benchmark.h>

// Each iteration is one voice-rate sample, so the reported time is ns/sample.
namespace
{

const int kVoiceRate = 44100 * 16;

void renderWaveform(benchmark::State& state, Oscilator::OscType type)
{
    qxOscSettings::setup(kVoiceRate, 2, 1024);
    RandomSource random;
    Oscilator osc(random);
    osc.setSampleRate(kVoiceRate);
    osc.mType = type;
    double frequency = 440.0;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(osc.nextSample(frequency, 0.5));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void whiteNoise(benchmark::State& state)
{
    RandomSource random;
    Oscilator osc(random);
    for (auto _ : state)
        benchmark::DoNotOptimize(osc.noise());
    state.SetItemsProcessed(state.iterations());
}

void pinkNoise(benchmark::State& state)
{
    RandomSource random;
    Oscilator osc(random);
    for (auto _ : state)
        benchmark::DoNotOptimize(osc.pinknoise());
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK_CAPTURE(renderWaveform, Triangle, Oscilator::kOscTriangle);
BENCHMARK_CAPTURE(renderWaveform, Sin, Oscilator::kOscSin);
BENCHMARK_CAPTURE(renderWaveform, Square, Oscilator::kOscSquare);
BENCHMARK_CAPTURE(renderWaveform, Saw, Oscilator::kOscSaw);
BENCHMARK_CAPTURE(renderWaveform, Breaker, Oscilator::kOscBreaker);
BENCHMARK_CAPTURE(renderWaveform, Tan, Oscilator::kOscTan);
BENCHMARK_CAPTURE(renderWaveform, Whistle, Oscilator::kOscWhistle);
BENCHMARK(whiteNoise);
BENCHMARK(pinkNoise);
