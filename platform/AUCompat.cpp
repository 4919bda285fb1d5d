#include "AUCompat.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

struct OpaqueAUEventListener
{
    AUEventListenerProc proc;
    void* refCon;
};

namespace
{

// One event type of one instance a listener hears.
struct Registration
{
    AUEventListenerRef listener;
    AudioUnit unit;
    AudioUnitEventType type;
    UInt32 id; // a parameter, kAUParameterListener_AnyParameter, or a property

    bool Hears(const AudioUnitEvent& event) const;
};

// Both argument kinds begin with the instance and the parameter or property.
AudioUnit unitOf(const AudioUnitEvent& event)
{
    return event.mEventType == kAudioUnitEvent_PropertyChange ? event.mArgument.mProperty.mAudioUnit
                                                              : event.mArgument.mParameter.mAudioUnit;
}

UInt32 idOf(const AudioUnitEvent& event)
{
    return event.mEventType == kAudioUnitEvent_PropertyChange
               ? event.mArgument.mProperty.mPropertyID
               : event.mArgument.mParameter.mParameterID;
}

bool Registration::Hears(const AudioUnitEvent& event) const
{
    return unit == unitOf(event) && type == event.mEventType &&
           (id == idOf(event) ||
            (type != kAudioUnitEvent_PropertyChange && id == kAUParameterListener_AnyParameter));
}

// This binary's listeners. Procedures are called outside the lock: a listener
// may ask the instance for values, and the instance notifies holding its own.
std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<Registration>& registrations()
{
    static std::vector<Registration> all;
    return all;
}

void removeWhere(const std::function<bool(const Registration&)>& matches)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    auto& all = registrations();
    all.erase(std::remove_if(all.begin(), all.end(), matches), all.end());
}

bool validEvent(const AudioUnitEvent* event)
{
    return event && event->mEventType <= kAudioUnitEvent_PropertyChange && unitOf(*event);
}

void dispatchHere(AUEventListenerRef sender, void* sendingObject, const AudioUnitEvent* event)
{
    std::vector<OpaqueAUEventListener> heard;
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        for (const Registration& r : registrations())
        {
            if (r.listener != sender && r.Hears(*event))
                heard.push_back(*r.listener);
        }
    }
    if (heard.empty())
        return;
    AudioUnitParameterValue value = 0.0f;
    if (event->mEventType == kAudioUnitEvent_ParameterValueChange)
    {
        const AudioUnitParameter& p = event->mArgument.mParameter;
        AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value);
    }
    for (const OpaqueAUEventListener& listener : heard)
        listener.proc(listener.refCon, sendingObject, event, 0, value);
}

void forgetInstance(ComponentInstance instance)
{
    removeWhere([instance](const Registration& r) { return r.unit == instance; });
}

long floatSlot(float value)
{
    long slot = 0;
    std::memcpy(&slot, &value, sizeof value);
    return slot;
}

} // namespace

OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inCallbackRefCon, void*,
                               CFStringRef, Float32, Float32, AUEventListenerRef* outListener)
{
    if (!inProc || !outListener)
        return kAudioUnitErr_InvalidParameter;
    *outListener = new OpaqueAUEventListener{inProc, inCallbackRefCon};
    return noErr;
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void*,
                                     const AudioUnitEvent* inEvent)
{
    if (!inListener || !validEvent(inEvent))
        return kAudioUnitErr_InvalidParameter;
    const Registration added{inListener, unitOf(*inEvent), inEvent->mEventType, idOf(*inEvent)};
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        registrations().push_back(added);
    }
    added.unit->eventDispatch.store(&dispatchHere);
    return noErr;
}

OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void*,
                                        const AudioUnitEvent* inEvent)
{
    if (!inListener || !validEvent(inEvent))
        return kAudioUnitErr_InvalidParameter;
    const Registration removed{inListener, unitOf(*inEvent), inEvent->mEventType, idOf(*inEvent)};
    removeWhere(
        [&removed](const Registration& r)
        {
            return r.listener == removed.listener && r.unit == removed.unit &&
                   r.type == removed.type && r.id == removed.id;
        });
    return noErr;
}

OSStatus AUListenerDispose(AUEventListenerRef inListener)
{
    if (!inListener)
        return kAudioUnitErr_InvalidParameter;
    removeWhere([inListener](const Registration& r) { return r.listener == inListener; });
    delete inListener;
    return noErr;
}

OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent)
{
    if (!validEvent(inEvent))
        return kAudioUnitErr_InvalidParameter;
    if (const AUEventDispatchProc dispatch = unitOf(*inEvent)->eventDispatch.load())
        dispatch(inSendingListener, inSendingObject, inEvent);
    return noErr;
}

OSStatus AUParameterSet(AUEventListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames)
{
    if (!inParameter)
        return kAudioUnitErr_InvalidParameter;
    const OSStatus set =
        AudioUnitSetParameter(inParameter->mAudioUnit, inParameter->mParameterID,
                              inParameter->mScope, inParameter->mElement, inValue,
                              inBufferOffsetInFrames);
    if (set != noErr)
        return set;
    AudioUnitEvent event = {};
    event.mEventType = kAudioUnitEvent_ParameterValueChange;
    event.mArgument.mParameter = *inParameter;
    return AUEventListenerNotify(inSendingListener, inSendingObject, &event);
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
    const OSStatus result = instance->entry(params, instance->storage);
    if (what == kComponentCloseSelect)
        forgetInstance(instance);
    return result;
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* data, UInt32* dataSize)
{
    return CallComponent(unit, kAudioUnitGetPropertySelect,
                         {static_cast<long>(id), static_cast<long>(scope), static_cast<long>(element),
                          reinterpret_cast<long>(data), reinterpret_cast<long>(dataSize)});
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* value)
{
    return CallComponent(unit, kAudioUnitGetParameterSelect,
                         {static_cast<long>(id), static_cast<long>(scope), static_cast<long>(element),
                          reinterpret_cast<long>(value)});
}

OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 bufferOffsetInFrames)
{
    return CallComponent(unit, kAudioUnitSetParameterSelect,
                         {static_cast<long>(id), static_cast<long>(scope), static_cast<long>(element),
                          floatSlot(value), static_cast<long>(bufferOffsetInFrames)});
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
