// Renders through the C library against the same renders as `bleepforge
// render` makes them: in process through its render session (the library's
// path should cost no more), and as the command itself, a process per sound.
#include "RenderJob.h"
#include "ShareCode.h"
#include "bleepforge.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

const int kRate = 44100;
const uint32_t kSeed = 5;
const char* const kKinds[] = {"pickup", "slash", "powerup"};

using Instrument = std::unique_ptr<bf_instrument, void (*)(bf_instrument*)>;

Instrument soundOf(const char* kind)
{
    Instrument sound(bf_instrument_new(), bf_instrument_free);
    bf_instrument_generate(sound.get(), kind, kSeed);
    return sound;
}

std::string codeOf(bf_instrument* sound)
{
    char code[BF_CODE_SIZE];
    bf_instrument_code(sound, code, sizeof code);
    return code;
}

void perSecondOfSound(benchmark::State& state, size_t frames)
{
    state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                          static_cast<double>(frames) / kRate,
                                                      benchmark::Counter::kIsRate);
}

void libraryRender(benchmark::State& state)
{
    Instrument sound = soundOf(kKinds[state.range(0)]);
    std::vector<float> out(bf_frames_most(kRate));
    size_t frames = 0;
    for (auto _ : state)
    {
        if (bf_instrument_render(sound.get(), nullptr, 0, kRate, 1, kSeed, out.data(), out.size(),
                                 &frames) != BF_OK)
            state.SkipWithError(bf_instrument_message(sound.get()));
        benchmark::DoNotOptimize(out.data());
    }
    perSecondOfSound(state, frames);
    state.SetLabel(kKinds[state.range(0)]);
}

void sessionRender(benchmark::State& state)
{
    Instrument sound = soundOf(kKinds[state.range(0)]);
    RenderRequest request;
    request.rate = kRate;
    request.stateIn = codeOf(sound.get());
    request.seeded = true;
    request.seed = kSeed;
    request.generatedNoteWhenNone = true;
    size_t frames = 0;
    for (auto _ : state)
    {
        const RenderResult result = Render(request);
        frames = result.left.size();
        benchmark::DoNotOptimize(result.left.data());
    }
    perSecondOfSound(state, frames);
    state.SetLabel(kKinds[state.range(0)]);
}

void commandRender(benchmark::State& state)
{
    Instrument sound = soundOf(kKinds[state.range(0)]);
    const std::string command = std::string(BLEEPFORGE_CLI) + " render --state " +
                                codeOf(sound.get()) + " --seed " + std::to_string(kSeed) +
                                " --format float --channels 1 -o - >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("bleepforge render failed");
    state.SetLabel(kKinds[state.range(0)]);
}

void playerNext(benchmark::State& state)
{
    std::unique_ptr<bf_player, void (*)(bf_player*)> coins(bf_player_new(kSeed), bf_player_free);
    bf_player_set_kind(coins.get(), "coin");
    bf_player_set_pitch(coins.get(), 2);
    std::vector<float> out(bf_frames_most(kRate));
    size_t frames = 0;
    for (auto _ : state)
        if (bf_player_next(coins.get(), kRate, 1, out.data(), out.size(), &frames) != BF_OK)
            state.SkipWithError(bf_player_message(coins.get()));
}

} // namespace

BENCHMARK(libraryRender)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(sessionRender)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(commandRender)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(playerNext)->Unit(benchmark::kMillisecond);
