// The plug-in's descriptor: LV2's C calls forwarded to BleepforgeLV2.
#include "LV2Plugin.h"

#include <cstring>

namespace
{

BleepforgeLV2* self(LV2_Handle instance)
{
    return static_cast<BleepforgeLV2*>(instance);
}

// The bundle's path serves only the editor, whose images lie there.
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    return BleepforgeLV2::Create(rate, features);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    self(instance)->ConnectPort(port, data);
}

void activate(LV2_Handle instance)
{
    self(instance)->Activate();
}

void run(LV2_Handle instance, uint32_t frames)
{
    self(instance)->Run(frames);
}

void cleanup(LV2_Handle instance)
{
    delete self(instance);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t, const LV2_Feature* const*)
{
    return self(instance)->Save(store, handle);
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle handle, uint32_t, const LV2_Feature* const*)
{
    return self(instance)->Restore(retrieve, handle);
}

void seed(void* instance, uint32_t value)
{
    self(instance)->Seed(value);
}

uint64_t idleFrames(void* instance)
{
    return self(instance)->IdleFrames();
}

const void* extensionData(const char* uri)
{
    static const LV2_State_Interface state = {save, restore};
    static const BleepforgeLV2Offline offline = {seed, idleFrames};
    if (std::strcmp(uri, LV2_STATE__interface) == 0)
        return &state;
    if (std::strcmp(uri, BLEEPFORGE_LV2_OFFLINE_URI) == 0)
        return &offline;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {BLEEPFORGE_LV2_URI, instantiate, connectPort, activate, run,
                                    nullptr,            cleanup,     extensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
