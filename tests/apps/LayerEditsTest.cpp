// The Layers view's edits: every edit is one step that undo and redo walk
// exactly, and an edit that would break a rule of layered sounds changes
// nothing and records nothing.
#include "LayerEdits.h"

#include "Params.h"
#include "SoundState.h"
#include "StateCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

// The default sound with its first value moved, so each is a sound of its own.
std::string stateOf(int which)
{
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = paramProperties[i].defaultValue;
    values[0] = paramProperties[0].minimum + (paramProperties[0].maximum - paramProperties[0].minimum) * which / 8;
    std::string state(StateCodec::Size(kNumParams), '\0');
    StateCodec::Encode(0x10000, values, kNumParams, reinterpret_cast<unsigned char*>(&state[0]));
    return state;
}

LayerEdits threeLayers()
{
    LayerEdits edits;
    edits.Open(LayeredSound());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(edits.Add(stateOf(i + 1), 10 + i));
    return edits;
}

} // namespace

TEST(LayerEdits, UndoAndRedoWalkEveryEditExactly)
{
    LayerEdits edits = threeLayers();
    std::vector<std::string> codes = {edits.Code()};
    const auto did = [&](bool changed)
    {
        EXPECT_TRUE(changed);
        codes.push_back(edits.Code());
    };
    did(edits.MoveTo(1, 0.25));
    did(edits.SetGain(0, -6));
    did(edits.SetPan(2, -0.5));
    did(edits.Transpose(1, -12));
    did(edits.SetRepeat(2, {4, 0.1, -3, 2}));
    did(edits.SetMute(0, true));
    did(edits.SetSolo(1, true));
    did(edits.Remove(0));
    EXPECT_EQ(edits.Layers(), 2);
    EXPECT_EQ(edits.Sound().layers[0].start, 0.25);

    for (size_t back = codes.size() - 1; back-- > 0;)
    {
        ASSERT_TRUE(edits.Undo());
        EXPECT_EQ(edits.Code(), codes[back]);
        EXPECT_EQ(EncodeLayered(edits.Sound()), codes[back]) << "the sound follows the step";
    }
    EXPECT_EQ(edits.Layers(), 3);
    for (size_t forward = 1; forward < codes.size(); ++forward)
    {
        ASSERT_TRUE(edits.Redo());
        EXPECT_EQ(EncodeLayered(edits.Sound()), codes[forward]);
    }
    EXPECT_FALSE(edits.Redo());

    // Undo past the first layer leaves no layers, and an edit then clears redo.
    while (edits.Undo())
    {
    }
    EXPECT_EQ(edits.Layers(), 0);
    EXPECT_EQ(edits.Code(), "");
    EXPECT_TRUE(edits.Add(stateOf(5), 1));
    EXPECT_FALSE(edits.CanRedo());
}

TEST(LayerEdits, TransposingMovesEveryNoteAndItsOwnNoteBecomesAListNote)
{
    LayerEdits edits = threeLayers();
    const int own = DefaultNote(edits.Sound().layers[0].state).note;
    ASSERT_TRUE(edits.Transpose(0, 5));
    const Layer& moved = edits.Sound().layers[0];
    ASSERT_EQ(moved.notes.kind, LayerNotes::kList);
    EXPECT_EQ(moved.notes.list.at(0).note, own + 5);
    ASSERT_TRUE(edits.Transpose(0, -7));
    EXPECT_EQ(edits.Sound().layers[0].notes.list.at(0).note, own - 2);
    EXPECT_FALSE(edits.Transpose(0, 0)) << "no step for no move";
}

TEST(LayerEdits, AnEditThatBreaksARuleChangesAndRecordsNothing)
{
    LayerEdits edits = threeLayers();
    ASSERT_TRUE(edits.SetRepeat(0, {4, 0.1, 0, 12}));
    const std::string before = edits.Code();
    EXPECT_FALSE(edits.SetGain(0, 30));
    EXPECT_FALSE(edits.SetGain(0, 0.0 / 0.0));
    EXPECT_FALSE(edits.SetPan(1, 1.5));
    EXPECT_FALSE(edits.MoveTo(2, -0.1));
    EXPECT_FALSE(edits.Transpose(0, 60)) << "the repeats would pass note 127";
    EXPECT_FALSE(edits.SetRepeat(1, {17, 0.1, 0, 0}));
    EXPECT_FALSE(edits.SetMute(3, true));
    EXPECT_FALSE(edits.Remove(-1));
    EXPECT_FALSE(edits.Add(std::string(10, 'x'), 1)) << "no whole state";
    EXPECT_EQ(edits.Code(), before);
    for (int i = 3; i < kMostLayers; ++i)
        ASSERT_TRUE(edits.Add(stateOf(i % 8), i));
    EXPECT_FALSE(edits.Add(stateOf(1), 99));
    EXPECT_EQ(edits.Layers(), kMostLayers);

    ASSERT_TRUE(edits.Undo());
    EXPECT_EQ(edits.Layers(), kMostLayers - 1) << "each refusal left no step behind";

    LayeredSound broken = edits.Sound();
    broken.layers[0].pan = 3;
    EXPECT_THROW(edits.Open(broken), std::invalid_argument);
}
