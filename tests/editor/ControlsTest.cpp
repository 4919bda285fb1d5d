#include "EditorTestSupport.h"

#include <gtest/gtest.h>

namespace
{

class ControlsTest : public EditorFixture<300, 200>
{
protected:
    template <class Control> Control* add(Control* control)
    {
        graphics->AttachControl(control);
        return control;
    }

    IMouseMod left{true}, shift{true, false, true};
};

} // namespace

TEST_F(ControlsTest, KnobsFollowDragsWithGearingAndClampAtTheEnds)
{
    auto* knob = add(new IKnobLineControl(&plug, IRECT(0, 0, 50, 100), 5, &COLOR_WHITE)); // gearing 4
    plug.AttachGraphics(graphics);
    const double start = knob->GetValue();
    knob->OnMouseDrag(0, 0, 0, -100, &left); // up the full height
    EXPECT_NEAR(knob->GetValue(), start + 0.25, 1e-12);
    knob->OnMouseDrag(0, 0, 0, -100, &shift); // fine: ten times less
    EXPECT_NEAR(knob->GetValue(), start + 0.275, 1e-12);
    knob->OnMouseWheel(0, 0, &left, 3);
    EXPECT_NEAR(knob->GetValue(), start + 0.305, 1e-12);
    knob->OnMouseDrag(0, 0, 0, -10000, &left);
    EXPECT_EQ(knob->GetValue(), 1.0);
    EXPECT_EQ(plug.GetParam(5)->Value(), 200.0); // the plug-in got the clamped value
    knob->OnMouseDrag(0, 0, 0, 10000, &left);
    EXPECT_EQ(knob->GetValue(), 0.0);

    knob->OnMouseDblClick(0, 0, &left); // back to the first value from the plug-in
    EXPECT_DOUBLE_EQ(knob->GetValue(), start);
    EXPECT_DOUBLE_EQ(plug.GetParam(5)->Value(), 15.0);
    auto* unbound = new IKnobLineControl(&plug, IRECT(0, 0, 5, 5), 6, &COLOR_WHITE);
    unbound->OnMouseDblClick(0, 0, &left); // default still unknown: nothing
    EXPECT_EQ(unbound->GetValue(), 0.0);
    delete unbound;
}

TEST_F(ControlsTest, SwitchesCycleThroughTheirFramesAndOverlaysOpenAndClose)
{
    resources.WriteStrip("two.png", 8, 8, 2);
    resources.WriteStrip("three.png", 8, 8, 3);
    resources.WriteStrip("about.png", 300, 200, 1);
    IBitmap two = graphics->LoadIBitmap(2101, "two.png", 2);
    IBitmap three = graphics->LoadIBitmap(2102, "three.png", 3);
    IBitmap about = graphics->LoadIBitmap(2103, "about.png", 1);
    auto* toggle = add(new ISwitchControl(&plug, 0, 0, 1, &two));
    auto* selector = add(new ISwitchControl(&plug, 10, 0, 7, &three));
    auto* overlay = add(new IBitmapOverlayControl(&plug, 0, 0, &about, IRECT(250, 150, 290, 190)));
    plug.AttachGraphics(graphics);

    std::vector<double> seen;
    for (int i = 0; i < 3; ++i)
    {
        toggle->OnMouseDown(0, 0, &left);
        seen.push_back(toggle->GetValue());
    }
    EXPECT_EQ(seen, (std::vector<double>{1.0, 0.0, 1.0}));
    seen.clear();
    selector->SetValueFromUserInput(0.0);
    for (int i = 0; i < 4; ++i)
    {
        selector->OnMouseDown(0, 0, &left);
        seen.push_back(selector->GetValue());
    }
    EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
    selector->OnMouseDblClick(0, 0, &left); // a double-click steps once more
    EXPECT_EQ(selector->GetValue(), 1.0);

    IRECT all(0, 0, 300, 200);
    graphics->Draw(&all);
    EXPECT_EQ(overlay->GetTargetRECT(), IRECT(250, 150, 290, 190)); // closed
    EXPECT_EQ(graphics->GetMouseControlIdx(100, 100), -1);
    IMouseMod mod(true);
    graphics->OnMouseDown(260, 160, &mod);
    graphics->OnMouseUp(260, 160, &mod);
    graphics->Draw(&all);
    EXPECT_EQ(overlay->GetTargetRECT(), IRECT(0, 0, 300, 200)); // open over everything
    EXPECT_EQ(PixelAt(*graphics, 100, 100), TestResources::FrameColor(0));
    EXPECT_EQ(graphics->GetMouseControlIdx(5, 5), 2);
    graphics->OnMouseDown(5, 5, &mod);
    graphics->Draw(&all);
    EXPECT_EQ(overlay->GetValue(), 0.0);
    EXPECT_EQ(overlay->GetTargetRECT(), IRECT(250, 150, 290, 190));
}

TEST_F(ControlsTest, ValuesFromThePlugInFixTheDefaultAndEchoNothing)
{
    auto* text = add(new ITextControl(&plug, IRECT(0, 0, 60, 12), nullptr));
    auto* knob = add(new IKnobLineControl(&plug, IRECT(0, 20, 50, 70), 5, &COLOR_WHITE));
    knob->SetValDisplayControl(text);
    EXPECT_FALSE(knob->IsRedrawRequested());
    knob->SetValueFromPlug(0.3);
    EXPECT_FALSE(knob->IsRedrawRequested()); // the first value only records the default
    EXPECT_EQ(knob->GetDefaultValue(), 0.3);
    knob->SetValueFromPlug(0.4);
    EXPECT_TRUE(knob->IsRedrawRequested());
    EXPECT_TRUE(plug.calls.empty()); // no echo to the plug-in

    plug.AttachGraphics(graphics);
    knob->SetValueFromUserInput(0.5);
    EXPECT_EQ(plug.calls.back(), "change 5");
    EXPECT_STREQ(text->GetTextString(), "100.50 ");

    knob->Clamp(0.2, 0.6);
    knob->SetValueFromUserInput(0.9);
    EXPECT_EQ(knob->GetValue(), 0.6);
    knob->GrayOut(true);
    EXPECT_EQ(knob->GetBlend().mWeight, 0.25f);
}
