// The app's generators through the window's instance: locks keep what
// generate --lock keeps, variations are new sounds that keep them too.
#include "Generating.h"
#include "Locks.h"
#include "Params.h"
#include "ScratchTest.h"
#include "Settings.h"
#include "SoundList.h"
#include "StateCodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

namespace
{

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<double> valuesOf(const std::string& state)
{
    std::vector<double> values(kNumParams);
    int32_t version = 0;
    EXPECT_GE(StateCodec::Decode(reinterpret_cast<const unsigned char*>(state.data()), state.size(),
                                 kNumParams, &version, values.data()),
              0);
    return values;
}

class GeneratingTest : public ScratchTest
{
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        ASSERT_EQ(unit.Configure(44100, 512), noErr);
        ASSERT_EQ(unit.Initialize(), noErr);
    }

    // The app's way from the defaults: the window's sequence seeded, the
    // generator run, the locked values put back.
    std::string inTheApp(const std::string& kind, unsigned seed,
                         const std::vector<std::string>& locks)
    {
        AUInstance window{bundle};
        const std::string before = BytesOf(CurrentState(window));
        const UInt32 value = seed;
        window.SetProperty(kRandomSeedProperty, kAudioUnitScope_Global, 0, &value, sizeof value);
        RunGenerator(window, kind);
        return KeepLockedValues(before, BytesOf(CurrentState(window)), LockedParams(locks));
    }

    std::string fromTheCli(const std::string& kind, unsigned seed, const std::string& locks)
    {
        const std::string state = path(kind + ".state");
        const std::string command = std::string(BLEEPFORGE_CLI) + " generate " + kind + " --seed " +
                                    std::to_string(seed) + locks + " --state-out '" + state +
                                    "' -o '" + path(kind + ".wav") + "' 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return slurp(state);
    }

    AUBundle bundle{BLEEPFORGE_BUNDLE};
    AUInstance unit{bundle};
};

TEST_F(GeneratingTest, LocksThroughAGeneratorGiveWhatGenerateLockGives)
{
    for (const char* kind : {"pickup", "random", "mutate"})
    {
        const std::string app = inTheApp(kind, 7, {"pitch", "Osc1 Type"});
        EXPECT_EQ(app, fromTheCli(kind, 7, " --lock pitch --lock 'Osc1 Type'")) << kind;
        EXPECT_NE(app, fromTheCli(kind, 7, "")) << kind << ": the locks kept nothing";
    }
    EXPECT_THROW(RunGenerator(unit, "bogus"), std::runtime_error);
}

// The kind comes from a host: read no further than it gives, nothing run
// for a name that is not a whole kind.
TEST_F(GeneratingTest, TheGeneratePropertyRunsOnlyAWholeKind)
{
    const std::string before = BytesOf(CurrentState(unit));
    const char unterminated[16] = {'p', 'i', 'c', 'k', 'u', 'p', 'p', 'i',
                                   'c', 'k', 'u', 'p', 'p', 'i', 'c', 'k'};
    EXPECT_NE(unit.SetProperty(kGenerateProperty, kAudioUnitScope_Global, 0, unterminated,
                               sizeof unterminated),
              noErr);
    EXPECT_NE(unit.SetProperty(kGenerateProperty, kAudioUnitScope_Global, 0, "pickup", 0), noErr);
    const char longer[32] = "pickup";
    EXPECT_NE(unit.SetProperty(kGenerateProperty, kAudioUnitScope_Global, 0, longer, sizeof longer),
              noErr);
    EXPECT_EQ(BytesOf(CurrentState(unit)), before);
    EXPECT_EQ(unit.SetProperty(kGenerateProperty, kAudioUnitScope_Global, 0, "COIN", 4),
              noErr); // an alias, unterminated
    EXPECT_NE(BytesOf(CurrentState(unit)), before);
}

TEST_F(GeneratingTest, VariationsAreNewSoundsThatKeepTheLockedValues)
{
    RunGenerator(unit, "shoot");
    const std::string source = BytesOf(CurrentState(unit));
    const std::vector<int> pitch = LockedParams({"pitch"});
    const std::vector<std::string> made = VariationsOf(unit, bundle, source, 5, pitch);
    ASSERT_EQ(made.size(), 5u);
    EXPECT_EQ(std::set<std::string>(made.begin(), made.end()).size(), 5u)
        << "two variations are one sound";
    for (const std::string& variation : made)
    {
        EXPECT_NE(variation, source);
        for (int p : pitch)
            EXPECT_EQ(valuesOf(variation)[p], valuesOf(source)[p]) << paramProperties[p].name;
    }
    EXPECT_EQ(BytesOf(CurrentState(unit)), source) << "the instance does not hold the source again";
}

TEST(SoundListVariations, JoinRightAfterTheirSourceNamedAfterIt)
{
    SoundList list;
    list.Add("a", "pickup");
    list.Add("b", "jump");
    list.Add("c", "pickup");
    EXPECT_EQ(list.AddVariations(0, {"a1", "a2"}), 1u);
    list.AddVariations(0, {"a3"});
    std::vector<std::string> names;
    for (size_t i = 0; i < list.Size(); ++i)
        names.push_back(list.At(i).name);
    EXPECT_EQ(names, (std::vector<std::string>{"pickup 1", "pickup 1 v3", "pickup 1 v1",
                                               "pickup 1 v2", "jump 1", "pickup 2"}));
    EXPECT_EQ(list.At(1).kind, "pickup");
    EXPECT_EQ(list.Current(), 1u);
}

TEST(SoundListVariations, AFullListKeepsTheSourceAndItsStars)
{
    SoundList list;
    for (size_t i = 0; i < SoundList::kMostSounds; ++i)
        list.Add("s" + std::to_string(i), "blip");
    list.Star(1, true);
    const size_t first = list.AddVariations(0, {"v1", "v2"});
    EXPECT_EQ(list.Size(), SoundList::kMostSounds);
    EXPECT_EQ(list.At(0).state, "s0");
    EXPECT_EQ(list.At(first).state, "v1");
    EXPECT_EQ(list.At(3).state, "s1"); // starred, so s2 and s3 went instead
    EXPECT_EQ(list.At(4).state, "s4");
}

class RememberedLocks : public ScratchTest
{
};

TEST_F(RememberedLocks, LocksAndTheVariationCountSurviveARestart)
{
    AppSettings settings;
    settings.locks = {"pitch", "Osc1 Type"};
    settings.variations = 12;
    SaveSettings(settings, path("settings.ini"));
    const AppSettings back = LoadSettings(path("settings.ini"));
    EXPECT_EQ(back.locks, settings.locks);
    EXPECT_EQ(back.variations, 12);

    std::ofstream(path("odd.ini")) << "[bleepforge]\nlocks=pitch;no such thing;\nvariations=9999\n";
    const AppSettings odd = LoadSettings(path("odd.ini"));
    EXPECT_EQ(odd.locks, std::vector<std::string>{"pitch"});
    EXPECT_EQ(odd.variations, 5);
}

} // namespace
