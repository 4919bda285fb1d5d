#include "AUCompat.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace
{

struct Listener
{
    AUEventListenerProc proc;
    void* refCon;
    bool operator==(const Listener& other) const
    {
        return proc == other.proc && refCon == other.refCon;
    }
};

std::mutex& listenerMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<Listener>& listeners()
{
    static std::vector<Listener> all;
    return all;
}

} // namespace

OSStatus AUCompatAddEventListener(AUEventListenerProc proc, void* refCon)
{
    std::lock_guard<std::mutex> lock(listenerMutex());
    listeners().push_back({proc, refCon});
    return noErr;
}

OSStatus AUCompatRemoveEventListener(AUEventListenerProc proc, void* refCon)
{
    std::lock_guard<std::mutex> lock(listenerMutex());
    auto& all = listeners();
    all.erase(std::remove(all.begin(), all.end(), Listener{proc, refCon}), all.end());
    return noErr;
}

OSStatus AUEventListenerNotify(AUEventListenerRef, void* inSendingObject,
                               const AudioUnitEvent* inEvent)
{
    std::vector<Listener> current;
    {
        std::lock_guard<std::mutex> lock(listenerMutex());
        current = listeners();
    }
    for (const Listener& listener : current)
        listener.proc(listener.refCon, inSendingObject, inEvent, 0, 0.0f);
    return noErr;
}

void SetComponentInstanceStorage(ComponentInstance instance, void* storage)
{
    if (instance)
        instance->storage = storage;
}

void* GetComponentInstanceStorage(ComponentInstance instance)
{
    return instance ? instance->storage : nullptr;
}

OSStatus GetComponentInfo(Component component, ComponentDescription* description, void*, void*,
                          void*)
{
    if (!component || !description)
        return kAudioUnitErr_InvalidParameter;
    *description = component->description;
    return noErr;
}

OSStatus CallComponent(ComponentInstance instance, SInt16 what, std::initializer_list<long> args)
{
    // The record's size byte holds at most 31 arguments. The slots live on the
    // stack: hosts call render and MIDI selectors on their audio thread.
    const size_t kMaxArgs = 255 / sizeof(long);
    if (!instance || !instance->entry || args.size() > kMaxArgs)
        return badComponentSelector;
    long slots[kMaxArgs + 2] = {};
    auto* params = reinterpret_cast<ComponentParameters*>(slots);
    params->what = what;
    params->paramSize = static_cast<UInt8>(args.size() * sizeof(long));
    size_t i = args.size();
    for (long arg : args)
        params->params[--i] = arg;
    return instance->entry(params, instance->storage);
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* data, UInt32* dataSize)
{
    return CallComponent(unit, kAudioUnitGetPropertySelect,
                         {static_cast<long>(id), static_cast<long>(scope), static_cast<long>(element),
                          reinterpret_cast<long>(data), reinterpret_cast<long>(dataSize)});
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* flags,
                         const AudioTimeStamp* timeStamp, UInt32 outputBus, UInt32 frames,
                         AudioBufferList* data)
{
    return CallComponent(unit, kAudioUnitRenderSelect,
                         {reinterpret_cast<long>(flags), reinterpret_cast<long>(timeStamp),
                          static_cast<long>(outputBus), static_cast<long>(frames),
                          reinterpret_cast<long>(data)});
}
