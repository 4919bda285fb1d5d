// A layered sound of four layers against its four layers rendered one by
// one as single sounds, the layers in one thread and in several.
#include "LayeredSources.h"

#include "Bleepforge.h"
#include "RenderJob.h"
#include "ShareCode.h"

#include <benchmark/benchmark.h>

#include <thread>

namespace
{

const double kRate = 44100.0;

LayeredSound fourLayers()
{
    LayeredSound sound;
    const char* kinds[] = {"hit", "shoot", "powerup", "jump"};
    for (unsigned i = 0; i < 4; ++i)
    {
        InstrumentBackend instrument;
        instrument.Open(kRate, 512, std::nullopt);
        RunKind(instrument.Plug(), kinds[i], nullptr, 10 + i);
        Layer layer;
        layer.state = instrument.State();
        layer.seed = 10 + i;
        layer.start = 0.05 * i;
        layer.pan = -0.5 + i / 3.0;
        sound.layers.push_back(layer);
    }
    return sound;
}

RenderRequest request()
{
    RenderRequest r;
    r.rate = kRate;
    return r;
}

void discard(const double* left, const double*, long)
{
    benchmark::DoNotOptimize(left);
}

void singleRenders(benchmark::State& state)
{
    const LayeredSound sound = fourLayers();
    for (auto _ : state)
        for (const Layer& layer : sound.layers)
        {
            RenderRequest solo = request();
            solo.stateIn = EncodeShareCode(layer.state);
            solo.generatedNoteWhenNone = true;
            solo.seeded = true;
            solo.seed = layer.seed;
            Render(solo, discard);
        }
}

void layered(benchmark::State& state)
{
    const LayeredSound sound = fourLayers();
    for (auto _ : state)
    {
        LayeredRender render(sound, request(), InstrumentBackends(),
                             static_cast<int>(state.range(0)));
        RenderLayered(render, discard);
    }
}

} // namespace

BENCHMARK(singleRenders)->Unit(benchmark::kMillisecond)->UseRealTime();
// Threads: 1, then as many as the machine has cores.
BENCHMARK(layered)
    ->Arg(1)
    ->Arg(static_cast<int>(std::max(2u, std::thread::hardware_concurrency())))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
