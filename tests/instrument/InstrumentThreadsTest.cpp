// Instruments on threads of their own, as a host that runs tracks on several
// threads, or a batch, runs them: each makes and plays what it makes and
// plays alone, whatever the others draw meanwhile. Run under ThreadSanitizer
// too (scripts/test).
#include "Bleepforge.h"
#include "InstrumentTarget.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace
{

struct Sound
{
    unsigned seed;
    const char* kind;
};

// A kind made from a seed, with both noises up, and a note played through it.
std::vector<double> madeAndPlayed(const Sound& sound)
{
    Bleepforge plug{IPluginInstanceInfo()};
    plug.SeedRandom(sound.seed);
    (plug.*GeneratorOf(sound.kind))();
    plug.SetParameterFromHost(kWhiteLevel, -6.0);
    plug.SetParameterFromHost(kPinkLevel, -6.0);
    RenderRequest request;
    request.notes = {{60, 127, 0.0, 0.1}};
    request.lengthSeconds = 0.15;
    return RunRenderLoop(request, InstrumentTarget(plug, 44100.0, 256)).left;
}

} // namespace

TEST(InstrumentThreads, TwoInstrumentsOnTwoThreadsEachPlayWhatTheyPlayAlone)
{
    const std::vector<std::vector<Sound>> lanes = {{{3, "slash"}, {4, "random"}, {5, "hit"}},
                                                   {{9, "random"}, {10, "slash"}, {11, "jump"}}};
    std::vector<std::vector<std::vector<double>>> alone(lanes.size()), together(lanes.size());
    for (size_t lane = 0; lane < lanes.size(); ++lane)
        for (const Sound& sound : lanes[lane])
            alone[lane].push_back(madeAndPlayed(sound));

    std::vector<std::thread> threads;
    for (size_t lane = 0; lane < lanes.size(); ++lane)
        threads.emplace_back(
            [&, lane]
            {
                for (const Sound& sound : lanes[lane])
                    together[lane].push_back(madeAndPlayed(sound));
            });
    for (std::thread& thread : threads)
        thread.join();
    for (size_t lane = 0; lane < lanes.size(); ++lane)
        for (size_t k = 0; k < lanes[lane].size(); ++k)
        {
            EXPECT_FALSE(alone[lane][k].empty());
            EXPECT_EQ(together[lane][k], alone[lane][k]) << lanes[lane][k].kind << " " << lanes[lane][k].seed;
        }
}
