// What the plug-in bundle exports: the component entry, the Carbon view entry
// and the view factory, and the factory that builds one instance.
#include "Bleepforge.h"
#include "IGraphics.h"
#include "IGraphicsLinuxGtk.h"
#include "KIT_Mutex.h"
#include "Layout.h"

#define BLEEPFORGE_EXPORT extern "C" __attribute__((visibility("default")))

// Instances may be opened on several threads at once: one at a time. None
// opens while an editor image is missing or damaged: the host is refused
// instead of being stopped by the editor's assertion.
IPluginAU* MakePlug()
{
    static KIT_Mutex mutex;
    KIT_MutexLock lock(mutex);
    if (!LoadEditorImages().empty())
        return nullptr;
    UseGtkWindows(); // hosts ask this bundle for its editor
    IPluginInstanceInfo info;
    info.mBundleID.Set(kBleepforgeBundleID);
    info.mCocoaViewClassName.Set("Bleepforge_View");
    auto* plug = new Bleepforge(info);
    AttachEditor(*plug);
    return plug;
}

BLEEPFORGE_EXPORT OSStatus Bleepforge_Entry(ComponentParameters* params, void* storage)
{
    return IPluginAU::IPluginAUEntry(params, storage);
}

BLEEPFORGE_EXPORT OSStatus Bleepforge_ViewEntry(ComponentParameters* params, void* storage)
{
    return IPluginAU::IPluginAUCarbonViewEntry(params, storage);
}

// The view factory: the three operations a host asks of it.
BLEEPFORGE_EXPORT unsigned Bleepforge_View_InterfaceVersion()
{
    return 0;
}

BLEEPFORGE_EXPORT void* Bleepforge_View_UIViewForAudioUnit(AudioUnit unit, float, float)
{
    auto* plug = static_cast<IPluginAU*>(GetComponentInstanceStorage(unit));
    IGraphics* editor = plug ? dynamic_cast<IGraphics*>(plug->GetGUI()) : nullptr;
    if (!editor)
        return nullptr;
    void* view = editor->OpenWindow(nullptr);
    plug->OnGUIOpen();
    return view;
}

BLEEPFORGE_EXPORT const char* Bleepforge_View_Description()
{
    return "Bleepforge View";
}
