#include "VoiceManager.h"
#include "besselfilter.h"
#include "qxOsc.h"

#include <benchmark/benchmark.h>

// Each iteration is one voice-rate sample of the whole voice manager.
namespace
{

const int kVoiceRate = 48000 * 16;

void heavyPatch(VoiceManager& vm)
{
    vm.Apply(&Voice::SetOscType, 0, Oscilator::kOscWhistle);
    vm.Apply(&Voice::SetOscType, 1, Oscilator::kOscTan);
    vm.Apply(&Voice::SetOscType, 2, Oscilator::kOscSquare);
    for (int i = 0; i < 3; ++i)
        vm.Apply(&Voice::SetOscLevel, i, 1.0);
    vm.Apply(&Voice::SetOscLevel, 3, 0.25);
    vm.Apply(&Voice::SetOscLevel, 4, 0.25);
    vm.Apply(&Voice::SetLPFilterCutoff, 2000.0);
    vm.Apply(&Voice::SetHPFilterCutoff, 200.0);
    vm.Apply(&Voice::SetLPFilterDepth, 0.5);
    vm.Apply(&Voice::SetHPFilterDepth, 0.5);
    vm.Apply(&Voice::SetPitchStart, -1.0);
    vm.Apply(&Voice::SetPitchEnd, 1.0);
    vm.Apply(&Voice::SetPitchDuration, 2.0);
    vm.Apply(&Voice::SetPitchSlope, 3.0);
}

void voiceManager(benchmark::State& state)
{
    const int voices = static_cast<int>(state.range(0));
    const bool heavy = state.range(1) != 0;
    qxOscSettings::setup(kVoiceRate, 2, 512);
    RandomSource random;
    VoiceManager vm(random);
    vm.setSampleRate(kVoiceRate);
    vm.Apply(&Voice::SetEnvSustain, 1.0);
    if (heavy)
        heavyPatch(vm);
    for (int v = 0; v < voices; ++v)
        vm.onNoteOn(60 + 4 * v, 100);
    for (auto _ : state)
        benchmark::DoNotOptimize(vm.nextSample());
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(heavy ? "heavy patch" : "default patch");
}

void besselStage(benchmark::State& state)
{
    KIT_BesselFilterCoeffs design;
    design.Calc(0.5 / 16);
    KIT_BesselFilterStage stage;
    double input = 0.5;
    for (auto _ : state)
    {
        input = -input;
        stage.Process(input, design.Coeffs());
        benchmark::DoNotOptimize(stage.Output());
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(voiceManager)->ArgNames({"voices", "heavy"})->ArgsProduct({{1, 4}, {0, 1}});
BENCHMARK(besselStage);
