#pragma once

#include "IGraphics.h"

#include <memory>
#include <string>

class IGraphicsLinux;

// The window side of the Linux context. It lives in a library of its own,
// linked only by what opens windows, so that a program that never shows the
// editor carries no toolkit. GUI thread only.
class LinuxWindow
{
public:
    virtual ~LinuxWindow() = default;
    // What OpenWindow hands the host: the view inside the parent.
    virtual void* View() = 0;
    // The outermost widget: a window of its own when no parent was given.
    virtual void* Window() = 0;
    virtual void ShowTooltips(bool enabled) = 0;
    // Modal; the chosen (sub)menu, or null.
    virtual IPopupMenu* PopupMenu(IPopupMenu* menu, const IRECT& textRect) = 0;
    virtual void OpenTextEntry(IControl* control, const IText& text, const IRECT& textRect,
                               const char* initial, IParam* param) = 0;
    // Ends an open value field as confirmed.
    virtual void EndTextEntry() = 0;
    // For views that have no event loop of their own: handles what the window
    // received and redraws what changed. The host's idle call.
    virtual void Idle() {}
};

// Opens the editor's window inside parent (or on its own); null when no
// display can be opened.
using LinuxWindowFactory = std::unique_ptr<LinuxWindow> (*)(IGraphicsLinux& graphics, void* parent);

// The Linux graphics context. Images come from the resources folder of the
// plug-in bundle named by SetBundleID, found as the compat layer finds bundles.
// OpenWindow shows the editor through the window factory a windowing library
// has registered (the GTK 3 one: a drawing area with a redraw timer at 1/fps,
// mouse, keys, value fields, pop-up menus and tooltips). Without a window, or
// without a factory, it draws off-screen only: DrawScreen copies nothing,
// menus and fields are dismissed.
class IGraphicsLinux : public IGraphics
{
public:
    IGraphicsLinux(IPluginBase* plug, int width, int height, int fps = 0);
    ~IGraphicsLinux() override;

    void SetBundleID(const char* bundleID) { mBundleID = bundleID ? bundleID : ""; }
    const std::string& GetBundleID() const { return mBundleID; }

    bool DrawScreen(IRECT* r) override;
    void ForceEndUserEdit() override;
    bool WindowIsOpen() override { return mWindow != nullptr; }
    const char* GetGUIAPI() override { return "GTK3"; }
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* textRect) override;
    void CreateTextEntry(IControl* control, IText* text, IRECT* textRect, const char* initial,
                         IParam* param) override;
    void HostPath(KIT_String* path) override;
    void PluginPath(KIT_String* path) override;
    void DesktopPath(KIT_String* path) override;
    void AppSupportPath(KIT_String* path, bool isSystem = false) override;
    void SandboxSafeAppSupportPath(KIT_String* path) override { AppSupportPath(path); }
    void PromptForFile(KIT_String* fileName, EFileAction action, KIT_String* dir,
                       const char* extensions) override;
    bool PromptForColor(IColor*, const char*) override { return false; }
    bool OpenURL(const char* url, const char* msgWindowTitle = nullptr,
                 const char* confirmMsg = nullptr, const char* errMsg = nullptr) override;
    void* OpenWindow(void* parent) override;
    void* OpenWindow(void* window, void* parent, short, short) override { return OpenWindow(parent ? parent : window); }
    void CloseWindow() override;
    void* GetWindow() override;
    // The window's share of the host's idle call.
    void IdleWindow()
    {
        if (mWindow)
            mWindow->Idle();
    }
    bool GetTextFromClipboard(KIT_String* text) override;
    void UpdateTooltips() override;
    PIX_IBitmap* OSLoadBitmap(int id, const char* name) override;
    std::string DescribeMissingImage(const char* name) override;

    // Set once, before any window opens, by the library that makes windows.
    static void SetWindowFactory(LinuxWindowFactory factory);

private:
    std::string mBundleID;
    std::unique_ptr<LinuxWindow> mWindow; // GUI thread only; null while closed
};

// The base name of a "png" image path ("resources/img/KnobNes.png" gives
// "KnobNes"); empty when the extension is not png (any case).
std::string PngBaseName(const char* name);
