// The Carbon view component of the adapter: opens the plug-in's editor in a
// host window through the graphics context the plug-in attached, if any.
#include "IPluginAU.h"

#include "IGraphicsContext.h"

namespace
{

// One opened view component.
struct CarbonViewRecord
{
    ComponentInstance view;
    IPluginAU* plug;
};

IGraphicsContext* editorOf(IPluginAU* plug)
{
    return plug ? plug->GetGUI() : nullptr;
}

} // namespace

OSStatus IPluginAU::IPluginAUCarbonViewEntry(ComponentParameters* params, void* storage)
{
    if (!params)
        return badComponentSelector;
    const int nArgs = params->paramSize / static_cast<int>(sizeof(long));
    auto arg = [&](int i) { return params->params[nArgs - 1 - i]; };
    auto* record = static_cast<CarbonViewRecord*>(storage);
    switch (params->what)
    {
    case kComponentOpenSelect:
    {
        if (nArgs < 1)
            return badComponentSelector;
        auto* view = reinterpret_cast<ComponentInstance>(arg(0));
        SetComponentInstanceStorage(view, new CarbonViewRecord{view, nullptr});
        return noErr;
    }
    case kComponentCloseSelect:
        if (IGraphicsContext* editor = record ? editorOf(record->plug) : nullptr)
            editor->CloseWindow();
        delete record;
        return noErr;
    case kAudioUnitCarbonViewCreateSelect:
    {
        // (audio unit, window, parent control, location, size, output control)
        if (!record || nArgs < 6)
            return badComponentSelector;
        record->plug = static_cast<IPluginAU*>(
            GetComponentInstanceStorage(reinterpret_cast<AudioUnit>(arg(0))));
        IGraphicsContext* editor = editorOf(record->plug);
        if (!editor)
            return badComponentSelector;
        void* control = editor->OpenWindow(reinterpret_cast<void*>(arg(1)),
                                           reinterpret_cast<void*>(arg(2)), 0, 0);
        if (auto** out = reinterpret_cast<void**>(arg(5)))
            *out = control;
        return noErr;
    }
    default:
        return badComponentSelector;
    }
}
