// The editor in a real GTK window on an X server of the test's own (Xvfb),
// driven with xdotool as a user's mouse and keyboard would.
#include "EditorTestSupport.h"
#include "IGraphicsLinuxGtk.h"
#include "VirtualDisplay.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <gtest/gtest.h>

namespace
{

class Probe : public IControl
{
public:
    Probe(IPluginBase* plug, IRECT rect, int paramIdx) : IControl(plug, rect, paramIdx) {}
    bool Draw(IGraphics* graphics) override { return graphics->FillIRect(&COLOR_GREEN, &mRECT); }
    void OnMouseDown(int x, int y, IMouseMod*) override { downs.push_back({x, y}); }
    bool OnKeyDown(int, int, int key) override
    {
        keys.push_back(key);
        return true;
    }
    std::vector<std::pair<int, int>> downs;
    std::vector<int> keys;
};

} // namespace

TEST(LinuxView, ClicksKeysAndValueFieldsReachTheEditor)
{
    VirtualDisplay display;
    if (!display.Running())
        GTEST_SKIP() << "Xvfb cannot start here";
    if (xdotool("version") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    TestPlug plug;
    auto* real = new IGraphicsLinux(&plug, 200, 100);
    // Without the windowing library a context stays off-screen.
    EXPECT_EQ(real->OpenWindow(nullptr), nullptr);
    UseGtkWindows();
    real->AttachPanelBackground(&COLOR_BLACK);
    auto* realProbe = new Probe(&plug, IRECT(20, 20, 80, 60), 0);
    real->AttachControl(realProbe);
    real->PrepDraw();
    ASSERT_NE(real->OpenWindow(nullptr), nullptr);
    pump(300);
    GtkWidget* window = static_cast<GtkWidget*>(real->GetWindow());
    const unsigned long xid = GDK_WINDOW_XID(gtk_widget_get_window(window));
    const std::string target = "--window " + std::to_string(xid);

    xdotool("mousemove " + target + " 32 43 click 1");
    pump(200);
    ASSERT_EQ(realProbe->downs.size(), 1u);
    EXPECT_EQ(realProbe->downs[0], std::make_pair(30, 40)); // the Mac view's -2 and -3
    xdotool("windowfocus --sync " + std::to_string(xid));
    xdotool("key a");
    xdotool("key A");
    pump(200);
    EXPECT_EQ(realProbe->keys, (std::vector<int>{15, 15}));

    // The window shows the draw bitmap: green where the probe is.
    GdkPixbuf* pixel = gdk_pixbuf_get_from_window(gtk_widget_get_window(window), 40, 40, 1, 1);
    ASSERT_NE(pixel, nullptr);
    const guchar* rgb = gdk_pixbuf_get_pixels(pixel);
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_EQ(rgb[2], 0);
    g_object_unref(pixel);

    // A value field for the integer parameter refuses the "."; Return ends it.
    IRECT at(20, 70, 80, 90);
    real->CreateTextEntry(realProbe, realProbe->GetText(), &at, "", plug.GetParam(0));
    pump(100);
    xdotool("type 3.9");
    xdotool("key Return");
    pump(200);
    EXPECT_EQ(plug.GetParam(0)->Value(), 10.0); // "39" held to 10; "3.9" would give 4

    // Escape closes the field and keeps the value; the next field starts afresh.
    real->CreateTextEntry(realProbe, realProbe->GetText(), &at, "", plug.GetParam(0));
    pump(100);
    xdotool("type 7");
    xdotool("key Escape");
    pump(200);
    EXPECT_EQ(plug.GetParam(0)->Value(), 10.0);
    real->CreateTextEntry(realProbe, realProbe->GetText(), &at, "", plug.GetParam(0));
    pump(100);
    xdotool("type 5");
    xdotool("key Return");
    pump(200);
    EXPECT_EQ(plug.GetParam(0)->Value(), 5.0);

    real->CloseWindow();
    EXPECT_FALSE(real->WindowIsOpen());
    delete real;
}
