// The Audio Unit component entry: selectors, properties, parameters and the
// class-info state. Every size and pointer a host hands in is checked before
// it is read or written.
#include "IPluginAU.h"

#include "CFAUPreset.h"
#include "IGraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

// Null when the plug-in cannot be made.
IPluginAU* MakePlug();

namespace
{

const int kPresetNameSize = 64;

// The arguments of a call record, first to last; the Component Manager stores
// them last first. Null when the record is shorter than asked.
class CallArgs
{
public:
    explicit CallArgs(const ComponentParameters* params)
        : mParams(params), mCount(params ? params->paramSize / static_cast<int>(sizeof(long)) : 0)
    {
    }
    bool Has(int n) const { return mCount >= n; }
    long operator[](int i) const { return mParams->params[mCount - 1 - i]; }
    template <class T> T* Ptr(int i) const { return reinterpret_cast<T*>((*this)[i]); }
    UInt32 U32(int i) const { return static_cast<UInt32>((*this)[i]); }
    float Float(int i) const
    {
        const long slot = (*this)[i];
        float value;
        std::memcpy(&value, &slot, sizeof value);
        return value;
    }

private:
    const ComponentParameters* mParams;
    int mCount;
};

// The number of arguments each selector reads.
int ArgCount(SInt16 what)
{
    switch (what)
    {
    case kComponentVersionSelect:
    case kAudioUnitInitializeSelect:
    case kAudioUnitUninitializeSelect:
        return 0;
    case kComponentOpenSelect:
    case kComponentCloseSelect:
    case kComponentCanDoSelect:
    case kMusicDevicePrepareInstrumentSelect:
    case kMusicDeviceReleaseInstrumentSelect:
        return 1;
    case kAudioUnitResetSelect:
    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitAddRenderNotifySelect:
    case kAudioUnitRemoveRenderNotifySelect:
    case kAudioUnitScheduleParametersSelect:
    case kMusicDeviceSysExSelect:
        return 2;
    case kAudioUnitAddPropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
    case kMusicDeviceStopNoteSelect:
        return 3;
    case kAudioUnitGetParameterSelect:
    case kMusicDeviceMIDIEventSelect:
        return 4;
    default:
        return 5;
    }
}

template <class T> bool fits(UInt32 size)
{
    return size >= sizeof(T);
}

CFStringRef newString(const char* text)
{
    return CFStringCreateWithCString(nullptr, text ? text : "", kCFStringEncodingUTF8);
}

bool readInt(CFDictionaryRef dictionary, const char* key, SInt32* value)
{
    CFStringRef name = newString(key);
    const void* found = CFDictionaryGetValue(dictionary, name);
    CFRelease(name);
    return found && CFGetTypeID(found) == CFNumberGetTypeID() &&
           CFNumberGetValue(static_cast<CFNumberRef>(found), kCFNumberSInt32Type, value);
}

void putInt(CFMutableDictionaryRef dictionary, const char* key, SInt32 value)
{
    CFStringRef name = newString(key);
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(dictionary, name, number);
    CFRelease(number);
    CFRelease(name);
}

const void* valueOf(CFDictionaryRef dictionary, const char* key, CFTypeID type)
{
    CFStringRef name = newString(key);
    const void* found = CFDictionaryGetValue(dictionary, name);
    CFRelease(name);
    return found && CFGetTypeID(found) == type ? found : nullptr;
}

} // namespace

OSStatus IPluginAU::IPluginAUEntry(ComponentParameters* params, void* storage)
{
    if (!params)
        return badComponentSelector;
    const SInt16 what = params->what;
    const CallArgs args(params);
    if (what == kComponentOpenSelect)
    {
        auto* instance = args.Has(1) ? args.Ptr<ComponentInstanceRecord>(0) : nullptr;
        if (!instance)
            return kAudioUnitErr_InvalidParameter;
        IPluginAU* plug = MakePlug();
        if (!plug)
            return kAudioUnitErr_FailedInitialization;
        plug->HostSpecificInit();
        plug->PruneUninitializedPresets();
        plug->mComponentInstance = instance;
        SetComponentInstanceStorage(instance, plug);
        return noErr;
    }
    auto* plug = static_cast<IPluginAU*>(storage);
    if (!plug)
        return badComponentSelector;
    if (what == kComponentCloseSelect)
    {
        plug->ClearConnections();
        delete plug;
        return noErr;
    }
    const int n = ArgCount(what);
    if (!args.Has(n))
        return kAudioUnitErr_InvalidParameter; // a record shorter than the call
    long slots[5] = {};
    for (int i = 0; i < n; ++i)
        slots[i] = args[i];
    IMutexLock lock(plug);
    return plug->Dispatch(what, slots, n);
}

OSStatus IPluginAU::Dispatch(SInt16 what, const long* a, int)
{
    auto ptr = [a](int i) { return reinterpret_cast<void*>(a[i]); };
    auto u32 = [a](int i) { return static_cast<UInt32>(a[i]); };
    switch (what)
    {
    case kComponentCanDoSelect:
    {
        const SInt16 selector = static_cast<SInt16>(a[0]);
        return (selector >= 1 && selector <= 7) || selector == 9 || selector == 10 ||
               selector == 11 || (selector >= 14 && selector <= 17);
    }
    case kComponentVersionSelect:
        return GetEffectVersion(false);
    case kAudioUnitInitializeSelect:
        if (!CheckLegalIO())
            return badComponentSelector;
        mActive = true;
        OnParamReset();
        OnActivate(true);
        return noErr;
    case kAudioUnitUninitializeSelect:
        mActive = false;
        OnActivate(false);
        return noErr;
    case kAudioUnitGetPropertyInfoSelect:
    {
        UInt32 size = 0;
        Boolean writable = false;
        auto* sizeOut = static_cast<UInt32*>(ptr(3));
        auto* writableOut = static_cast<Boolean*>(ptr(4));
        return GetProperty(u32(0), u32(1), u32(2), sizeOut ? sizeOut : &size,
                           writableOut ? writableOut : &writable, nullptr);
    }
    case kAudioUnitGetPropertySelect:
    {
        UInt32 size = 0;
        Boolean writable = false;
        auto* sizeInOut = static_cast<UInt32*>(ptr(4));
        if (ptr(3) && !sizeInOut)
            return kAudioUnitErr_InvalidPropertyValue; // data of unknown size
        return GetPropertySized(u32(0), u32(1), u32(2), sizeInOut ? sizeInOut : &size, &writable,
                                ptr(3));
    }
    case kAudioUnitSetPropertySelect:
        return SetProperty(u32(0), u32(1), u32(2), u32(4), ptr(3));
    case kAudioUnitGetParameterSelect:
        return GetParamProc(this, u32(0), u32(1), u32(2), static_cast<float*>(ptr(3)));
    case kAudioUnitSetParameterSelect:
    {
        float value;
        std::memcpy(&value, &a[3], sizeof value);
        return SetParamProc(this, u32(0), u32(1), u32(2), value, u32(4));
    }
    case kAudioUnitResetSelect:
        Reset();
        return noErr;
    case kAudioUnitAddPropertyListenerSelect:
        if (!ptr(1))
            return kAudioUnitErr_InvalidParameter;
        AddPropertyListener(u32(0), reinterpret_cast<AudioUnitPropertyListenerProc>(a[1]), ptr(2));
        return noErr;
    case kAudioUnitRemovePropertyListenerSelect:
        RemovePropertyListeners(u32(0), reinterpret_cast<AudioUnitPropertyListenerProc>(a[1]), false,
                                nullptr);
        return noErr;
    case kAudioUnitRemovePropertyListenerWithUserDataSelect:
        RemovePropertyListeners(u32(0), reinterpret_cast<AudioUnitPropertyListenerProc>(a[1]), true,
                                ptr(2));
        return noErr;
    case kAudioUnitRenderSelect:
        return Render(static_cast<AudioUnitRenderActionFlags*>(ptr(0)),
                      static_cast<const AudioTimeStamp*>(ptr(1)), u32(2), u32(3),
                      static_cast<AudioBufferList*>(ptr(4)));
    case kAudioUnitAddRenderNotifySelect:
        if (!ptr(0))
            return kAudioUnitErr_InvalidParameter;
        mRenderNotify.push_back({reinterpret_cast<AURenderCallback>(a[0]), ptr(1)});
        return noErr;
    case kAudioUnitRemoveRenderNotifySelect:
    {
        const auto proc = reinterpret_cast<AURenderCallback>(a[0]);
        mRenderNotify.erase(std::remove_if(mRenderNotify.begin(), mRenderNotify.end(),
                                           [proc](const AURenderCallbackStruct& c)
                                           { return c.inputProc == proc; }),
                            mRenderNotify.end());
        return noErr;
    }
    case kAudioUnitScheduleParametersSelect:
    {
        const auto* events = static_cast<const AudioUnitParameterEvent*>(ptr(0));
        const UInt32 count = u32(1);
        for (UInt32 i = 0; events && i < count; ++i)
        {
            const AudioUnitParameterEvent& e = events[i];
            if (e.eventType != kParameterEvent_Immediate)
                continue;
            const OSStatus result = SetParamProc(this, e.parameter, e.scope, e.element,
                                                 e.eventValues.immediate.value,
                                                 e.eventValues.immediate.bufferOffset);
            if (result != noErr)
                return result;
        }
        return noErr;
    }
    case kMusicDeviceMIDIEventSelect:
    {
        IMidiMsg msg(static_cast<int>(a[3]), static_cast<uint8_t>(a[0]), static_cast<uint8_t>(a[1]),
                     static_cast<uint8_t>(a[2]));
        ProcessMidiMsg(&msg);
        return noErr;
    }
    case kMusicDeviceSysExSelect:
    {
        if (!ptr(0) && u32(1))
            return kAudioUnitErr_InvalidParameter;
        ISysEx sysex(0, static_cast<const uint8_t*>(ptr(0)), static_cast<int>(u32(1) & 0x7FFFFFFF));
        ProcessSysEx(&sysex);
        return noErr;
    }
    case kMusicDevicePrepareInstrumentSelect:
    case kMusicDeviceReleaseInstrumentSelect:
        return noErr;
    case kMusicDeviceStartNoteSelect:
    {
        auto* noteID = static_cast<NoteInstanceID*>(ptr(2));
        const auto* note = static_cast<const MusicDeviceNoteParams*>(ptr(4));
        if (!noteID || !note)
            return kAudioUnitErr_InvalidParameter;
        const int pitch = TruncateToInt(note->mPitch);
        *noteID = static_cast<NoteInstanceID>(pitch);
        IMidiMsg msg;
        msg.MakeNoteOnMsg(pitch, TruncateToInt(note->mVelocity), static_cast<int>(a[3]), 0);
        ProcessMidiMsg(&msg);
        return noErr;
    }
    case kMusicDeviceStopNoteSelect:
    {
        IMidiMsg msg;
        msg.MakeNoteOffMsg(static_cast<int>(u32(1)), static_cast<int>(a[2]), 0);
        ProcessMidiMsg(&msg);
        return noErr;
    }
    default:
        return badComponentSelector;
    }
}

OSStatus IPluginAU::GetProc(SInt16 selector, UInt32* dataSize, void* proc)
{
    void* found = nullptr;
    switch (selector)
    {
    case kAudioUnitRenderSelect:
        found = reinterpret_cast<void*>(&IPluginAU::RenderProc);
        break;
    case kAudioUnitSetParameterSelect:
        found = reinterpret_cast<void*>(&IPluginAU::SetParamProc);
        break;
    case kAudioUnitGetParameterSelect:
        found = reinterpret_cast<void*>(&IPluginAU::GetParamProc);
        break;
    case kMusicDeviceMIDIEventSelect:
        found = reinterpret_cast<void*>(&IPluginAU::MIDIEventProc);
        break;
    default:
        return kAudioUnitErr_InvalidElement;
    }
    if (dataSize)
        *dataSize = sizeof(void*);
    if (proc)
        std::memcpy(proc, &found, sizeof found);
    return noErr;
}

OSStatus IPluginAU::GetParamProc(void* storage, AudioUnitParameterID paramID,
                                 AudioUnitScope scope, AudioUnitElement,
                                 AudioUnitParameterValue* value)
{
    auto* plug = static_cast<IPluginAU*>(storage);
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidProperty;
    if (!plug || !value)
        return kAudioUnitErr_InvalidParameter;
    IMutexLock lock(plug);
    IParam* param = plug->GetParam(static_cast<int>(paramID));
    if (!param)
        return kAudioUnitErr_InvalidParameter;
    *value = static_cast<float>(param->Value());
    return noErr;
}

OSStatus IPluginAU::SetParamProc(void* storage, AudioUnitParameterID paramID,
                                 AudioUnitScope scope, AudioUnitElement,
                                 AudioUnitParameterValue value, UInt32)
{
    auto* plug = static_cast<IPluginAU*>(storage);
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidProperty;
    const IParam* param = plug ? plug->GetParam(static_cast<int>(paramID)) : nullptr;
    if (!param)
        return kAudioUnitErr_InvalidParameter;
    plug->SetParameterFromHost(static_cast<int>(paramID), param->AsShownByHost(value));
    return noErr;
}

void IPluginAU::RemovePropertyListeners(AudioUnitPropertyID propID,
                                        AudioUnitPropertyListenerProc proc, bool matchArgs,
                                        void* procArgs)
{
    for (int i = mPropertyListeners.GetSize() - 1; i >= 0; --i)
    {
        const PropertyListener* listener = mPropertyListeners.Get(i);
        if (listener->mPropID == propID && listener->mListenerProc == proc &&
            (!matchArgs || listener->mProcArgs == procArgs))
            mPropertyListeners.Delete(i);
    }
}

// A get with data checks the host's buffer against the property's size first.
OSStatus IPluginAU::GetPropertySized(AudioUnitPropertyID propID, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32* dataSize,
                                     Boolean* writable, void* data)
{
    if (!data)
        return GetProperty(propID, scope, element, dataSize, writable, nullptr);
    UInt32 needed = 0;
    const OSStatus info = GetProperty(propID, scope, element, &needed, writable, nullptr);
    if (info != noErr)
    {
        *dataSize = needed; // what a refused property holds: nothing
        return info;
    }
    if (*dataSize < needed)
        return kAudioUnitErr_InvalidPropertyValue;
    *dataSize = needed;
    return GetProperty(propID, scope, element, dataSize, writable, data);
}

int IPluginAU::ClumpOf(const char* group)
{
    for (size_t i = 0; i < mParamGroups.size(); ++i)
    {
        if (mParamGroups[i] == group)
            return static_cast<int>(i) + 1;
    }
    mParamGroups.push_back(group);
    return static_cast<int>(mParamGroups.size());
}

OSStatus IPluginAU::GetParameterInfo(AudioUnitElement element, AudioUnitParameterInfo* info)
{
    IParam* param = GetParam(static_cast<int>(element));
    if (!param)
        return kAudioUnitErr_InvalidElement;
    if (!info)
        return noErr;
    *info = AudioUnitParameterInfo();
    info->flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_HasCFNameString |
                  kAudioUnitParameterFlag_CFNameRelease;
    if (param->GetCanAutomate())
        info->flags |= kAudioUnitParameterFlag_IsWritable;
    if (param->GetIsMeta())
        info->flags |= kAudioUnitParameterFlag_IsElementMeta;
    CopyCut(info->name, param->GetNameForHost(), sizeof info->name);
    info->cfNameString = newString(param->GetNameForHost());
    switch (param->Type())
    {
    case IParam::kTypeInt:
    case IParam::kTypeEnum:
        info->unit = kAudioUnitParameterUnit_Indexed;
        break;
    case IParam::kTypeBool:
        info->unit = kAudioUnitParameterUnit_Boolean;
        break;
    default:
        if (param->GetLabelForHost()[0])
        {
            info->unit = kAudioUnitParameterUnit_CustomUnit;
            info->unitName = newString(param->GetLabelForHost());
        }
        break;
    }
    double lo = 0.0, hi = 0.0;
    param->GetBounds(&lo, &hi);
    info->minValue = static_cast<float>(lo);
    info->maxValue = static_cast<float>(hi);
    info->defaultValue = static_cast<float>(param->Value());
    const char* group = param->GetParamGroupForHost();
    if (group[0])
    {
        info->clumpID = static_cast<UInt32>(ClumpOf(group));
        info->flags |= kAudioUnitParameterFlag_HasClump;
    }
    return noErr;
}

OSStatus IPluginAU::GetParameterText(AudioUnitPropertyID propID, void* data)
{
    switch (propID)
    {
    case kAudioUnitProperty_ParameterStringFromValue:
    {
        auto* request = static_cast<AudioUnitParameterStringFromValue*>(data);
        IParam* param = GetParam(static_cast<int>(request->inParamID));
        if (!param)
            return kAudioUnitErr_InvalidElement;
        const double value = request->inValue ? *request->inValue : param->Value();
        param->GetDisplayForHost(value, false, mParamDisplayText, true, sizeof mParamDisplayText);
        request->outString = newString(mParamDisplayText);
        return noErr;
    }
    case kAudioUnitProperty_ParameterIDName:
    {
        auto* request = static_cast<AudioUnitParameterIDName*>(data);
        IParam* param = GetParam(static_cast<int>(request->inID));
        if (!param)
            return kAudioUnitErr_InvalidElement;
        char name[IParam::kTextSize];
        const int length = request->inDesiredLength == -1
                               ? IParam::kTextSize - 1
                               : std::max(0, std::min(31, static_cast<int>(request->inDesiredLength)));
        CopyCut(name, param->GetNameForHost(), length + 1);
        request->outName = newString(name);
        return noErr;
    }
    case kAudioUnitProperty_ParameterClumpName:
    {
        auto* request = static_cast<AudioUnitParameterClumpName*>(data);
        if (request->inID < 1 || request->inID > mParamGroups.size())
            return kAudioUnitErr_PropertyNotInUse;
        request->outName = newString(mParamGroups[request->inID - 1].c_str());
        return noErr;
    }
    default: // kAudioUnitProperty_ParameterValueFromString
    {
        auto* request = static_cast<AudioUnitParameterValueFromString*>(data);
        IParam* param = GetParam(static_cast<int>(request->inParamID));
        if (!param)
            return kAudioUnitErr_InvalidElement;
        char text[256] = "";
        if (!request->inString ||
            !CFStringGetCString(request->inString, text, sizeof text, kCFStringEncodingUTF8))
            return kAudioUnitErr_InvalidPropertyValue;
        if (param->GetNDisplayTexts())
        {
            int value = 0;
            if (param->MapDisplayText(text, &value))
                request->outValue = static_cast<float>(value);
            return noErr;
        }
        const double value = std::atof(text);
        request->outValue = static_cast<float>(param->DisplayIsNegated() ? -value : value);
        return noErr;
    }
    }
}

OSStatus IPluginAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                AudioUnitElement element, UInt32* dataSize, Boolean* writable,
                                void* data)
{
    *writable = false;
    const bool global = scope == kAudioUnitScope_Global;
    auto answer = [&](UInt32 size, bool canWrite) -> bool
    {
        *dataSize = size;
        *writable = canWrite;
        return data != nullptr;
    };
    switch (propID)
    {
    case kAudioUnitProperty_ClassInfo:
        if (answer(sizeof(CFDictionaryRef), true))
            return GetState(static_cast<CFDictionaryRef*>(data));
        return noErr;
    case kAudioUnitProperty_MakeConnection:
        if (scope != kAudioUnitScope_Input && !global)
            return kAudioUnitErr_InvalidProperty;
        answer(sizeof(AudioUnitConnection), true);
        return noErr;
    case kAudioUnitProperty_SampleRate:
        if (answer(sizeof(Float64), true))
            *static_cast<Float64*>(data) = GetSampleRate();
        return noErr;
    case kAudioUnitProperty_ParameterList:
    {
        const int n = global ? NParams() : 0;
        if (answer(static_cast<UInt32>(n * sizeof(AudioUnitParameterID)), false))
            for (int i = 0; i < n; ++i)
                static_cast<AudioUnitParameterID*>(data)[i] = static_cast<AudioUnitParameterID>(i);
        return noErr;
    }
    case kAudioUnitProperty_ParameterInfo:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (static_cast<int>(element) >= NParams())
            return kAudioUnitErr_InvalidElement;
        answer(sizeof(AudioUnitParameterInfo), false);
        return GetParameterInfo(element, static_cast<AudioUnitParameterInfo*>(data));
    case kAudioUnitProperty_FastDispatch:
    {
        answer(sizeof(void*), false);
        const OSStatus found = GetProc(static_cast<SInt16>(element), dataSize, data);
        const bool audioThreadProc =
            element == kAudioUnitRenderSelect || element == kMusicDeviceMIDIEventSelect;
        if (found == noErr && data && audioThreadProc)
            mAudioThreadTakesNoLock.store(true, std::memory_order_release);
        return found;
    }
    case kAudioUnitProperty_StreamFormat:
    {
        const BusChannels* bus = GetBus(scope, element);
        if (!bus)
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(AudioStreamBasicDescription), true))
        {
            const int channels = bus->mNHostChannels > 0 ? bus->mNHostChannels : bus->mNPlugChannels;
            AudioStreamBasicDescription format = {};
            format.mSampleRate = GetSampleRate();
            format.mFormatID = kAudioFormatLinearPCM;
            format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                                  kAudioFormatFlagIsNonInterleaved;
            format.mBytesPerPacket = format.mBytesPerFrame = sizeof(float);
            format.mFramesPerPacket = 1;
            format.mChannelsPerFrame = static_cast<UInt32>(channels);
            format.mBitsPerChannel = 32;
            *static_cast<AudioStreamBasicDescription*>(data) = format;
        }
        return noErr;
    }
    case kAudioUnitProperty_ElementCount:
        if (answer(sizeof(UInt32), false))
            *static_cast<UInt32*>(data) = static_cast<UInt32>(
                scope == kAudioUnitScope_Input ? NInBuses()
                : scope == kAudioUnitScope_Output ? NOutBuses()
                : global ? 1 : 0);
        return noErr;
    case kAudioUnitProperty_Latency:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(Float64), false))
            *static_cast<Float64*>(data) = GetLatency() / GetSampleRate();
        return noErr;
    case kAudioUnitProperty_SupportedNumChannels:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        const int n = NChannelIO();
        if (answer(static_cast<UInt32>(n * sizeof(AUChannelInfo)), false))
            for (int i = 0; i < n; ++i)
                static_cast<AUChannelInfo*>(data)[i] = {static_cast<SInt16>(GetChannelIO(i)->mIn),
                                                        static_cast<SInt16>(GetChannelIO(i)->mOut)};
        return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(UInt32), true))
            *static_cast<UInt32*>(data) = static_cast<UInt32>(GetBlockSize());
        return noErr;
    case kAudioUnitProperty_ParameterValueStrings:
    {
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        IParam* param = GetParam(static_cast<int>(element));
        if (!param)
            return kAudioUnitErr_InvalidElement;
        if (!param->GetNDisplayTexts())
        {
            *dataSize = 0;
            return kAudioUnitErr_InvalidProperty;
        }
        if (answer(sizeof(CFArrayRef), false))
        {
            CFMutableArrayRef texts = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
            for (int i = 0; i < param->GetNDisplayTexts(); ++i)
            {
                CFStringRef text = newString(param->GetDisplayTextAtIdx(i));
                CFArrayAppendValue(texts, text);
                CFRelease(text);
            }
            *static_cast<CFArrayRef*>(data) = texts;
        }
        return noErr;
    }
    case kAudioUnitProperty_GetUIComponentList:
        if (!GetGUI())
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(ComponentDescription), false))
            *static_cast<ComponentDescription*>(data) = {
                kAudioUnitCarbonViewComponentType, static_cast<UInt32>(GetUniqueID()),
                static_cast<UInt32>(GetMfrID()), 0, 0};
        return noErr;
    case kAudioUnitProperty_AudioChannelLayout:
        return kAudioUnitErr_InvalidPropertyValue;
    case kAudioUnitProperty_TailTime:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(Float64), GetTailSize() > 0))
            *static_cast<Float64*>(data) = GetTailSize() / GetSampleRate();
        return noErr;
    case kAudioUnitProperty_BypassEffect:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(UInt32), true))
            *static_cast<UInt32*>(data) = IsBypassed() ? 1 : 0;
        return noErr;
    case kAudioUnitProperty_LastRenderError:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(OSStatus), false))
            *static_cast<OSStatus*>(data) = noErr;
        return noErr;
    case kAudioUnitProperty_SetRenderCallback:
        if ((scope != kAudioUnitScope_Input && !global) || static_cast<int>(element) >= NInBuses())
            return kAudioUnitErr_InvalidProperty;
        answer(sizeof(AURenderCallbackStruct), true);
        return noErr;
    case kAudioUnitProperty_FactoryPresets:
        if (answer(sizeof(CFArrayRef), false))
        {
            CFMutableArrayRef presets = CFArrayCreateMutable(nullptr, NPresets(),
                                                             &kCFAUPresetArrayCallBacks);
            if (!presets)
                return coreFoundationUnknownErr;
            for (int i = 0; i < NPresets(); ++i)
            {
                CFStringRef name = newString(GetPresetName(i));
                const void* record = CFAUPresetCreate(nullptr, i, name);
                CFArrayAppendValue(presets, record);
                CFAUPresetRelease(record);
                CFRelease(name);
            }
            *static_cast<CFArrayRef*>(data) = presets;
        }
        return noErr;
    case kAudioUnitProperty_HostCallbacks:
        if (!global)
            return kAudioUnitErr_InvalidProperty;
        answer(sizeof(HostCallbackInfo), true);
        return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        if (answer(sizeof(AUPreset), true))
            *static_cast<AUPreset*>(data) = {GetCurrentPresetIdx(),
                                             newString(GetPresetName(GetCurrentPresetIdx()))};
        return noErr;
    case kAudioUnitProperty_ElementName:
    {
        if (!data)
            return kAudioUnitErr_InvalidProperty;
        const KIT_String* label = nullptr;
        if (scope == kAudioUnitScope_Output)
            label = GetOutputBusLabel(static_cast<int>(element));
        else if (scope == kAudioUnitScope_Input)
        {
            if (element > 1)
                return kAudioUnitErr_InvalidElement;
            label = GetInputBusLabel(static_cast<int>(element));
        }
        else
            return kAudioUnitErr_InvalidScope;
        if (!label)
            return kAudioUnitErr_InvalidElement;
        answer(sizeof(CFStringRef), false);
        *static_cast<CFStringRef*>(data) = newString(label->Get());
        return noErr;
    }
    case kAudioUnitProperty_CocoaUI:
    {
        if (!GetGUI())
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(AudioUnitCocoaViewInfo), false))
        {
            CFStringRef id = newString(mBundleID.Get());
            CFBundleRef bundle = CFBundleGetBundleWithIdentifier(id);
            CFRelease(id);
            auto* info = static_cast<AudioUnitCocoaViewInfo*>(data);
            info->mCocoaAUViewBundleLocation = CFBundleCopyBundleURL(bundle);
            info->mCocoaAUViewClass[0] = newString(mCocoaViewClassName.Get());
        }
        return noErr;
    }
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    {
        if (!IsInst() || NOutBuses() <= 1)
            return kAudioUnitErr_InvalidProperty;
        const int n = GetChannelLayoutTags(scope, element, nullptr);
        if (!n)
            return kAudioUnitErr_InvalidProperty;
        if (answer(static_cast<UInt32>(n * sizeof(UInt32)), true))
            GetChannelLayoutTags(scope, element, static_cast<UInt32*>(data));
        return noErr;
    }
    case kAudioUnitProperty_ParameterStringFromValue:
    case kAudioUnitProperty_ParameterIDName:
    case kAudioUnitProperty_ParameterClumpName:
    case kAudioUnitProperty_ParameterValueFromString:
        *dataSize = propID == kAudioUnitProperty_ParameterValueFromString
                        ? sizeof(AudioUnitParameterValueFromString)
                    : propID == kAudioUnitProperty_ParameterStringFromValue
                        ? sizeof(AudioUnitParameterStringFromValue)
                        : sizeof(AudioUnitParameterIDName);
        if (!global || !data)
            return noErr;
        return GetParameterText(propID, data);
    case kMusicDeviceProperty_InstrumentCount:
        if (!global || !IsInst())
            return kAudioUnitErr_InvalidProperty;
        if (answer(sizeof(UInt32), false))
            *static_cast<UInt32*>(data) = 1;
        return noErr;
    default:
        if (propID >= kFirstCustomProperty)
            return GetCustomProperty(propID, dataSize, data);
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus IPluginAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope,
                                AudioUnitElement element, UInt32 dataSize, const void* data)
{
    for (int i = 0; i < mPropertyListeners.GetSize(); ++i)
    {
        const PropertyListener* listener = mPropertyListeners.Get(i);
        if (listener->mPropID == propID)
            listener->mListenerProc(listener->mProcArgs, mComponentInstance, propID, scope, 0);
    }
    auto has = [&](size_t size) { return data && dataSize >= size; };
    switch (propID)
    {
    case kAudioUnitProperty_ClassInfo:
        if (!has(sizeof(CFDictionaryRef)))
            return kAudioUnitErr_InvalidPropertyValue;
        return SetState(*static_cast<const CFDictionaryRef*>(data));
    case kAudioUnitProperty_MakeConnection:
        if (!has(sizeof(AudioUnitConnection)))
            return kAudioUnitErr_InvalidPropertyValue;
        if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidProperty;
        return MakeConnection(static_cast<const AudioUnitConnection*>(data));
    case kAudioUnitProperty_SampleRate:
    {
        if (!has(sizeof(Float64)))
            return kAudioUnitErr_InvalidPropertyValue;
        const Float64 rate = *static_cast<const Float64*>(data);
        if (!(rate > 0.0) || !std::isfinite(rate))
            return kAudioUnitErr_InvalidPropertyValue;
        SetSampleRate(rate);
        Reset();
        return noErr;
    }
    case kAudioUnitProperty_StreamFormat:
        if (!has(sizeof(AudioStreamBasicDescription)))
            return kAudioUnitErr_InvalidPropertyValue;
        return SetStreamFormat(scope, element, static_cast<const AudioStreamBasicDescription*>(data));
    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
        if (!has(sizeof(UInt32)))
            return kAudioUnitErr_InvalidPropertyValue;
        const UInt32 frames = *static_cast<const UInt32*>(data);
        if (frames < 1 || frames > kMaxFramesPerSlice)
            return kAudioUnitErr_InvalidPropertyValue;
        SetBlockSize(static_cast<int>(frames));
        Reset();
        return noErr;
    }
    case kAudioUnitProperty_BypassEffect:
    {
        if (!has(sizeof(UInt32)))
            return kAudioUnitErr_InvalidPropertyValue;
        const bool bypassed = *static_cast<const UInt32*>(data) != 0;
        SetBypassed(bypassed);
        OnActivate(!bypassed);
        Reset();
        return noErr;
    }
    case kAudioUnitProperty_SetRenderCallback:
        if (!has(sizeof(AURenderCallbackStruct)))
            return kAudioUnitErr_InvalidPropertyValue;
        if (scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidProperty;
        return SetRenderCallback(element, static_cast<const AURenderCallbackStruct*>(data));
    case kAudioUnitProperty_HostCallbacks:
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidProperty;
        if (!data)
            return kAudioUnitErr_InvalidPropertyValue;
        // Older hosts pass fewer callbacks: what is missing stays null.
        mHostCallbacks = HostCallbackInfo();
        std::memcpy(&mHostCallbacks, data, std::min<size_t>(dataSize, sizeof mHostCallbacks));
        return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        if (!has(sizeof(AUPreset)))
            return kAudioUnitErr_InvalidPropertyValue;
        RestorePreset(static_cast<const AUPreset*>(data)->presetNumber);
        return noErr;
    case kAudioUnitProperty_OfflineRender:
        if (!has(sizeof(UInt32)))
            return kAudioUnitErr_InvalidPropertyValue;
        mIsOffline = *static_cast<const UInt32*>(data) != 0;
        return noErr;
    case kAudioUnitProperty_AUHostIdentifier:
    {
        if (!has(sizeof(AUHostIdentifier)))
            return kAudioUnitErr_InvalidPropertyValue;
        const auto* host = static_cast<const AUHostIdentifier*>(data);
        char name[128] = "";
        if (host->hostName)
            CFStringGetCString(host->hostName, name, sizeof name, kCFStringEncodingUTF8);
        const AUNumVersion& v = host->hostVersion;
        const int version = (v.majorRev << 16) | ((v.minorAndBugRev & 0xF0) << 4) |
                            (v.minorAndBugRev & 0x0F);
        SetHost(name, version);
        OnHostIdentified();
        return noErr;
    }
    default:
        if (propID >= kFirstCustomProperty)
            return SetCustomProperty(propID, dataSize, data);
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus IPluginAU::GetState(CFDictionaryRef* dictionary)
{
    ComponentDescription description = {};
    const OSStatus found = GetComponentInfo(mComponentInstance, &description, nullptr, nullptr,
                                            nullptr);
    if (found != noErr)
        return found;
    CFMutableDictionaryRef state = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    putInt(state, "version", GetEffectVersion(false));
    putInt(state, "type", static_cast<SInt32>(description.componentType));
    putInt(state, "subtype", static_cast<SInt32>(description.componentSubType));
    putInt(state, "manufacturer", static_cast<SInt32>(description.componentManufacturer));
    CFStringRef nameKey = newString("name"), name = newString(GetPresetName(GetCurrentPresetIdx()));
    CFDictionarySetValue(state, nameKey, name);
    CFRelease(name);
    CFRelease(nameKey);
    ByteChunk chunk;
    if (SerializeState(&chunk))
    {
        CFStringRef dataKey = newString("data");
        CFDataRef bytes = CFDataCreate(nullptr, chunk.GetBytes(), chunk.Size());
        CFDictionarySetValue(state, dataKey, bytes);
        CFRelease(bytes);
        CFRelease(dataKey);
    }
    *dictionary = state;
    return noErr;
}

// The whole dictionary is checked before anything is applied: a state that
// would be refused never restores a preset or changes a parameter.
OSStatus IPluginAU::SetState(CFDictionaryRef dictionary)
{
    if (!dictionary || CFGetTypeID(dictionary) != CFDictionaryGetTypeID())
        return kAudioUnitErr_InvalidPropertyValue;
    ComponentDescription description = {};
    SInt32 version = 0, type = 0, subtype = 0, manufacturer = 0;
    const auto* name = static_cast<CFStringRef>(valueOf(dictionary, "name", CFStringGetTypeID()));
    const auto* data = static_cast<CFDataRef>(valueOf(dictionary, "data", CFDataGetTypeID()));
    if (GetComponentInfo(mComponentInstance, &description, nullptr, nullptr, nullptr) != noErr ||
        !readInt(dictionary, "version", &version) || !readInt(dictionary, "type", &type) ||
        !readInt(dictionary, "subtype", &subtype) ||
        !readInt(dictionary, "manufacturer", &manufacturer) || !name ||
        static_cast<UInt32>(type) != description.componentType ||
        static_cast<UInt32>(subtype) != description.componentSubType ||
        static_cast<UInt32>(manufacturer) != description.componentManufacturer)
        return kAudioUnitErr_InvalidPropertyValue;
    ByteChunk chunk;
    if (data)
        chunk.PutBytes(CFDataGetBytePtr(data), static_cast<int>(CFDataGetLength(data)));
    ByteChunk probe;
    SerializeState(&probe);
    if (!data || chunk.Size() != probe.Size())
        return kAudioUnitErr_InvalidPropertyValue;
    char presetName[kPresetNameSize] = ""; // a longer name is cut
    std::vector<char> fullName(static_cast<size_t>(CFStringGetLength(name)) + 1);
    CFStringGetCString(name, fullName.data(), static_cast<CFIndex>(fullName.size()),
                       kCFStringEncodingUTF8);
    CopyCut(presetName, fullName.data(), kPresetNameSize);
    ByteChunk live;
    SerializeState(&live);
    RestorePreset(presetName);
    if (UnserializeState(&chunk, 0) <= 0)
    {
        UnserializeState(&live, 0);
        return kAudioUnitErr_InvalidPropertyValue;
    }
    RedrawParamControls();
    return noErr;
}
