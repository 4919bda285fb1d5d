// Variations of a layered sound: each layer's sound varies by its own
// sequence while the layer keeps its place, the sequence repeats for a seed
// however it is reached, a pitch move moves every note of a layer and never
// takes one out of range, and what cannot vary is refused.
#include "LayeredVariations.h"

#include "KIT_UsageError.h"
#include "SoundState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

ByteChunk soundOf(const std::string& kind, unsigned seed)
{
    VariationSource source;
    source.kind = kind;
    return Variations(source, seed).Next().state;
}

LayeredSound threeLayers()
{
    LayeredSound sound;
    Layer own;
    own.state = soundOf("hit", 1);
    own.seed = 4;
    own.gain = -3;
    Layer listed;
    listed.state = soundOf("blip", 2);
    listed.start = 0.1;
    listed.pan = 0.5;
    listed.notes.kind = LayerNotes::kList;
    listed.notes.list = {{60, 127, 0.0, 0.1}, {67, 90, 0.1, 0.1}};
    listed.repeat = {3, 0.05, -6, 2};
    Layer stepped;
    stepped.state = soundOf("pickup", 3);
    stepped.notes.kind = LayerNotes::kPattern;
    stepped.notes.steps = {72, kRestStep, 76};
    stepped.notes.step = 0.05;
    sound.layers = {own, listed, stepped};
    return sound;
}

VariationSource shape(int pitch, double mutation)
{
    VariationSource source;
    source.pitchSemitones = pitch;
    source.mutation = mutation;
    return source;
}

std::vector<std::string> codes(LayeredVariations& plays, int count)
{
    std::vector<std::string> all;
    for (int i = 0; i < count; ++i)
        all.push_back(EncodeLayered(plays.Next().sound));
    return all;
}

} // namespace

TEST(LayeredVariations, EachLayerVariesInItsPlaceAndASeedGivesOneSequence)
{
    const LayeredSound base = threeLayers();
    LayeredVariations plays(base, shape(0, 5), 11);
    LayeredSound previous = base;
    for (int n = 0; n < 8; ++n)
    {
        const LayeredVariation play = plays.Next();
        EXPECT_EQ(play.index, static_cast<uint64_t>(n));
        ASSERT_EQ(play.sound.layers.size(), 3u);
        EXPECT_TRUE(CheckLayered(play.sound).empty());
        for (size_t i = 0; i < 3; ++i)
        {
            const Layer& layer = play.sound.layers[i];
            const Layer& was = base.layers[i];
            EXPECT_NE(BytesOf(layer.state), BytesOf(was.state)) << "play " << n << " layer " << i;
            EXPECT_NE(BytesOf(layer.state), BytesOf(previous.layers[i].state)) << "play " << n << " layer " << i;
            EXPECT_EQ(layer.start, was.start);
            EXPECT_EQ(layer.gain, was.gain);
            EXPECT_EQ(layer.pan, was.pan);
            EXPECT_EQ(layer.repeat.count, was.repeat.count);
            EXPECT_EQ(layer.repeat.transpose, was.repeat.transpose);
            EXPECT_EQ(layer.notes.kind, was.notes.kind); // no pitch: the notes as they were
        }
        previous = play.sound;
    }

    LayeredVariations again(base, shape(0, 5), 11), other(base, shape(0, 5), 12);
    const std::vector<std::string> sequence = codes(again, 6);
    EXPECT_NE(codes(other, 6), sequence);
    LayeredVariations sought(base, shape(0, 5), 11);
    sought.Seek(4);
    EXPECT_EQ(EncodeLayered(sought.Next().sound), sequence[4]);
    sought.Seek(1);
    EXPECT_EQ(EncodeLayered(sought.Next().sound), sequence[1]);
}

TEST(LayeredVariations, APitchMoveMovesEveryNoteOfALayerAndStaysInRange)
{
    LayeredSound base = threeLayers();
    LayeredVariations plays(base, shape(12, 0), 3);
    bool moved = false;
    for (int n = 0; n < 12; ++n)
    {
        const LayeredSound sound = plays.Next().sound;
        EXPECT_TRUE(CheckLayered(sound).empty()) << "play " << n;
        const Layer& own = sound.layers[0];
        const int ownShift = own.notes.kind == LayerNotes::kList
                                 ? own.notes.list[0].note - DefaultNote(own.state).note
                                 : 0;
        EXPECT_EQ(own.notes.kind == LayerNotes::kList, ownShift != 0);
        const Layer& listed = sound.layers[1];
        const int shift = listed.notes.list[0].note - 60;
        EXPECT_EQ(listed.notes.list[1].note, 67 + shift) << "both notes move together";
        const Layer& stepped = sound.layers[2];
        EXPECT_EQ(stepped.notes.steps[1], kRestStep);
        EXPECT_EQ(stepped.notes.steps[2] - stepped.notes.steps[0], 4);
        moved = moved || shift != 0;
    }
    EXPECT_TRUE(moved);

    // Near the top a move up would leave the range (the repeats transpose
    // further): those plays keep the layer's notes.
    base.layers[1].notes.list = {{120, 127, 0.0, 0.1}};
    base.layers[1].repeat.transpose = 3;
    LayeredVariations high(base, shape(12, 0), 5);
    for (int n = 0; n < 12; ++n)
        EXPECT_TRUE(CheckLayered(high.Next().sound).empty()) << "play " << n;
}

TEST(LayeredVariations, WhatCannotVaryOrPlayIsRefused)
{
    VariationSource kind = shape(0, 5);
    kind.kind = "hit";
    EXPECT_THROW(LayeredVariations(threeLayers(), kind, 1), UsageError);
    EXPECT_THROW(LayeredVariations(threeLayers(), shape(0, 0), 1), UsageError);
    LayeredSound bad = threeLayers();
    bad.layers[1].pan = 2;
    EXPECT_THROW(LayeredVariations(bad, shape(0, 5), 1), UsageError);
    EXPECT_THROW(LayeredVariations(LayeredSound(), shape(0, 5), 1), UsageError);
}
