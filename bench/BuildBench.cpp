// What a build spends per sound: opening an instrument beside rendering a
// pickup into memory; and whole builds of 200 pickups through the command
// line, on one and two jobs, and again with nothing changed.
#include "Bleepforge.h"
#include "RenderJob.h"
#include "SoundState.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace
{

void openInstrument(benchmark::State& state)
{
    for (auto _ : state)
    {
        InstrumentBackend instrument;
        instrument.Open(44100.0, 512, 1u);
        benchmark::DoNotOptimize(&instrument.Plug());
    }
}
BENCHMARK(openInstrument)->Unit(benchmark::kMillisecond);

// A pickup made and rendered in an instrument opened once, as a worker
// that reuses its instrument would.
void renderPickup(benchmark::State& state)
{
    InstrumentBackend instrument;
    instrument.Open(44100.0, 512, 1u);
    unsigned seed = 0;
    for (auto _ : state)
    {
        RenderRequest request;
        request.generatedNoteWhenNone = true;
        instrument.Plug().SeedRandom(++seed);
        instrument.Plug().PickupParams();
        request.notes.push_back(DefaultNote(instrument.State()));
        const RenderResult result = RunRenderLoop(request, instrument.Target());
        benchmark::DoNotOptimize(result.left.data());
    }
}
BENCHMARK(renderPickup)->Unit(benchmark::kMillisecond);

// bleepforge build of 200 pickups in a scratch folder.
class Build : public benchmark::Fixture
{
public:
    void SetUp(const benchmark::State&) override
    {
        char pattern[] = "/tmp/bleepforge-bench-XXXXXX";
        mDir = mkdtemp(pattern);
        std::ofstream(mDir + "/sounds.toml") << "[[sound]]\nname = \"coin-%03d\"\nkind = \"pickup\"\nseed = 1\ncount = 200\n";
    }
    void TearDown(const benchmark::State&) override { std::system(("rm -rf '" + mDir + "'").c_str()); }

    void build(benchmark::State& state, const std::string& options)
    {
        const std::string command = std::string(BLEEPFORGE_CLI) + " build " + options + " '" + mDir +
                                    "/sounds.toml' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("the build failed");
    }

    std::string mDir;
};

BENCHMARK_DEFINE_F(Build, twoHundredPickups)(benchmark::State& state)
{
    const std::string jobs = "--force --jobs " + std::to_string(state.range(0));
    for (auto _ : state)
        build(state, jobs);
    state.counters["sounds/s"] = benchmark::Counter(200.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK_REGISTER_F(Build, twoHundredPickups)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_DEFINE_F(Build, nothingChanged)(benchmark::State& state)
{
    build(state, "");
    for (auto _ : state)
        build(state, "");
}
BENCHMARK_REGISTER_F(Build, nothingChanged)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
