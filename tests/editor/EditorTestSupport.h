#pragma once

#include "IControl.h"
#include "IGraphicsLinux.h"
#include "PIX.h"
#include "TestPlug.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

// A Linux context whose pop-up menus answer with a chosen index and whose text
// entries are recorded, standing in for a user at a window.
class TestGraphics : public IGraphicsLinux
{
public:
    using IGraphicsLinux::IGraphicsLinux;

    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) override
    {
        shownMenus.push_back(menu);
        menuRect = *rect;
        checkedWhenShown.clear();
        for (int i = 0; i < menu->GetNItems(); ++i)
            checkedWhenShown.push_back(menu->IsItemChecked(i));
        if (menuAnswer < 0)
            return nullptr;
        menu->SetChosenItemIdx(menuAnswer);
        return menu;
    }
    void CreateTextEntry(IControl* control, IText*, IRECT* rect, const char* initial,
                         IParam*) override
    {
        entryControl = control;
        entryRect = *rect;
        entryText = initial;
    }
    bool DrawScreen(IRECT* r) override
    {
        screenCopies.push_back(*r);
        return true;
    }

    std::vector<IPopupMenu*> shownMenus;
    std::vector<bool> checkedWhenShown;
    IRECT menuRect, entryRect;
    int menuAnswer = -1;
    IControl* entryControl = nullptr;
    std::string entryText;
    std::vector<IRECT> screenCopies;
};

// A folder of test images found through BLEEPFORGE_RESOURCES.
class TestResources
{
public:
    TestResources()
    {
        char pattern[] = "/tmp/bleepforge-res-XXXXXX";
        mDir = mkdtemp(pattern);
        setenv("BLEEPFORGE_RESOURCES", mDir.c_str(), 1);
    }
    ~TestResources()
    {
        unsetenv("BLEEPFORGE_RESOURCES");
        std::system(("rm -rf '" + mDir + "'").c_str());
    }
    // A strip of n frames, w x h each, stacked (or side by side); frame k is
    // filled with FrameColor(k).
    void WriteStrip(const std::string& name, int w, int h, int n, bool horizontal = false) const
    {
        PIX_MemBitmap image(horizontal ? w * n : w, horizontal ? h : h * n, 1);
        for (int k = 0; k < n; ++k)
            PIX_FillRect(&image, horizontal ? k * w : 0, horizontal ? 0 : k * h, w, h,
                         FrameColor(k), 1.0f, PIX_BLEND_COPY);
        PIX_WritePNG((mDir + "/" + name).c_str(), &image);
    }
    static PIX_Pixel FrameColor(int k) { return PIX_MakePixel(255, 10 + 20 * k, 200 - 5 * k, 7); }
    const std::string& dir() const { return mDir; }

private:
    std::string mDir;
};

inline PIX_Pixel PixelAt(IGraphics& graphics, int x, int y)
{
    PIX_IBitmap* bitmap = graphics.GetDrawBitmap();
    return bitmap->getBits()[y * bitmap->getRowSpan() + x];
}

// A test plug-in with a test context of W x H and a folder of test images; the
// context belongs to the plug-in once attached.
template <int W, int H> class EditorFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        graphics = new TestGraphics(&plug, W, H);
        graphics->SetBundleID("org.example.test");
    }
    void TearDown() override
    {
        if (plug.GetGUI() != graphics)
            delete graphics;
    }
    void drawAll()
    {
        IRECT all(0, 0, W, H);
        graphics->Draw(&all);
    }

    TestResources resources;
    TestPlug plug;
    TestGraphics* graphics = nullptr;
};
