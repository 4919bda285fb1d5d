// The app's generators through the window's instance: locks keep what
// generate --lock keeps, recipe kinds make what generate makes of them,
// variations are new sounds that keep the locks too.
#include "Generating.h"
#include "Locks.h"
#include "Params.h"
#include "ScratchTest.h"
#include "Settings.h"
#include "SoundList.h"
#include "StateCodec.h"
#include "SoundState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
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
        window.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &value, sizeof value);
        RunGenerator(window, kind);
        return KeepLockedValues(before, BytesOf(CurrentState(window)), LockedParams(locks));
    }

    // The app's way with a recipe kind, from the sound the window holds.
    std::string recipeInTheApp(AUInstance& window, const std::string& file, unsigned seed,
                               const std::vector<std::string>& locks)
    {
        const std::string before = BytesOf(CurrentState(window));
        const UInt32 value = seed;
        window.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &value, sizeof value);
        MakeFromRecipe(window, ReadRecipe(file, TableParams()));
        return KeepLockedValues(before, BytesOf(CurrentState(window)), LockedParams(locks));
    }

    // The state generate makes; what names the kind (or --recipe FILE).
    std::string generated(const std::string& what, unsigned seed, const std::string& locks)
    {
        const std::string state = path("generated.state");
        const std::string command = std::string(BLEEPFORGE_CLI) + " generate " + what + " --seed " +
                                    std::to_string(seed) + locks + " --state-out '" + state +
                                    "' -o '" + path("generated.wav") + "' 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return slurp(state);
    }

    std::string fromTheCli(const std::string& kind, unsigned seed, const std::string& locks)
    {
        return generated(kind, seed, locks);
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

TEST_F(GeneratingTest, ARecipeKindMakesWhatGenerateMakesOfItLocksKept)
{
    std::ofstream(path("coin.toml")) << "start = \"coin\"\nmutate = 8\n[params]\n"
                                        "\"Osc1 Type\" = { choose = [\"Square\", \"Saw\"] }\n"
                                        "\"Pitch High Note\" = { range = [60, 72] }\n"
                                        "\"Amp Env Attack\" = { choose = [0.005, 0.02] }\n";
    // Shoot sets neither the gain nor the Mutation amount: what the window held
    // before must not show through.
    std::ofstream(path("laser.toml")) << "start = \"shoot\"\n";
    std::ofstream(path("loud.toml")) << "mutate = 2\n[params]\n\"Output Gain\" = -3\n";
    for (const std::string& file : {std::string(BLEEPFORGE_EXPLOSION), path("coin.toml"), path("laser.toml")})
    {
        const std::string cli = generated("--recipe '" + file + "'", 11, "");
        // Whatever sound the window holds, a recipe starts where generate starts.
        AUInstance window{bundle};
        RunGenerator(window, "jump");
        MakeFromRecipe(window, ReadRecipe(path("loud.toml"), TableParams()));
        EXPECT_EQ(recipeInTheApp(window, file, 11, {}), cli) << file;

        AUInstance fresh{bundle};
        const std::string locked = recipeInTheApp(fresh, file, 11, {"output", "Osc1 Type"});
        EXPECT_EQ(locked, generated("--recipe '" + file + "'", 11, " --lock output --lock 'Osc1 Type'")) << file;
        EXPECT_NE(locked, cli) << file << ": the locks kept nothing";
    }
}

// A recipe's bytes come from a host: one damaged anywhere is refused whole,
// before a value changes or a number is drawn.
TEST_F(GeneratingTest, TheRecipePropertyRefusesADamagedRecipeChangingNothing)
{
    Recipe good;
    good.mutate = 10.0;
    RecipeDraw gain;
    gain.index = kOutputGain;
    gain.kind = RecipeDraw::kRange;
    gain.lo = -12.0;
    gain.hi = -3.0;
    RecipeDraw type;
    type.index = kOsc1Type;
    type.kind = RecipeDraw::kChoice;
    type.choices = {2.0, 4.0};
    good.draws = {gain, type};

    std::vector<Recipe> damaged(17, good);
    damaged[0].draws[0].index = kNumParams;
    damaged[1].draws[1].index = kOutputGain; // twice
    damaged[2].draws = {type, gain};          // out of order
    damaged[3].draws[0].lo = std::nan("");
    damaged[4].draws[0].hi = 1e300;           // out of range
    damaged[5].draws[0].lo = 0.0;             // upside down
    damaged[6].draws[0].logarithmic = true;   // a log range through 0
    damaged[7].draws[1].choices.clear();
    damaged[8].draws[1].choices = {2.5};      // a fraction of a list
    damaged[9].start = "mutate";
    damaged[10].start = "bogus";
    damaged[11].sound.PutBytes("not a state", 11);
    damaged[12].mutate = 1000.0;
    damaged[13].draws[0].whole = true;        // Output Gain takes fractions
    damaged[14].draws[0].kind = RecipeDraw::kFixed; // with two ends
    damaged[16].draws[1].lo = 2.0;                  // a list with a range's end
    std::vector<double> nan(kNumParams, 0.0);
    nan[3] = std::nan("");
    damaged[15].sound.PutBytes(std::string(kStateSize, '\0').data(), kStateSize);
    StateCodec::Encode(0, nan.data(), kNumParams, damaged[15].sound.GetBytes());

    std::vector<std::vector<unsigned char>> encodings;
    for (const Recipe& recipe : damaged)
        encodings.push_back(EncodeRecipe(recipe));
    const std::vector<unsigned char> whole = EncodeRecipe(good);
    for (size_t cut = 0; cut < whole.size(); ++cut)
        encodings.emplace_back(whole.begin(), whole.begin() + static_cast<long>(cut));
    encodings.push_back(whole);
    encodings.back().push_back(0); // a byte after the end
    encodings.push_back(whole);
    encodings.back()[0] = 'X';
    encodings.push_back(whole);
    encodings.back()[7] = 0; // Mutate off, its amount left behind

    const UInt32 seed = 5;
    unit.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    RunGenerator(unit, "hit");
    const std::string before = BytesOf(CurrentState(unit));
    for (size_t i = 0; i < encodings.size(); ++i)
    {
        EXPECT_NE(unit.SetProperty(kPropertyRecipe, kAudioUnitScope_Global, 0, encodings[i].data(),
                                   static_cast<UInt32>(encodings[i].size())),
                  noErr)
            << "encoding " << i;
        EXPECT_EQ(BytesOf(CurrentState(unit)), before) << "encoding " << i;
    }
    EXPECT_NE(unit.SetProperty(kPropertyRecipe, kAudioUnitScope_Global, 0, nullptr, 64), noErr);

    // Nothing was drawn either: the good recipe now makes what it makes
    // right after the same seed and generator.
    MakeFromRecipe(unit, good);
    AUInstance again{bundle};
    again.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    RunGenerator(again, "hit");
    MakeFromRecipe(again, good);
    EXPECT_EQ(BytesOf(CurrentState(unit)), BytesOf(CurrentState(again)));
    EXPECT_NE(BytesOf(CurrentState(unit)), before);
}

// The kind comes from a host: read no further than it gives, nothing run
// for a name that is not a whole kind.
TEST_F(GeneratingTest, TheGeneratePropertyRunsOnlyAWholeKind)
{
    const std::string before = BytesOf(CurrentState(unit));
    const char unterminated[16] = {'p', 'i', 'c', 'k', 'u', 'p', 'p', 'i',
                                   'c', 'k', 'u', 'p', 'p', 'i', 'c', 'k'};
    EXPECT_NE(unit.SetProperty(kPropertyGenerate, kAudioUnitScope_Global, 0, unterminated,
                               sizeof unterminated),
              noErr);
    EXPECT_NE(unit.SetProperty(kPropertyGenerate, kAudioUnitScope_Global, 0, "pickup", 0), noErr);
    const char longer[32] = "pickup";
    EXPECT_NE(unit.SetProperty(kPropertyGenerate, kAudioUnitScope_Global, 0, longer, sizeof longer),
              noErr);
    EXPECT_EQ(BytesOf(CurrentState(unit)), before);
    EXPECT_EQ(unit.SetProperty(kPropertyGenerate, kAudioUnitScope_Global, 0, "COIN", 4),
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

// The Locks menu named groups as the command line does (amp-env, pitch); a
// person finds them by what the panel prints over them.
TEST(PanelLabels, EveryLockGroupIsNamedAsThePanelPrintsIt)
{
    std::set<std::string> labels;
    for (const std::string& group : LockGroupNames())
    {
        const std::string label = PanelLabelOf(group);
        EXPECT_NE(label, group) << "the group " << group << " has no label of the panel's";
        labels.insert(label);
    }
    EXPECT_EQ(labels.size(), LockGroupNames().size());
    // A parameter locked alone is named as its control's menu names it.
    EXPECT_EQ(PanelLabelOf(paramProperties[kWhiteEnvDepth].name), "White EnvDepth");
}

namespace
{

// The user's kinds folder in the scratch folder, holding the shipped
// explosion that the layered kinds' layers name.
class KindsMenu : public ScratchTest
{
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        const char* before = std::getenv("XDG_CONFIG_HOME");
        mConfigBefore = before ? std::optional<std::string>(before) : std::nullopt;
        setenv("XDG_CONFIG_HOME", mDir.c_str(), 1);
        ASSERT_EQ(std::system(("mkdir -p '" + path("bleepforge/kinds") + "' && cp '" BLEEPFORGE_KINDS
                               "/explosion.toml' '" + path("bleepforge/kinds") + "'")
                                  .c_str()),
                  0);
    }
    void TearDown() override
    {
        if (mConfigBefore)
            setenv("XDG_CONFIG_HOME", mConfigBefore->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        ScratchTest::TearDown();
    }

    std::optional<std::string> mConfigBefore;

    std::string put(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name)) << text;
        return path(name);
    }
};

} // namespace

// The menu as it opens: the shipped layered kinds are greyed as layered,
// saying how to make them, never as damaged; a text nested too deep to parse
// is damaged, naming its line; a recipe of a built-in kind's name is not
// used; a hidden one is left out.
TEST_F(KindsMenu, GreysWhatTheWindowCannotMakeSayingWhy)
{
    const std::string shipped = BLEEPFORGE_KINDS;
    std::string deep = "a";
    for (int i = 0; i < 150000; ++i)
        deep += ".a";
    const std::vector<RecipeKind> kinds = {
        {"click", put("click.toml", "description = \"a click\"\nstart = \"blip\"\n")},
        {"click", put("other-click.toml", "start = \"hit\"\n"), true},
        {"hit", put("hit.toml", "start = \"hit\"\n")},
        {"deep", put("deep.toml", "description = \"deep\"\n" + deep + " = 1\n")},
        {"broken", put("broken.toml", "version = 1\n[[layer]]\nkind = \"hit\"\n")},
        {"big-explosion", shipped + "/big-explosion.toml"},
        {"explosion", shipped + "/explosion.toml"},
        {"level-up", shipped + "/level-up.toml"}};
    const std::vector<KindMenuEntry> entries = KindMenuEntries(kinds);
    ASSERT_EQ(entries.size(), 7u);

    EXPECT_EQ(entries[0].label, "click");
    EXPECT_EQ(entries[0].tooltip, "a click");
    EXPECT_EQ(entries[0].recipe, path("click.toml"));
    EXPECT_TRUE(entries[0].usable);
    EXPECT_EQ(entries[1].label, "hit (not used: a built-in kind has this name)");
    EXPECT_FALSE(entries[1].usable);
    EXPECT_EQ(entries[2].label, "deep (damaged)");
    EXPECT_EQ(entries[2].tooltip.find(path("deep.toml") + ":2: not TOML: keys nested more than 256 deep"), 0u)
        << entries[2].tooltip;
    EXPECT_FALSE(entries[2].usable);
    EXPECT_EQ(entries[3].label, "broken (damaged)");
    EXPECT_NE(entries[3].tooltip.find(":2: a kind makes the layer's sound from its seed"), std::string::npos)
        << entries[3].tooltip;
    for (const size_t layered : {4u, 6u})
    {
        const KindMenuEntry& entry = entries[layered];
        const std::string name = kinds[layered + 1].name;
        EXPECT_EQ(entry.label, name + " (layered)");
        EXPECT_NE(entry.tooltip.find("make it with bleepforge generate " + name), std::string::npos)
            << entry.tooltip;
        EXPECT_EQ(entry.tooltip.find("unknown key"), std::string::npos) << entry.tooltip;
        EXPECT_FALSE(entry.usable);
    }
    EXPECT_EQ(entries[5].label, "explosion");
    EXPECT_TRUE(entries[5].usable);
}
