// An editor composed as the instrument composes one: artwork background, a knob
// strip, a switch and a text, drawn headless and written out as PNG.
#include "EditorTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

TEST(EditorComposition, DrawsEveryLayerWhereItBelongs)
{
    TestResources resources;
    resources.WriteStrip("bg.png", 160, 120, 1);
    resources.WriteStrip("knob.png", 20, 20, 33);
    resources.WriteStrip("switch.png", 16, 10, 3);
    TestPlug plug;
    auto* graphics = new TestGraphics(&plug, 160, 120);
    graphics->SetBundleID("org.example.test");
    graphics->AttachBackground(3101, "img/bg.png");
    IBitmap knob = graphics->LoadIBitmap(3102, "img/knob.png", 33);
    IBitmap toggle = graphics->LoadIBitmap(3103, "img/switch.png", 3);
    graphics->AttachControl(new IKnobMultiControl(&plug, 10, 10, 5, &knob));
    graphics->AttachControl(new ISwitchControl(&plug, 50, 10, 1, &toggle));
    IText style(14, &COLOR_WHITE, "DejaVu Sans", IText::kStyleBold, IText::kAlignNear);
    graphics->AttachControl(new ITextControl(&plug, IRECT(10, 60, 150, 80), &style, "BLEEP"));
    plug.AttachGraphics(graphics); // parameter 5 at 15 of 1 ... 200, parameter 1 off

    IRECT dirty;
    ASSERT_TRUE(graphics->IsDirty(&dirty));
    ASSERT_TRUE(graphics->Draw(&dirty));
    char path[] = "/tmp/bleepforge-editor-XXXXXX";
    close(mkstemp(path));
    ASSERT_TRUE(PIX_WritePNG(path, graphics->GetDrawBitmap()));
    std::unique_ptr<PIX_IBitmap> png(PIX_LoadPNG(path, nullptr));
    std::remove(path);
    ASSERT_TRUE(png);
    auto at = [&](int x, int y) { return png->getBits()[y * png->getRowSpan() + x]; };

    const int knobFrame = static_cast<int>(std::floor(0.5 + plug.GetParam(5)->GetNormalized() * 32));
    EXPECT_EQ(at(20, 20), TestResources::FrameColor(knobFrame));
    EXPECT_EQ(at(55, 15), TestResources::FrameColor(0));
    EXPECT_EQ(at(100, 100), TestResources::FrameColor(0)); // background
    EXPECT_EQ(at(5, 5), TestResources::FrameColor(0));
    int white = 0;
    for (int y = 60; y < 80; ++y)
        for (int x = 10; x < 80; ++x)
            white += at(x, y) == PixColor(&COLOR_WHITE);
    EXPECT_GT(white, 30);
}
