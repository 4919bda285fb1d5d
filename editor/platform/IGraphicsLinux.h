#pragma once

#include "IGraphics.h"

#include <memory>
#include <string>

struct LinuxView;

// The Linux graphics context. Images come from the resources folder of the
// plug-in bundle named by SetBundleID, found as the compat layer finds bundles.
// OpenWindow shows the editor in a GTK 3 drawing area (inside the given parent
// container, or a window of its own) with a redraw timer at 1/fps, mouse, keys,
// value fields, pop-up menus and tooltips. Without a window it draws
// off-screen only: DrawScreen copies nothing, menus and fields are dismissed.
class IGraphicsLinux : public IGraphics
{
public:
    IGraphicsLinux(IPluginBase* plug, int width, int height, int fps = 0);
    ~IGraphicsLinux() override;

    void SetBundleID(const char* bundleID) { mBundleID = bundleID ? bundleID : ""; }
    const std::string& GetBundleID() const { return mBundleID; }

    bool DrawScreen(IRECT* r) override;
    void ForceEndUserEdit() override;
    bool WindowIsOpen() override { return mView != nullptr; }
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
    bool GetTextFromClipboard(KIT_String* text) override;
    void UpdateTooltips() override;
    PIX_IBitmap* OSLoadBitmap(int id, const char* name) override;
    std::string DescribeMissingImage(const char* name) override;

private:
    std::string mBundleID;
    std::unique_ptr<LinuxView> mView; // GUI thread only; null while closed
};

// The base name of a "png" image path ("resources/img/KnobNes.png" gives
// "KnobNes"); empty when the extension is not png (any case).
std::string PngBaseName(const char* name);
