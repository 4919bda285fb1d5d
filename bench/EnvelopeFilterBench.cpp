#include "EG.h"
#include "PitchEnvelope.h"
#include "StateVariableFilter.h"

#include <benchmark/benchmark.h>

// Each iteration is one voice-rate sample.
namespace
{

const double kVoiceRate = 44100.0 * 16;

void envelopeNextSample(benchmark::State& state)
{
    EG env;
    env.setSampleRate(kVoiceRate);
    env.SetAttack(1000.0); // stays in a timed stage for the whole run
    env.StartEnvelope();
    for (auto _ : state)
        benchmark::DoNotOptimize(env.nextSample());
    state.SetItemsProcessed(state.iterations());
}

void pitchEnvelopeStep(benchmark::State& state)
{
    PitchEnvelope env;
    env.setSampleRate(kVoiceRate);
    env.mDuration = 1.0e4; // the curve stays in progress for the whole run
    env.mStart = -1.0;
    env.mSlope = 3.0;
    env.reset();
    for (auto _ : state)
    {
        env.step();
        benchmark::DoNotOptimize(env.nextSample(440.0));
    }
    state.SetItemsProcessed(state.iterations());
}

void filterMovingCutoff(benchmark::State& state)
{
    StateVariableFilter filter;
    filter.setSampleRate(kVoiceRate);
    filter.setMode(1);
    filter.setGain(2.0);
    double cutoff = 200.0, input = 0.5;
    for (auto _ : state)
    {
        filter.setFrequency(cutoff);
        input = -input;
        benchmark::DoNotOptimize(filter.getSample(input));
        cutoff = cutoff > 20000.0 ? 200.0 : cutoff * 1.0001;
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(envelopeNextSample);
BENCHMARK(pitchEnvelopeStep);
BENCHMARK(filterMovingCutoff);
