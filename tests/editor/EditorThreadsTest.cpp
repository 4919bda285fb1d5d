// Values pushed from audio and host threads while the GUI thread paints.
#include "EditorTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(EditorThreads, PlugInPushesRaceFreeWithRedrawCycles)
{
    TestPlug plug;
    auto* graphics = new TestGraphics(&plug, 100, 50);
    graphics->AttachPanelBackground(&COLOR_BLACK);
    const int meter = graphics->AttachControl(new IPanelControl(&plug, IRECT(0, 0, 10, 50),
                                                                &COLOR_GREEN));
    auto* knob = new IKnobLineControl(&plug, IRECT(20, 0, 60, 40), 5, &COLOR_WHITE);
    graphics->AttachControl(knob);
    plug.AttachGraphics(graphics);

    std::atomic<bool> done{false};
    std::thread pusher([&]
    {
        for (int i = 0; i < 20000; ++i)
        {
            graphics->SetControlFromPlug(meter, (i % 100) / 100.0);
            graphics->SetParameterFromPlug(5, 1.0 + i % 199, false);
        }
        done = true;
    });
    int paints = 0;
    do // at least one cycle, even when the pusher finishes first
    {
        IRECT area;
        if (graphics->IsDirty(&area))
        {
            graphics->Draw(&area);
            ++paints;
        }
    } while (!done);
    pusher.join();
    IRECT area;
    graphics->IsDirty(&area);
    graphics->Draw(&area);
    EXPECT_GT(paints, 0);
    EXPECT_DOUBLE_EQ(knob->GetValue(), plug.GetParam(5)->GetNormalized(1.0 + 19999 % 199));
}
