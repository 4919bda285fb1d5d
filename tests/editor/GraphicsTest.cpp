#include "EditorTestSupport.h"

#include <gtest/gtest.h>

namespace
{

// Counts its paints and what reaches it, so routing and redraws can be seen.
class ProbeControl : public IControl
{
public:
    ProbeControl(IPluginBase* plug, IRECT rect, int paramIdx = -1) : IControl(plug, rect, paramIdx)
    {
    }
    bool Draw(IGraphics*) override
    {
        ++draws;
        return true;
    }
    void OnMouseDown(int x, int y, IMouseMod*) override { downs.push_back({x, y}); }
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod*) override
    {
        drags.push_back({x, y, dX, dY});
    }
    bool OnKeyDown(int, int, int key) override
    {
        keys.push_back(key);
        return takesKeys;
    }

    int draws = 0;
    std::vector<std::vector<int>> downs, drags;
    std::vector<int> keys;
    bool takesKeys = true;
};

class GraphicsTest : public EditorFixture<200, 100>
{
protected:
    // Attaches with a plain panel behind, as an editor without artwork would.
    void attach()
    {
        graphics->AttachPanelBackground(&COLOR_BLACK);
        plug.AttachGraphics(graphics);
    }
};

} // namespace

TEST_F(GraphicsTest, FramesAreChosenByStateAndClippedDrawsShiftTheSource)
{
    resources.WriteStrip("strip.png", 10, 5, 4);
    resources.WriteStrip("single.png", 10, 5, 1);
    resources.WriteStrip("across.png", 10, 5, 3, true);
    resources.WriteStrip("halves.png", 10, 20, 2, true);
    IBitmap strip = graphics->LoadIBitmap(1101, "img/strip.png", 4);
    IBitmap single = graphics->LoadIBitmap(1102, "single.PNG", 1);
    IBitmap across = graphics->LoadIBitmap(1103, "across.png", 3, true);
    IBitmap halves = graphics->LoadIBitmap(1104, "halves.png", 1);
    attach();
    drawAll(); // the draw rectangle is now the whole editor

    struct Case
    {
        IBitmap* bitmap;
        int state, frame;
    } cases[] = {{&strip, 0, 0}, {&strip, 1, 0}, {&strip, 3, 2}, {&strip, 4, 3}, {&strip, 9, 3},
                 {&single, 3, 0}, {&across, 2, 1}, {&across, 3, 2}};
    for (const Case& c : cases)
    {
        IRECT dest(50, 50, 60, 55);
        graphics->DrawBitmap(c.bitmap, &dest, c.state);
        EXPECT_EQ(PixelAt(*graphics, 55, 52), TestResources::FrameColor(c.frame))
            << "state " << c.state;
    }

    IRECT clip(15, 0, 200, 100);
    graphics->Draw(&clip); // paints the panel over the clipped area only
    IRECT dest(10, 10, 30, 30);
    graphics->DrawBitmap(&halves, &dest, 1);
    EXPECT_EQ(PixelAt(*graphics, 15, 12), TestResources::FrameColor(0)); // source x 5
    EXPECT_EQ(PixelAt(*graphics, 25, 12), TestResources::FrameColor(1)); // source x 15
    EXPECT_EQ(PixelAt(*graphics, 12, 12), PixColor(&COLOR_BLACK)); // left of the clip: untouched

    IBitmap again = graphics->LoadIBitmap(1101, "halves.png", 2); // first image wins
    EXPECT_EQ(again.mData, strip.mData);
    EXPECT_EQ(again.N, 2);
    EXPECT_EQ(PngBaseName("resources/img/KnobNes.png"), "KnobNes");
    EXPECT_EQ(PngBaseName("knob.jpg"), "");
}

TEST_F(GraphicsTest, MissingImagesStopThePlugInNamingTheFileAndFolder)
{
    EXPECT_DEATH(graphics->LoadIBitmap(1190, "img/Nowhere.png"),
                 "imgResourceFound.*Nowhere.png.*" + resources.dir());
}

TEST_F(GraphicsTest, MouseFindsTheTopmostLiveControlAndKeepsCapture)
{
    auto* lower = new ProbeControl(&plug, IRECT(10, 10, 50, 50));
    auto* upper = new ProbeControl(&plug, IRECT(20, 20, 40, 40));
    graphics->AttachControl(lower);
    graphics->AttachControl(upper);
    attach();
    EXPECT_EQ(graphics->GetMouseControlIdx(30, 30), 2);
    upper->Hide(true);
    EXPECT_EQ(graphics->GetMouseControlIdx(30, 30), 1);
    upper->Hide(false);
    upper->GrayOut(true);
    EXPECT_EQ(graphics->GetMouseControlIdx(30, 30), 1);
    EXPECT_EQ(graphics->GetMouseControlIdx(30, 30, true), 1);
    upper->SetMOWhenGrayed(true);
    EXPECT_EQ(graphics->GetMouseControlIdx(30, 30, true), 2);
    EXPECT_EQ(graphics->GetMouseControlIdx(150, 90), 0); // the background

    IMouseMod left(true);
    graphics->OnMouseDown(15, 15, &left);
    graphics->OnMouseDrag(15, 15, &left); // no movement: not delivered
    graphics->OnMouseDrag(120, 95, &left); // far outside: still the captured control
    EXPECT_EQ(graphics->GetMouseControlIdx(30, 30), 1);
    graphics->OnMouseUp(120, 95, &left);
    graphics->OnMouseDrag(130, 95, &left); // released: nobody
    ASSERT_EQ(lower->drags.size(), 1u);
    EXPECT_EQ(lower->drags[0], (std::vector<int>{120, 95, 105, 80}));
}

// A host counts on every gesture it was told of ending, wherever the button is let go.
TEST_F(GraphicsTest, AGestureEndsForTheControlItBeganOn)
{
    graphics->AttachControl(new ProbeControl(&plug, IRECT(10, 10, 50, 50), 1));
    graphics->AttachControl(new ProbeControl(&plug, IRECT(60, 10, 100, 50), 2));
    attach();
    IMouseMod left(true);
    graphics->OnMouseDown(15, 15, &left);
    graphics->OnMouseUp(70, 15, &left); // over another control's parameter
    graphics->OnMouseDown(15, 15, &left);
    graphics->OnMouseUp(150, 90, &left); // over no control's parameter
    graphics->OnMouseUp(70, 15, &left); // no gesture to end
    EXPECT_EQ(plug.gestures, (std::vector<std::string>{"begin 1", "end 1", "begin 1", "end 1"}));
}

TEST_F(GraphicsTest, KeysGoToTheControlUnderThePointerElseTheCatcher)
{
    auto* control = new ProbeControl(&plug, IRECT(10, 10, 50, 50));
    graphics->AttachControl(control);
    attach();
    EXPECT_FALSE(graphics->OnKeyDown(100, 80, IGraphics::KEY_SPACE)); // background, no catcher
    auto* catcher = new ProbeControl(&plug, IRECT());
    graphics->AttachKeyCatcher(catcher);
    EXPECT_TRUE(graphics->OnKeyDown(100, 80, IGraphics::KEY_SPACE));
    control->takesKeys = false;
    EXPECT_FALSE(graphics->OnKeyDown(20, 20, IGraphics::KEY_UPARROW));
    EXPECT_EQ(catcher->keys, std::vector<int>{IGraphics::KEY_SPACE});
    EXPECT_EQ(control->keys, std::vector<int>{IGraphics::KEY_UPARROW});
}

TEST_F(GraphicsTest, RedrawCoversDirtyControlsAndRepaintsChangesTwice)
{
    auto* left = new ProbeControl(&plug, IRECT(0, 0, 40, 40), 5);
    auto* right = new ProbeControl(&plug, IRECT(100, 0, 140, 40));
    graphics->AttachControl(left);
    graphics->AttachControl(right);
    attach();
    IRECT dirty;
    ASSERT_TRUE(graphics->IsDirty(&dirty));
    EXPECT_EQ(dirty, IRECT(0, 0, 200, 100));
    graphics->Draw(&dirty);
    dirty = IRECT();
    EXPECT_FALSE(graphics->IsDirty(&dirty));

    graphics->SetParameterFromPlug(5, 0.7, true);
    std::vector<int> paints;
    for (int tick = 0; tick < 3; ++tick)
    {
        IRECT area;
        if (graphics->IsDirty(&area))
        {
            EXPECT_EQ(area, left->GetRECT());
            graphics->Draw(&area);
        }
        paints.push_back(left->draws);
    }
    EXPECT_EQ(paints, (std::vector<int>{2, 3, 3})); // painted on two consecutive ticks
    EXPECT_EQ(right->draws, 1);

    graphics->SetStrictDrawing(false); // everything dirty, background first
    IRECT area(0, 0, 200, 100);
    graphics->Draw(&area);
    EXPECT_EQ(right->draws, 2);
    right->SetDirty(false);
    graphics->Draw(&area);
    EXPECT_EQ(right->draws, 3);
    EXPECT_EQ(left->draws, 4); // only the dirty control and what overlaps it
    EXPECT_EQ(graphics->screenCopies.size(), 5u);
}

TEST_F(GraphicsTest, PromptsOfferDisplayTextsOrATextField)
{
    auto* toggle = new ProbeControl(&plug, IRECT(0, 0, 40, 20), 1);
    auto* level = new ProbeControl(&plug, IRECT(50, 0, 90, 20), 5);
    graphics->AttachControl(toggle);
    graphics->AttachControl(level);
    attach();
    IRECT at(1, 2, 3, 4);
    graphics->PromptUserInput(toggle, plug.GetParam(1), &at);
    ASSERT_EQ(graphics->shownMenus.size(), 1u);
    EXPECT_EQ(graphics->checkedWhenShown, (std::vector<bool>{true, false}));
    EXPECT_EQ(graphics->menuRect, at);
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.0); // dismissed: unchanged

    graphics->menuAnswer = 1;
    graphics->PromptUserInput(toggle, plug.GetParam(1), &at);
    EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
    EXPECT_EQ(toggle->GetValue(), 1.0);

    graphics->PromptUserInput(level, plug.GetParam(5), &at);
    EXPECT_EQ(graphics->entryControl, level);
    EXPECT_EQ(graphics->entryText, "15.00");
    graphics->SetFromStringAfterPrompt(level, plug.GetParam(5), "150.5");
    EXPECT_EQ(plug.GetParam(5)->Value(), 150.5);
    graphics->SetFromStringAfterPrompt(toggle, plug.GetParam(1), "off");
    EXPECT_EQ(plug.GetParam(1)->Value(), 0.0);
    graphics->PromptUserInput(nullptr, plug.GetParam(5), &at);
    graphics->PromptUserInput(level, nullptr, &at);
    EXPECT_EQ(graphics->shownMenus.size(), 2u);
}

TEST_F(GraphicsTest, TextIsMeasuredAlignedAndDrawn)
{
    attach();
    drawAll();
    IText text(16, &COLOR_WHITE, "DejaVu Sans", IText::kStyleNormal, IText::kAlignCenter);
    IRECT box(20, 30, 180, 60);
    ASSERT_TRUE(graphics->MeasureIText(&text, "Bleepforge", &box));
    EXPECT_GT(box.W(), 40);
    EXPECT_LT(box.W(), 140);
    EXPECT_NEAR(box.H(), 16, 2); // the corrected line height
    EXPECT_EQ(box.L, 100 - box.W() / 2);
    IRECT tooNarrow(0, 0, 10, 10);
    text.mAlign = IText::kAlignFar;
    graphics->MeasureIText(&text, "Bleepforge", &tooNarrow);
    EXPECT_EQ(tooNarrow.R, 10);
    EXPECT_LT(tooNarrow.L, 0);

    text.mAlign = IText::kAlignCenter;
    IRECT draw(20, 30, 180, 60);
    ASSERT_TRUE(graphics->DrawIText(&text, "Bleepforge", &draw));
    int lit = 0;
    for (int y = 30; y < 50; ++y)
        for (int x = 20; x < 180; ++x)
            lit += PIX_Channel(PixelAt(*graphics, x, y), 1) > 128;
    EXPECT_GT(lit, 40);
    EXPECT_EQ(PixelAt(*graphics, 25, 35), PixColor(&COLOR_BLACK)); // centred: the margin stays
    EXPECT_TRUE(graphics->DrawIText(&text, "", &draw));
}
