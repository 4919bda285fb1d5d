// Variations: a sequence that repeats for a seed however it is reached, never
// plays one sound twice in a row, keeps what is locked, and refuses a
// source that cannot vary.
#include "Variations.h"

#include "Locks.h"
#include "Params.h"
#include "Recipe.h"
#include "KIT_UsageError.h"
#include "SoundState.h"
#include "ShareCode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace
{

std::string codeOf(const Variation& play)
{
    return EncodeShareCode(play.state);
}

std::vector<std::string> codes(Variations& plays, int count)
{
    std::vector<std::string> all;
    for (int i = 0; i < count; ++i)
        all.push_back(codeOf(plays.Next()));
    return all;
}

VariationSource kindSource(const std::string& kind)
{
    VariationSource source;
    source.kind = kind;
    return source;
}

// A sound of its own, so that the base is not the default sound.
ByteChunk baseSound()
{
    return DecodeShareCode(codeOf(Variations(kindSource("blip"), 99).Next()));
}

} // namespace

TEST(Variations, ASeedGivesOneSequenceHoweverItIsReached)
{
    Variations first(kindSource("coin"), 7), again(kindSource("pickup"), 7),
        other(kindSource("pickup"), 8);
    const std::vector<std::string> sequence = codes(first, 12);
    EXPECT_EQ(codes(again, 12), sequence);
    EXPECT_NE(codes(other, 12), sequence);
    EXPECT_EQ(std::set<std::string>(sequence.begin(), sequence.end()).size(), sequence.size());

    Variations sought(kindSource("pickup"), 7);
    sought.Seek(9);
    EXPECT_EQ(codeOf(sought.Next()), sequence[9]);
    sought.Seek(3); // backwards too
    const Variation third = sought.Next();
    EXPECT_EQ(codeOf(third), sequence[3]);
    EXPECT_EQ(third.index, 3u);
}

TEST(Variations, TheSeedsOfPlaysStayWhatReplaysWereMadeWith)
{
    // Replays and stored sequences depend on these never moving.
    const unsigned seeds[] = {VariationSeed(1, 0, 0), VariationSeed(1, 1, 0),
                              VariationSeed(1, 0, 1), VariationSeed(2, 0, 0),
                              VariationSeed(1, uint64_t(1) << 40, 0)};
    EXPECT_EQ(std::set<unsigned>(std::begin(seeds), std::end(seeds)).size(), 5u);
    EXPECT_EQ(seeds[0], 3992888076u);
    EXPECT_EQ(seeds[1], 2088913937u);
    EXPECT_EQ(seeds[2], 412432357u);
}

TEST(Variations, NoPlayRepeatsThePlayBeforeIt)
{
    // A pitch of one semitone alone has three sounds: without drawing again,
    // a third of the plays would repeat the one before.
    VariationSource source;
    source.base = baseSound();
    source.pitchSemitones = 1;
    Variations plays(source, 3);
    std::set<int> notes;
    Variation previous = plays.Next();
    for (int i = 0; i < 300; ++i)
    {
        const Variation play = plays.Next();
        EXPECT_NE(play.note.note, previous.note.note) << "play " << play.index;
        EXPECT_EQ(codeOf(play), EncodeShareCode(source.base));
        EXPECT_EQ(play.note.duration, DefaultNote(source.base).duration);
        notes.insert(play.note.note);
        previous = play;
    }
    EXPECT_EQ(notes, (std::set<int>{59, 60, 61}));
}

TEST(Variations, LockedParametersKeepTheBaseAndMutateLeavesTheSoundsOwnAmount)
{
    VariationSource source = kindSource("random");
    source.base = baseSound();
    source.locked = LockedParams({"osc1", "Output Gain"});
    source.mutation = 10.0;
    const std::vector<double> base = StateValues(source.base);
    Variations plays(source, 11);
    std::set<double> decays;
    for (int i = 0; i < 20; ++i)
    {
        const std::vector<double> values = StateValues(plays.Next().state);
        for (int param : source.locked)
            EXPECT_EQ(values[param], base[param]) << paramProperties[param].name;
        EXPECT_EQ(values[kMutation], base[kMutation]);
        decays.insert(values[kAmpEnvDecay]);
    }
    EXPECT_GT(decays.size(), 15u);
}

TEST(Variations, MutationMovesOnlyWhatMutateMoves)
{
    VariationSource source;
    source.base = baseSound();
    source.mutation = 1.0;
    const std::vector<double> base = StateValues(source.base);
    Variations plays(source, 5);
    for (int i = 0; i < 10; ++i)
    {
        const Variation play = plays.Next();
        const std::vector<double> values = StateValues(play.state);
        EXPECT_EQ(play.note.note, 60);
        for (int p :
             {kOsc1Type, kOsc1Level, kWhiteLevel, kOutputGain, kPitchHighNote, kBitCrushBitDepth})
            EXPECT_EQ(values[p], base[p]) << paramProperties[p].name;
        EXPECT_NE(values[kAmpEnvDecay], base[kAmpEnvDecay]);
    }
}

TEST(Variations, ARecipeIsDrawnAnewOnEachPlay)
{
    const Recipe recipe =
        ParseRecipe("start = \"blip\"\n[params]\n\"Amp Env Decay\" = { range = [0.05, 0.3] }\n",
                    "kinds/click.toml", TableParams());
    VariationSource source;
    source.recipe = recipe;
    Variations plays(source, 1);
    std::set<double> decays;
    for (int i = 0; i < 10; ++i)
    {
        const double decay = StateValues(plays.Next().state)[kAmpEnvDecay];
        EXPECT_GE(decay, 0.05);
        EXPECT_LE(decay, 0.3);
        decays.insert(decay);
    }
    EXPECT_EQ(decays.size(), 10u);
}

TEST(Variations, ASourceThatCannotVaryOrIsDamagedIsRefused)
{
    const auto refused = [](const VariationSource& source)
    { EXPECT_THROW(Variations(source, 1), UsageError); };
    refused(VariationSource()); // the default sound, as it is
    refused(kindSource("reset"));
    VariationSource everything = kindSource("pickup");
    for (int p = 0; p < kNumParams; ++p)
        everything.locked.push_back(p);
    refused(everything);
    everything.pitchSemitones = 2; // now it can
    EXPECT_NO_THROW(Variations(everything, 1));

    refused(kindSource("pikcup"));
    VariationSource bad = kindSource("hit");
    bad.pitchSemitones = kMostVariationSemitones + 1;
    refused(bad);
    bad.pitchSemitones = -1;
    refused(bad);
    bad = kindSource("hit");
    bad.mutation = std::nan("");
    refused(bad);
    bad.mutation = 10.5;
    refused(bad);
    bad = kindSource("hit");
    bad.locked = {kNumParams};
    refused(bad);
    bad = kindSource("hit");
    bad.recipe = Recipe();
    refused(bad);
}
