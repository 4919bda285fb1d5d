#include "IGraphicsLinux.h"

#include "CFCompat.h"
#include "PIX.h"

#include <atomic>
#include <cstdlib>
#include <strings.h>

namespace
{

// Releases a Core Foundation object at the end of a scope.
struct CFOwner
{
    CFTypeRef object;
    ~CFOwner()
    {
        if (object)
            CFRelease(object);
    }
};

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home ? home : "";
}

// Set by the windowing library before the first window opens; read on the GUI thread.
std::atomic<LinuxWindowFactory> gWindowFactory{nullptr};

} // namespace

void IGraphicsLinux::SetWindowFactory(LinuxWindowFactory factory)
{
    gWindowFactory.store(factory);
}

IGraphicsLinux::IGraphicsLinux(IPluginBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps)
{
}

IGraphicsLinux::~IGraphicsLinux()
{
    CloseWindow();
}

void* IGraphicsLinux::OpenWindow(void* parent)
{
    CloseWindow();
    const LinuxWindowFactory factory = gWindowFactory.load();
    mWindow = factory ? factory(*this, parent) : nullptr;
    if (!mWindow)
        return nullptr; // no windowing library, or no display
    UpdateTooltips();
    SetAllControlsDirty();
    return mWindow->View();
}

void IGraphicsLinux::CloseWindow()
{
    if (!mWindow)
        return;
    ForceEndUserEdit();
    mWindow.reset();
}

void* IGraphicsLinux::GetWindow()
{
    return mWindow ? mWindow->Window() : nullptr;
}

bool IGraphicsLinux::DrawScreen(IRECT*)
{
    return true; // the window's draw handler copies the bitmap once Draw is done
}

void IGraphicsLinux::UpdateTooltips()
{
    if (mWindow)
        mWindow->ShowTooltips(TooltipsEnabled());
}

IPopupMenu* IGraphicsLinux::CreateIPopupMenu(IPopupMenu* menu, IRECT* textRect)
{
    ReleaseMouseCapture();
    if (!mWindow || !menu || !textRect)
        return nullptr;
    return mWindow->PopupMenu(menu, *textRect);
}

void IGraphicsLinux::CreateTextEntry(IControl* control, IText* text, IRECT* textRect,
                                     const char* initial, IParam* param)
{
    if (mWindow && control && text && textRect)
        mWindow->OpenTextEntry(control, *text, *textRect, initial, param);
}

void IGraphicsLinux::ForceEndUserEdit()
{
    if (mWindow)
        mWindow->EndTextEntry();
}

std::string PngBaseName(const char* name)
{
    if (!name)
        return "";
    const std::string path(name);
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || strcasecmp(path.c_str() + dot + 1, "png") != 0)
        return "";
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string::npos || slash > dot ? 0 : slash + 1;
    return path.substr(start, dot - start);
}

int IGraphicsLinux::ShowMessageBox(const char*, const char*, int)
{
    return 0;
}

void IGraphicsLinux::HostPath(KIT_String* path)
{
    path->Set("");
}

void IGraphicsLinux::PluginPath(KIT_String* path)
{
    CFStringRef identifier = CFStringCreateWithCString(nullptr, mBundleID.c_str(),
                                                       kCFStringEncodingUTF8);
    CFOwner ownIdentifier{identifier};
    CFURLRef url = CFBundleCopyResourcesDirectoryURL(CFBundleGetBundleWithIdentifier(identifier));
    CFOwner ownURL{url};
    UInt8 buffer[4096];
    path->Set(url && CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer)
                  ? reinterpret_cast<const char*>(buffer)
                  : "");
}

void IGraphicsLinux::DesktopPath(KIT_String* path)
{
    path->Set((homeFolder() + "/Desktop").c_str());
}

void IGraphicsLinux::AppSupportPath(KIT_String* path, bool isSystem)
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    path->Set(isSystem ? "/etc/xdg"
                       : (config && config[0] ? std::string(config) : homeFolder() + "/.config").c_str());
}

void IGraphicsLinux::PromptForFile(KIT_String* fileName, EFileAction, KIT_String*, const char*)
{
    fileName->Set(""); // no window: nothing chosen
}

bool IGraphicsLinux::OpenURL(const char*, const char*, const char*, const char*)
{
    return false;
}

bool IGraphicsLinux::GetTextFromClipboard(KIT_String* text)
{
    text->Set("");
    return false;
}

// As on macOS: only the base name of a .png counts, looked up in the bundle's
// resources; the folders in the name are documentation.
PIX_IBitmap* IGraphicsLinux::OSLoadBitmap(int, const char* name)
{
    const std::string base = PngBaseName(name);
    if (base.empty())
        return nullptr;
    CFStringRef identifier = CFStringCreateWithCString(nullptr, mBundleID.c_str(),
                                                       kCFStringEncodingUTF8);
    CFStringRef baseName = CFStringCreateWithCString(nullptr, base.c_str(), kCFStringEncodingUTF8);
    CFStringRef type = CFStringCreateWithCString(nullptr, "png", kCFStringEncodingUTF8);
    CFOwner ownIdentifier{identifier}, ownBase{baseName}, ownType{type};
    CFURLRef url = CFBundleCopyResourceURL(CFBundleGetBundleWithIdentifier(identifier), baseName,
                                           type, nullptr);
    CFOwner ownURL{url};
    UInt8 path[4096];
    if (!url || !CFURLGetFileSystemRepresentation(url, true, path, sizeof path))
        return nullptr;
    return PIX_OpenPNG(reinterpret_cast<const char*>(path));
}

std::string IGraphicsLinux::DescribeMissingImage(const char* name)
{
    const std::string base = PngBaseName(name);
    return std::string("cannot load image '") + (name ? name : "") + "'" +
           (base.empty() ? " (not a .png name)" : " as '" + base + ".png'") +
           " of bundle '" + mBundleID + "'; looked in: " + CFCompatDescribeBundleSearch();
}
