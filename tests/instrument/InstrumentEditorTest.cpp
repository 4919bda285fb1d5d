// The instrument's editor as built: its 79 controls, images, keyboard and
// about box, with the artwork the build draws.
#include "IGraphics.h"
#include "IKeyboardControl.h"
#include "Layout.h"
#include "EditorHost.h"
#include "qxControls.h"
#include "qxFontLists.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

IKeyboardControl* keyboardOf(EditorHost& host)
{
    return dynamic_cast<IKeyboardControl*>(host.editor->GetControl(1));
}

IRECT rectOfRow(int i)
{
    const ParamProperties& row = paramProperties[i];
    return IRECT(row.x, row.y, row.x + row.width, row.y + row.height);
}

} // namespace

TEST(InstrumentEditor, HasTheSeventyNineControlsInOrder)
{
    EditorHost host;
    IGraphics* editor = host.editor;
    ASSERT_EQ(editor->NControls(), 79);
    EXPECT_EQ(editor->Width(), 846);
    EXPECT_EQ(editor->Height(), 768);
    EXPECT_EQ(editor->FPS(), 25);
    EXPECT_EQ(editor->GetControl(0)->GetRECT(), IRECT(0, 0, 846, 768));
    EXPECT_EQ(editor->GetControl(1), keyboardOf(host));
    EXPECT_EQ(keyboardOf(host)->GetRECT(), IRECT(138, 707, 708, 763));
    EXPECT_NE(dynamic_cast<IPeakMeterBitmapBitmapFont*>(editor->GetControl(2)), nullptr);
    EXPECT_EQ(editor->GetControl(2)->GetRECT(), IRECT(760, 100, 788, 242));
    EXPECT_EQ(editor->GetControl(3)->GetRECT(), IRECT(788, 100, 817, 242));
    auto* pickup = dynamic_cast<IButtonControl*>(editor->GetControl(6));
    ASSERT_NE(pickup, nullptr);
    EXPECT_EQ(pickup->GetRECT(), IRECT(261, 556, 369, 606));
    EXPECT_STREQ(pickup->GetTooltip(), "Pickup/Coin sounds");
    EXPECT_STREQ(editor->GetControl(13)->GetTooltip(),
                 "Mutate the current values. Change the amount with the Mutation % Knob");
    EXPECT_EQ(editor->GetControl(16)->GetRECT(), IRECT(472, 240, 548, 270));
    auto* label = dynamic_cast<ITextControlBitmapFont*>(editor->GetControl(17));
    ASSERT_NE(label, nullptr);
    EXPECT_STREQ(label->GetTextString(), "1");
    for (int i = 0; i < kNumParams; ++i)
    {
        IControl* knob = editor->GetControl(18 + i);
        EXPECT_EQ(knob->ParamIdx(), i);
        EXPECT_EQ(knob->GetRECT(), rectOfRow(i)) << i;
        EXPECT_STREQ(knob->GetTooltip(), paramProperties[i].tooltip);
        const bool noteKnob = i == kPitchHighNote || i == kPitchLowNote;
        EXPECT_EQ(dynamic_cast<IKnobMultiControlBitmapFontMidiNote*>(knob) != nullptr, noteKnob);
        EXPECT_NE(dynamic_cast<IKnobMultiControlBitmapFont*>(knob), nullptr);
    }
    EXPECT_EQ(editor->GetControl(78)->GetRECT(), IRECT(0, 0, 846, 768));
    // Closed, from the start: only the strip above the keyboard listens.
    EXPECT_EQ(editor->GetControl(78)->GetTargetRECT(), IRECT(255, 668, 590, 701));
    EXPECT_EQ(editor->GetMouseControlIdx(300, 580), 6);
    EXPECT_TRUE(editor->TooltipsEnabled());
}

TEST(InstrumentEditor, KnobTextsShowValuesUnitsAndNoteNames)
{
    EditorHost host;
    IGraphics* editor = host.editor;
    char text[32];
    dynamic_cast<IKnobMultiControlBitmapFont*>(editor->GetControl(18 + kOutputGain))
        ->FormatValue(text, sizeof text);
    EXPECT_STREQ(text, "-6.0dB");
    auto* high = dynamic_cast<IKnobMultiControlBitmapFont*>(editor->GetControl(18 + kPitchHighNote));
    for (auto [note, name] : {std::pair<int, const char*>{12, "C 0"}, {60, "C 4"}, {96, "C 7"},
                              {127, "G 9"}})
    {
        host.plug.GetParam(kPitchHighNote)->Set(note);
        high->FormatValue(text, sizeof text);
        EXPECT_STREQ(text, name);
    }
}

TEST(InstrumentEditor, EveryImageLoadsWithItsFramesAndFontsMatchTheirAdvances)
{
    EditorHost host;
    IGraphics* editor = host.editor;
    for (const EditorImage& image : kEditorImages)
    {
        IBitmap bitmap = editor->LoadIBitmap(image.id, image.name, image.frames);
        ASSERT_NE(bitmap.mData, nullptr) << image.name;
        EXPECT_EQ(bitmap.H % image.frames, 0) << image.name;
    }
    EXPECT_EQ(editor->LoadIBitmap(kWhiteKeyImage, "", 6).W, 10);
    EXPECT_EQ(editor->LoadIBitmap(kBackgroundImage, "").H, 768);

    const std::pair<int, const short*> fonts[] = {{kFont12Image, advList_Eyetype_3_12},
                                                  {kFont14Image, advList_Eyetype_3_14},
                                                  {kFont20Image, advList_Eyetype_3_20},
                                                  {kFont14WhiteImage, advList_Eyetype_3_14}};
    for (auto [id, advances] : fonts)
    {
        IBitmap font = editor->LoadIBitmap(id, "", 224);
        ASSERT_EQ(advances[1], 224);
        const int frameH = font.H / 224;
        for (int k = 0; k < 224; ++k)
        {
            int left = font.W, right = -1;
            for (int y = 0; y < frameH; ++y)
                for (int x = 0; x < font.W; ++x)
                    if (PIX_Channel(font.mData->getBits()[(k * frameH + y) * font.mData->getRowSpan() + x], 0))
                    {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
            const int advance = advances[2 + k];
            if (advance == 0)
            {
                EXPECT_EQ(right, -1) << "code " << k + 32; // nothing drawn where nothing advances
                continue;
            }
            if (right < 0)
                continue; // a space
            // Inside the cell the advance gives, one column left free, and centred.
            EXPECT_LE(right, advance - 2) << "font " << id << " code " << k + 32;
            EXPECT_LE(std::abs(left + right - (advance - 2)), 1) << "font " << id << " code " << k + 32;
        }
    }
}

TEST(InstrumentEditor, KeyboardPlaysOneNoteAtATimeAndShowsHostNotes)
{
    EditorHost host(64);
    IKeyboardControl* keys = keyboardOf(host);
    IMouseMod left(true);
    EXPECT_EQ(keys->GetMouseKey(146, 710), 1);    // upper part of C#
    EXPECT_EQ(keys->GetMouseKey(146, 755), 0);    // the C below it
    EXPECT_EQ(keys->GetMouseKey(703, 740), 96);   // the closing top key
    EXPECT_EQ(keys->GetMouseKey(709, 740), -1);
    keys->OnMouseDown(141, 707, &left);
    EXPECT_EQ(keys->GetVelocity(), 1);
    keys->OnMouseUp(141, 707, &left);
    keys->OnMouseDown(141, 707 + 28, &left);
    EXPECT_EQ(keys->GetVelocity(), 64);

    host.render(1); // C0 (note 12) starts
    EXPECT_TRUE(host.plug.GetKeyStatus(12));
    keys->OnMouseDrag(151, 755, 10, 20, &left); // over to D
    host.render(1);
    EXPECT_FALSE(host.plug.GetKeyStatus(12));
    EXPECT_TRUE(host.plug.GetKeyStatus(14));
    keys->OnMouseUp(151, 755, &left);
    host.render(1);
    EXPECT_EQ(host.plug.GetNumKeys(), 0);

    host.send(noteOn(60, 100, 0)); // the host holds C4: its key stays the host's
    host.render(1);
    keys->OnMouseDown(138 + 4 * 70 + 3, 750, &left);
    EXPECT_EQ(keys->GetKey(), -1);
    EXPECT_TRUE(keys->IsDirty());

    keys->OnMouseDown(703, 750, &left); // the top key is drawn with its own frame
    IRECT all(0, 0, 846, 768);
    host.editor->Draw(&all);
    PIX_IBitmap* screen = host.editor->GetDrawBitmap();
    EXPECT_EQ(screen->getBits()[709 * screen->getRowSpan() + 706], PIX_MakePixel(255, 255, 196, 84));
    host.render(1);
    EXPECT_TRUE(host.plug.GetKeyStatus(108));
}

TEST(InstrumentEditor, AboutBoxOpensOnRequestWithoutAWindow)
{
    EditorHost host;
    IGraphics* editor = host.editor;
    EXPECT_TRUE(host.plug.HostRequestingAboutBox());
    IRECT dirty;
    ASSERT_TRUE(editor->IsDirty(&dirty));
    editor->Draw(&dirty);
    EXPECT_EQ(editor->GetControl(78)->GetTargetRECT(), IRECT(0, 0, 846, 768));
    IMouseMod left(true);
    editor->OnMouseDown(10, 10, &left);
    editor->OnMouseUp(10, 10, &left);
    EXPECT_EQ(editor->GetControl(78)->GetValue(), 0.0);
}

// The editor reads what the instrument keeps: its meters the levels of the
// last block at the next tick, its label the slot shown.
TEST(InstrumentEditor, MetersAndSlotLabelFollowTheInstrument)
{
    EditorHost host(64);
    host.send(noteOn(69, 127, 0));
    host.render(20);
    IRECT dirty;
    host.editor->IsDirty(&dirty);
    ASSERT_GT(host.plug.GetMeterL(), 0.0);
    EXPECT_EQ(host.editor->GetControl(2)->GetValue(), host.plug.GetMeterL());
    EXPECT_EQ(host.editor->GetControl(3)->GetValue(), host.plug.GetMeterR());

    auto* label = dynamic_cast<ITextControlBitmapFont*>(host.editor->GetControl(17));
    host.plug.SeedRandom(3);
    host.plug.JumpParams();
    host.plug.JumpParams();
    EXPECT_STREQ(label->GetTextString(), "1");
    host.plug.BtnPrev();
    EXPECT_STREQ(label->GetTextString(), "0");
}
