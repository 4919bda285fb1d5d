// The instrument's own controls on test strips whose frames are solid colours,
// so every pixel tells which frame was drawn.
#include "EditorTestSupport.h"
#include "qxControls.h"
#include "qxFontLists.h"

#include <gtest/gtest.h>

namespace
{

class InstrumentControlsTest : public EditorFixture<300, 200>
{
protected:
    PIX_Pixel at(int x, int y) { return PixelAt(*graphics, x, y); }
};

} // namespace

TEST_F(InstrumentControlsTest, BitmapFontTextAdvancesByTheListAndCentres)
{
    resources.WriteStrip("font.png", 9, 12, 224);
    IBitmap font = graphics->LoadIBitmap(5101, "font.png", 224);
    graphics->AttachPanelBackground(&COLOR_BLACK);
    auto* label = new ITextControlBitmapFont(&plug, IRECT(100, 20, 160, 50), nullptr, &font,
                                             advList_Eyetype_3_14, "0I");
    graphics->AttachControl(label);
    plug.AttachGraphics(graphics);
    drawAll();
    // "0" is 8 wide and "I" 8: 16 in all, centred on 130, at the top of the text area.
    const int zero = '0' - 32, eye = 'I' - 32;
    EXPECT_EQ(at(122, 30), TestResources::FrameColor(zero));
    EXPECT_EQ(at(129, 41), TestResources::FrameColor(zero));
    EXPECT_EQ(at(130, 30), TestResources::FrameColor(eye)); // the later glyph overlaps
    EXPECT_EQ(at(138, 30), TestResources::FrameColor(eye));
    EXPECT_EQ(at(121, 30), PixColor(&COLOR_BLACK));
    EXPECT_EQ(at(130, 29), PixColor(&COLOR_BLACK)); // above the 20-pixel text area

    label->SetTextFromPlug("0I");
    EXPECT_FALSE(label->IsDirty()); // the same text changes nothing
    label->SetTextFromPlug("7");
    EXPECT_TRUE(label->IsDirty());
}

TEST_F(InstrumentControlsTest, KnobsAndMetersDrawTheFrameOfTheirValue)
{
    resources.WriteStrip("knob.png", 20, 20, 33);
    resources.WriteStrip("meter.png", 10, 30, 19);
    resources.WriteStrip("font.png", 9, 12, 224);
    IBitmap knob = graphics->LoadIBitmap(5201, "knob.png", 33);
    IBitmap meter = graphics->LoadIBitmap(5202, "meter.png", 19);
    IBitmap font = graphics->LoadIBitmap(5203, "font.png", 224);
    graphics->AttachPanelBackground(&COLOR_BLACK);
    auto* control = new IKnobMultiControlBitmapFont(&plug, IRECT(0, 0, 72, 68), 5, &knob, nullptr,
                                                    &font, advList_Eyetype_3_14, 16);
    graphics->AttachControl(control);
    const int meterIdx = graphics->AttachControl(new IPeakMeterBitmapBitmapFont(
        &plug, IRECT(100, 0, 128, 60), &meter, nullptr, &font, advList_Eyetype_3_12, 16,
        IPeakMeterBitmapBitmapFont::kAlignRight, 2));
    plug.AttachGraphics(graphics);
    EXPECT_EQ(control->GetKnobRECT(), IRECT(26, 0, 46, 20));
    for (double value : {0.0, 0.5, 1.0})
    {
        control->SetValueFromUserInput(value);
        graphics->SetControlFromPlug(meterIdx, value);
        drawAll();
        EXPECT_EQ(at(36, 10), TestResources::FrameColor(static_cast<int>(32 * value))) << value;
        EXPECT_EQ(at(114, 10), TestResources::FrameColor(static_cast<int>(18 * value))) << value;
    }
    drawAll(); // the knob's second paint
    IRECT r;
    EXPECT_TRUE(graphics->IsDirty(&r)); // meters repaint on every tick
    EXPECT_EQ(r, IRECT(100, 0, 128, 60));

    char text[20];
    IPeakMeterBitmapBitmapFont::FormatLevel(0.000499, text, sizeof text);
    EXPECT_STREQ(text, "-A");
    // The engine's decibel conversion (ln x times 8.65617...) reads 0.0005 as -65.8.
    IPeakMeterBitmapBitmapFont::FormatLevel(0.0005, text, sizeof text);
    EXPECT_STREQ(text, "-65.8");
    // Just under full scale rounds to zero, shown without a sign; just over keeps its own.
    for (double level : {0.999, 1.0, 1.001})
    {
        IPeakMeterBitmapBitmapFont::FormatLevel(level, text, sizeof text);
        EXPECT_STREQ(text, "0.0") << level;
    }
    IPeakMeterBitmapBitmapFont::FormatLevel(0.99, text, sizeof text);
    EXPECT_STREQ(text, "-0.1");
    // Right-aligned, the text ends two pixels before the meter's right edge.
    graphics->SetControlFromPlug(meterIdx, 0.0005);
    drawAll();
    const int width = 6 + 6 + 6 + 4 + 6; // '-', '6', '5', '.', '8' in the 12-pixel list
    EXPECT_EQ(at(128 - 2 - width, 50), TestResources::FrameColor('-' - 32));
    EXPECT_EQ(at(128 - 2 - width - 1, 50), PixColor(&COLOR_BLACK));
}

TEST_F(InstrumentControlsTest, ButtonsShowTheirStateAndFireOnReleaseAnywhere)
{
    resources.WriteStrip("buttons.png", 30, 10, 30);
    IBitmap strip = graphics->LoadIBitmap(5301, "buttons.png", 30);
    graphics->AttachPanelBackground(&COLOR_BLACK);
    auto* button = new IButtonControl(&plug, IRECT(10, 10, 40, 20), &strip, 3);
    graphics->AttachControl(button);
    graphics->HandleMouseOver(true);
    plug.AttachGraphics(graphics);
    int clicks = 0;
    struct Counter
    {
        int* count;
        void onClick() { ++*count; }
    } counter{&clicks};
    button->mClicked.Connect(&counter, &Counter::onClick);

    IMouseMod left(true);
    std::vector<PIX_Pixel> shown;
    auto look = [&]
    {
        drawAll();
        shown.push_back(at(20, 15));
    };
    look();
    graphics->OnMouseOver(20, 15, &left);
    look();
    graphics->OnMouseDown(20, 15, &left);
    look();
    EXPECT_EQ(clicks, 0);
    graphics->OnMouseUp(200, 150, &left); // released outside
    EXPECT_EQ(clicks, 1);
    look();
    EXPECT_EQ(shown, (std::vector<PIX_Pixel>{TestResources::FrameColor(3), TestResources::FrameColor(4),
                                             TestResources::FrameColor(5), TestResources::FrameColor(5)}));
}
