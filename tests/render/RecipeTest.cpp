// Recipes: hostile files refused whole, naming their line; draws that stay in
// what the recipe allows and repeat for a seed; the start a recipe names.
#include "Recipe.h"

#include "Bleepforge.h"
#include "RenderJob.h"
#include "ScratchTest.h"
#include "ShareCode.h"
#include "SoundState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace
{

class RecipeTest : public ScratchTest
{
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        mInstrument.Open(44100.0, 512, std::nullopt);
        mParams = mInstrument.Params();
    }

    Recipe parse(const std::string& text) { return ParseRecipe(text, "kinds/boom.toml", mParams); }

    // The values a recipe makes from a fresh default sound and a seed.
    std::vector<double> made(const Recipe& recipe, unsigned seed)
    {
        InstrumentBackend instrument;
        instrument.Open(44100.0, 512, std::nullopt);
        instrument.Plug().SeedRandom(seed);
        ApplyRecipe(instrument.Plug(), recipe);
        return StateValues(instrument.State());
    }

    InstrumentBackend mInstrument;
    std::vector<ParamInfo> mParams;
};

TEST_F(RecipeTest, DamagedRecipesAreRefusedNamingTheLineAndWhatIsAccepted)
{
    const struct
    {
        const char* text;
        const char* refusal;
    } cases[] = {
        {"[params]\n\"Wite Level\" = 0\n", "kinds/boom.toml:2: unknown parameter \"Wite Level\"; did you mean \"White Level\""},
        {"[params]\n\"White Level\" = 3\n", "kinds/boom.toml:2: \"White Level\": expected -96 ... 0"},
        {"[params]\n\"White Level\" = true\n", "kinds/boom.toml:2: \"White Level\": expected a number or a list entry's text"},
        {"\n[params]\n\"Amp Env Decay\" = { range = [0.3, 0.1] }\n", "kinds/boom.toml:3: \"Amp Env Decay\": the range is upside down: 0.3 is above 0.1"},
        {"[params]\n\"Amp Env Decay\" = { range = [0.5] }\n", "range expects two values, [LOW, HIGH]"},
        {"[params]\n\"Amp Env Decay\" = { range = [0.5, 20] }\n", "\"Amp Env Decay\": expected 0.001 ... 10"},
        {"[params]\n\"Osc1 Octave\" = { range = [-1.5, 2] }\n", "expected a whole number -6 ... 6"},
        {"[params]\n\"Osc1 Octave\" = { range = [-1, 2], scale = \"log\" }\n", "linear scale only"},
        {"[params]\n\"Filter HP Cutoff\" = { range = [0, 60], scale = \"log\" }\n", "a log scale needs a range above 0"},
        {"[params]\n\"Amp Env Decay\" = { range = [0.5, 1], scale = \"exp\" }\n", "scale expects \"linear\" or \"log\", not \"exp\""},
        {"[params]\n\"Osc1 Type\" = { choose = [\"Sine\"] }\n", "'Sine' is none of Off, Triangle, Sin"},
        {"[params]\n\"Osc1 Type\" = { choose = [] }\n", "choose expects a list of values"},
        {"[params]\n\"Osc1 Type\" = { pick = [1] }\n", "unknown key \"pick\"; expected a number, a list entry's text, { range"},
        {"[params]\n\"Osc1 Type\" = { range = [1, 2], choose = [1] }\n", "expected a number, a list entry's text"},
        {"[params]\n\"White EnvDepth\" = 0\n\"Whiite EnvDepth\" = 1\n", "kinds/boom.toml:3: \"Whiite EnvDepth\" names the parameter \"White EnvDepth\" named on line 2"},
        {"descripton = \"x\"\n", "kinds/boom.toml:1: unknown key \"descripton\"; a recipe has description, start, sound, mutate and [params]"},
        {"start = \"bang\"\n", "start expects a built-in kind: pickup (coin), shoot"},
        {"start = \"mutate\"\n", "start expects a built-in kind"},
        {"start = \"hit\\u0000\"\n", "kinds/boom.toml:1: start holds a NUL character"},
        {"[params]\n\"White Level\" = \"-3\\u0000x\"\n", "kinds/boom.toml:2: \"White Level\" holds a NUL character"},
        {"[params]\n\"White Level\\u0000\" = 0\n", "kinds/boom.toml:2: a parameter's name holds a NUL character"},
        {"start = \"hit\"\nsound = \"x.state\"\n", "kinds/boom.toml:2: give start or sound, not both"},
        {"sound = \"missing.state\"\n", "kinds/boom.toml:1: sound: "},
        {"mutate = 50\n", "kinds/boom.toml:1: mutate: expected 0 ... 10"},
        {"params = 3\n", "params expects a table"},
        {"[params\n", "kinds/boom.toml:1: not TOML: "},
    };
    for (const auto& c : cases)
    {
        try
        {
            parse(c.text);
            ADD_FAILURE() << "accepted:\n" << c.text;
        }
        catch (const UsageError& e)
        {
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos)
                << c.text << "gave: " << e.what();
        }
    }
}

TEST_F(RecipeTest, DrawsStayWhereTheRecipeSaysAndRepeatForASeed)
{
    const Recipe recipe = parse("[params]\n"
                                "\"White Level\" = -12\n"
                                "\"Osc1 Type\" = \"Saw\"\n"
                                "\"Amp Env Decay\" = { range = [0.3, 1.4], scale = \"log\" }\n"
                                "\"Filter LP Cutoff\" = { range = [150, 600] }\n"
                                "\"Osc1 Octave\" = { range = [-2, -1] }\n"
                                "\"Osc2 Type\" = { choose = [\"Square\", 5] }\n");
    const std::vector<double> defaults = made(parse(""), 1);
    std::set<double> octaves, types, decays;
    for (unsigned seed = 0; seed < 200; ++seed)
    {
        const std::vector<double> values = made(recipe, seed);
        EXPECT_EQ(values[kWhiteLevel], -12.0);
        EXPECT_EQ(values[kOsc1Type], 4.0);
        EXPECT_GE(values[kAmpEnvDecay], 0.3);
        EXPECT_LE(values[kAmpEnvDecay], 1.4);
        EXPECT_GE(values[kFilterLPCutoff], 150.0);
        EXPECT_LE(values[kFilterLPCutoff], 600.0);
        octaves.insert(values[kOsc1Octave]);
        types.insert(values[kOsc2Type]);
        decays.insert(values[kAmpEnvDecay]);
        // What the recipe does not name keeps the starting sound's value.
        EXPECT_EQ(values[kPinkLevel], defaults[kPinkLevel]);
        EXPECT_EQ(values[kAmpEnvAttack], defaults[kAmpEnvAttack]);
    }
    EXPECT_EQ(octaves, (std::set<double>{-2.0, -1.0}));
    EXPECT_EQ(types, (std::set<double>{3.0, 5.0}));
    EXPECT_GT(decays.size(), 190u);
    // A log scale spends as many draws below the geometric middle as above it.
    const double middle = std::sqrt(0.3 * 1.4);
    const long below = std::count_if(decays.begin(), decays.end(), [middle](double d) { return d < middle; });
    EXPECT_GT(below, 70);
    EXPECT_LT(below, 130);
    EXPECT_EQ(made(recipe, 7), made(recipe, 7));
    EXPECT_NE(made(recipe, 7), made(recipe, 8));
}

TEST_F(RecipeTest, AStartKindIsItsGeneratorAndASoundFileIsReadBesideTheRecipe)
{
    InstrumentBackend pickup;
    pickup.Open(44100.0, 512, std::nullopt);
    pickup.Plug().SeedRandom(5);
    pickup.Plug().PickupParams();
    const std::vector<double> expected = StateValues(pickup.State());
    EXPECT_EQ(made(parse("start = \"pickup\"\n"), 5), expected);
    EXPECT_EQ(made(parse("start = \"Coin\"\n"), 5), expected);

    std::vector<double> loud = expected;
    loud[kOutputGain] = 3.0;
    EXPECT_EQ(made(parse("start = \"pickup\"\n[params]\n\"Output Gain\" = 3\n"), 5), loud);

    // A path is taken from the recipe's folder; a code as it stands.
    const ByteChunk state = pickup.State();
    std::ofstream(path("coin.state"), std::ios::binary)
        .write(reinterpret_cast<const char*>(state.GetBytes()), state.Size());
    const Recipe fromFile = ParseRecipe("sound = \"coin.state\"\n", path("kind.toml"), mParams);
    EXPECT_EQ(made(fromFile, 99), expected);
    EXPECT_EQ(made(parse("sound = \"" + EncodeShareCode(state) + "\"\n"), 99), expected);

    // Mutate's amount is the recipe's, and Mutate draws after the values.
    const std::vector<double> mutated = made(parse("start = \"pickup\"\nmutate = 10\n"), 5);
    EXPECT_EQ(mutated[kMutation], 10.0);
    EXPECT_NE(mutated, expected);
}

} // namespace
