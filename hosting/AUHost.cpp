#include "AUHost.h"

#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"
#include "PlistRead.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <stdexcept>
#include <sys/stat.h>

namespace
{

const size_t kMaxPlistBytes = 1 << 20;

std::string readSmallFile(const std::string& path, const char* what)
{
    std::string bytes, error;
    if (!KIT_ReadFile(path, kMaxPlistBytes, &bytes, &error))
        throw std::runtime_error("cannot read " + std::string(what) + ": " + error);
    return bytes;
}

std::string stringOf(plist_t dict, const char* key)
{
    std::string text;
    PlistDictString(dict, key, &text);
    return text;
}

UInt32 codeOf(const std::string& text)
{
    if (text.size() != 4)
        throw std::runtime_error("'" + text + "' is not a four-character code");
    return static_cast<UInt32>(static_cast<unsigned char>(text[0])) << 24 |
           static_cast<UInt32>(static_cast<unsigned char>(text[1])) << 16 |
           static_cast<UInt32>(static_cast<unsigned char>(text[2])) << 8 |
           static_cast<unsigned char>(text[3]);
}

CFStringRef newString(const std::string& text)
{
    return CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8);
}

std::string textOf(CFStringRef text)
{
    if (!text)
        return "";
    std::vector<char> buffer(static_cast<size_t>(CFStringGetLength(text)) + 1);
    CFStringGetCString(text, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8);
    return buffer.data();
}

} // namespace

std::string FourCharCode(UInt32 code)
{
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i)
        text[static_cast<size_t>(i)] = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
    return text;
}

BundleDescription ParseBundleDescription(const std::string& xml, const std::string& where)
{
    PlistDocument info(xml);
    plist_t root = info.Dictionary();
    if (!root)
        throw std::runtime_error("'" + where + "' is not a property list");
    BundleDescription d;
    d.identifier = stringOf(root, "CFBundleIdentifier");
    d.executable = stringOf(root, "CFBundleExecutable");
    plist_t components = plist_dict_get_item(root, "AudioComponents");
    plist_t component = components && plist_get_node_type(components) == PLIST_ARRAY
                            ? plist_array_get_item(components, 0)
                            : nullptr;
    if (d.identifier.empty() || d.executable.empty() || !component ||
        plist_get_node_type(component) != PLIST_DICT)
        throw std::runtime_error("'" + where + "' describes no component");
    // The library is a file of the bundle's own, never a path out of it.
    if (d.executable.find('/') != std::string::npos || d.executable == "." || d.executable == "..")
        throw std::runtime_error("'" + where + "' names an executable outside the bundle");
    d.description.componentType = codeOf(stringOf(component, "type"));
    d.description.componentSubType = codeOf(stringOf(component, "subtype"));
    d.description.componentManufacturer = codeOf(stringOf(component, "manufacturer"));
    d.name = stringOf(component, "name");
    d.factory = stringOf(component, "factoryFunction");
    if (d.factory.empty())
        throw std::runtime_error("'" + where + "' names no factory function");
    if (plist_t version = plist_dict_get_item(component, "version"))
    {
        uint64_t value = 0;
        if (plist_get_node_type(version) == PLIST_UINT)
            plist_get_uint_val(version, &value);
        d.version = static_cast<UInt32>(value);
    }
    return d;
}

namespace
{

std::string canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : "";
}

// The shared object inside the bundle, checked to be a regular file there.
std::string bundleLibrary(const std::string& bundle, const std::string& executable)
{
    const std::string library = bundle + "/Contents/linux-x86_64/" + executable;
    const std::string folder = canonical(bundle), resolved = canonical(library);
    struct stat info;
    if (resolved.empty() || stat(resolved.c_str(), &info) != 0)
        throw std::runtime_error("the bundle has no library '" + library + "'");
    if (folder.empty() || resolved.compare(0, folder.size() + 1, folder + "/") != 0)
        throw std::runtime_error("the bundle's library '" + library + "' lies outside the bundle");
    if (!S_ISREG(info.st_mode))
        throw std::runtime_error("the bundle's library '" + library + "' is not a regular file");
    return resolved;
}

// The object a loaded handle or a symbol's address belongs to.
const void* objectOf(void* handle)
{
    link_map* map = nullptr;
    return dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 ? map : nullptr;
}

const void* objectHolding(const void* address)
{
    Dl_info info;
    link_map* map = nullptr;
    return dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) ? map : nullptr;
}

} // namespace

AUBundle::AUBundle(const std::string& path) : mPath(path)
{
    const std::string plistPath = path + "/Contents/Info.plist";
    const BundleDescription d =
        ParseBundleDescription(readSmallFile(plistPath, "bundle description"), plistPath);
    mIdentifier = d.identifier;
    mName = d.name;
    mDescription = d.description;
    mVersion = d.version;
    mLibrary = dlopen(bundleLibrary(path, d.executable).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mLibrary)
        throw std::runtime_error(std::string("cannot load the bundle: ") + dlerror());
    mEntry = reinterpret_cast<ComponentRoutine>(Symbol(d.factory.c_str()));
    if (!mEntry)
        throw std::runtime_error("the bundle has no entry '" + d.factory + "'");
}

// The bundle stays loaded: the toolkit libraries it brings in cannot be
// unloaded safely, as with any plug-in host. Only the bundle's own library
// answers: dlsym alone would also search the libraries it depends on.
void* AUBundle::Symbol(const char* name) const
{
    void* symbol = dlsym(mLibrary, name);
    return symbol && objectHolding(symbol) == objectOf(mLibrary) ? symbol : nullptr;
}

AUBundle::~AUBundle() = default;

AUInstance::AUInstance(const AUBundle& bundle, const char* hostName)
{
    mRecord.entry = bundle.Entry();
    mRecord.description = bundle.Description();
    if (Call(kComponentOpenSelect, {reinterpret_cast<long>(&mRecord)}) != noErr || !mRecord.storage)
        throw std::runtime_error("the component refused to open");
    mOpen = true;
    // Another entry of the bundle (a view's) opens too, but answers no unit's call.
    UInt32 size = 0;
    Boolean writable = false;
    if (GetPropertyInfo(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &size, &writable) !=
        noErr)
    {
        Call(kComponentCloseSelect, {reinterpret_cast<long>(&mRecord)});
        mOpen = false;
        throw std::runtime_error("the bundle's factory function opens no audio unit");
    }
    AUHostIdentifier host = {};
    host.hostName = newString(hostName);
    host.hostVersion.majorRev = 1;
    SetProperty(kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, &host, sizeof host);
    CFRelease(host.hostName);
    const HostCallbackInfo callbacks = {this, &AUInstance::BeatAndTempo, &AUInstance::MusicalTime,
                                        &AUInstance::Transport};
    SetProperty(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &callbacks,
                sizeof callbacks);
}

namespace
{
const double kHostTempo = 120.0;
}

OSStatus AUInstance::BeatAndTempo(void* self, Float64* beat, Float64* tempo)
{
    const auto* host = static_cast<AUInstance*>(self);
    if (beat)
        *beat = host->mSampleTime / host->mRate * kHostTempo / 60.0;
    if (tempo)
        *tempo = kHostTempo;
    return noErr;
}

OSStatus AUInstance::MusicalTime(void* self, UInt32* toNextBeat, Float32* numerator,
                                 UInt32* denominator, Float64* downBeat)
{
    const auto* host = static_cast<AUInstance*>(self);
    const double beat = host->mSampleTime / host->mRate * kHostTempo / 60.0;
    const double samplesPerBeat = host->mRate * 60.0 / kHostTempo;
    if (toNextBeat)
        *toNextBeat = static_cast<UInt32>((std::ceil(beat) - beat) * samplesPerBeat);
    if (numerator)
        *numerator = 4.0f;
    if (denominator)
        *denominator = 4;
    if (downBeat)
        *downBeat = std::floor(beat / 4.0) * 4.0;
    return noErr;
}

OSStatus AUInstance::Transport(void* self, Boolean* playing, Boolean* changed, Float64* sample,
                               Boolean* cycling, Float64* cycleStart, Float64* cycleEnd)
{
    const auto* host = static_cast<AUInstance*>(self);
    for (Boolean* flag : {changed, cycling})
        if (flag)
            *flag = false;
    if (playing)
        *playing = true;
    if (sample)
        *sample = host->mSampleTime;
    for (Float64* edge : {cycleStart, cycleEnd})
        if (edge)
            *edge = 0.0;
    return noErr;
}

OSStatus AUInstance::StartNote(UInt32 note, UInt32 velocity, UInt32 offset)
{
    MusicDeviceNoteParams params = {2, static_cast<Float32>(note), static_cast<Float32>(velocity)};
    NoteInstanceID id = 0;
    return Call(kMusicDeviceStartNoteSelect, {0, 0, reinterpret_cast<long>(&id),
                                              static_cast<long>(offset), reinterpret_cast<long>(&params)});
}

OSStatus AUInstance::StopNote(UInt32 note, UInt32 offset)
{
    return Call(kMusicDeviceStopNoteSelect, {0, static_cast<long>(note), static_cast<long>(offset)});
}

AUInstance::~AUInstance()
{
    if (mOpen)
        Call(kComponentCloseSelect, {reinterpret_cast<long>(&mRecord)});
}

OSStatus AUInstance::Call(SInt16 what, std::initializer_list<long> args)
{
    return CallComponent(&mRecord, what, args);
}

OSStatus AUInstance::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32* size, Boolean* writable)
{
    return Call(kAudioUnitGetPropertyInfoSelect,
                {static_cast<long>(id), static_cast<long>(scope), static_cast<long>(element),
                 reinterpret_cast<long>(size), reinterpret_cast<long>(writable)});
}

OSStatus AUInstance::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* data, UInt32* size)
{
    return AudioUnitGetProperty(&mRecord, id, scope, element, data, size);
}

OSStatus AUInstance::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* data, UInt32 size)
{
    return Call(kAudioUnitSetPropertySelect,
                {static_cast<long>(id), static_cast<long>(scope), static_cast<long>(element),
                 reinterpret_cast<long>(data), static_cast<long>(size)});
}

OSStatus AUInstance::GetParameter(AudioUnitParameterID id, float* value)
{
    return AudioUnitGetParameter(&mRecord, id, kAudioUnitScope_Global, 0, value);
}

OSStatus AUInstance::SetParameter(AudioUnitParameterID id, float value, UInt32 offset)
{
    return AudioUnitSetParameter(&mRecord, id, kAudioUnitScope_Global, 0, value, offset);
}

OSStatus AUInstance::MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
    return Call(kMusicDeviceMIDIEventSelect, {static_cast<long>(status), static_cast<long>(data1),
                                              static_cast<long>(data2), static_cast<long>(offset)});
}

OSStatus AUInstance::Configure(double rate, UInt32 maxFrames, UInt32 channels)
{
    AudioStreamBasicDescription format = {};
    format.mSampleRate = rate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                          kAudioFormatFlagIsNonInterleaved;
    format.mBytesPerPacket = format.mBytesPerFrame = sizeof(float);
    format.mFramesPerPacket = 1;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 32;
    mRate = rate;
    OSStatus result = SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                  &format, sizeof format);
    if (result == noErr)
        result = SetProperty(kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate,
                             sizeof rate);
    if (result == noErr)
        result = SetProperty(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                             &maxFrames, sizeof maxFrames);
    return result;
}

namespace
{

// A buffer list over the caller's channels, with the time stamp of the block.
struct RenderCall
{
    RenderCall(const std::vector<float*>& channels, UInt32 frames, double sampleTime)
        : memory(sizeof(AudioBufferList) + sizeof(AudioBuffer) * channels.size())
    {
        list = reinterpret_cast<AudioBufferList*>(memory.data());
        list->mNumberBuffers = static_cast<UInt32>(channels.size());
        for (size_t c = 0; c < channels.size(); ++c)
            list->mBuffers[c] = {1, static_cast<UInt32>(frames * sizeof(float)), channels[c]};
        stamp.mSampleTime = sampleTime;
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
    }
    std::vector<char> memory;
    AudioBufferList* list;
    AudioTimeStamp stamp = {};
    AudioUnitRenderActionFlags flags = 0;
};

} // namespace

OSStatus AUInstance::RenderFast(std::vector<float*> channels, UInt32 frames, double sampleTime)
{
    AudioUnitRenderProc render = nullptr;
    UInt32 size = sizeof render;
    if (GetProperty(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global, kAudioUnitRenderSelect,
                    &render, &size) != noErr || !render)
        return kAudioUnitErr_InvalidProperty;
    mSampleTime = sampleTime;
    RenderCall call(channels, frames, sampleTime);
    return render(mRecord.storage, &call.flags, &call.stamp, 0, frames, call.list);
}

OSStatus AUInstance::PrepareAudioThread()
{
    UInt32 size = sizeof mAudioThreadRender;
    OSStatus result = GetProperty(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                  kAudioUnitRenderSelect, &mAudioThreadRender, &size);
    size = sizeof mAudioThreadMIDI;
    if (result == noErr)
        result = GetProperty(kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                             kMusicDeviceMIDIEventSelect, &mAudioThreadMIDI, &size);
    if (result == noErr && mAudioThreadRender && mAudioThreadMIDI)
        return noErr;
    mAudioThreadRender = nullptr;
    mAudioThreadMIDI = nullptr;
    return result == noErr ? kAudioUnitErr_InvalidProperty : result;
}

OSStatus AUInstance::RenderStereo(float* left, float* right, UInt32 frames, double sampleTime)
{
    if (!mAudioThreadRender)
        return kAudioUnitErr_Uninitialized;
    alignas(AudioBufferList) char memory[sizeof(AudioBufferList) + sizeof(AudioBuffer)];
    auto* list = reinterpret_cast<AudioBufferList*>(memory);
    list->mNumberBuffers = 2;
    const UInt32 bytes = static_cast<UInt32>(frames * sizeof(float));
    list->mBuffers[0] = {1, bytes, left};
    list->mBuffers[1] = {1, bytes, right};
    AudioTimeStamp stamp = {};
    stamp.mSampleTime = sampleTime;
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    return mAudioThreadRender(mRecord.storage, &flags, &stamp, 0, frames, list);
}

OSStatus AUInstance::AudioThreadMIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset)
{
    if (!mAudioThreadMIDI)
        return kAudioUnitErr_Uninitialized;
    return mAudioThreadMIDI(mRecord.storage, status, data1, data2, offset);
}

OSStatus AUInstance::Render(std::vector<float*> channels, UInt32 frames, double sampleTime)
{
    mSampleTime = sampleTime;
    RenderCall call(channels, frames, sampleTime);
    return Call(kAudioUnitRenderSelect, {reinterpret_cast<long>(&call.flags), reinterpret_cast<long>(&call.stamp),
                                         0, static_cast<long>(frames), reinterpret_cast<long>(call.list)});
}

AUParameterListener::AUParameterListener(AUInstance& unit, Heard heard) : mHeard(std::move(heard))
{
    AUEventListenerCreate(&AUParameterListener::onEvent, this, nullptr, nullptr, 0.0f, 0.0f,
                          &mListener);
    for (AudioUnitEventType type :
         {kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_BeginParameterChangeGesture,
          kAudioUnitEvent_EndParameterChangeGesture})
    {
        AudioUnitEvent event = {};
        event.mEventType = type;
        event.mArgument.mParameter = {unit.Handle(), kAUParameterListener_AnyParameter,
                                      kAudioUnitScope_Global, 0};
        if (AUEventListenerAddEventType(mListener, nullptr, &event) != noErr)
        {
            AUListenerDispose(mListener);
            throw std::runtime_error("the instance takes no parameter listener");
        }
    }
}

AUParameterListener::~AUParameterListener()
{
    AUListenerDispose(mListener);
}

void AUParameterListener::onEvent(void* self, void*, const AudioUnitEvent* event, UInt64,
                                  AudioUnitParameterValue value)
{
    static_cast<AUParameterListener*>(self)->mHeard(*event, value);
}

std::vector<AUParameterDescription> AUInstance::Parameters()
{
    std::vector<AUParameterDescription> all;
    UInt32 size = 0;
    Boolean writable = false;
    GetPropertyInfo(kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size, &writable);
    std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
    GetProperty(kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids.data(), &size);
    for (AudioUnitParameterID id : ids)
    {
        AudioUnitParameterInfo info = {};
        UInt32 infoSize = sizeof info;
        if (GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info,
                        &infoSize) != noErr)
            continue;
        AUParameterDescription p{id, info.name, textOf(info.unitName), "", info.minValue,
                                 info.maxValue, info.defaultValue, info.unit, info.flags, {}};
        if (info.cfNameString)
            CFRelease(info.cfNameString);
        if (info.unitName)
            CFRelease(info.unitName);
        CFArrayRef strings = nullptr;
        UInt32 stringsSize = sizeof strings;
        if (GetProperty(kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, id,
                        &strings, &stringsSize) == noErr && strings)
        {
            for (CFIndex i = 0; i < CFArrayGetCount(strings); ++i)
                p.valueStrings.push_back(textOf(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, i))));
            CFRelease(strings);
        }
        if (info.flags & kAudioUnitParameterFlag_HasClump)
        {
            AudioUnitParameterClumpName clump = {info.clumpID, -1, nullptr};
            UInt32 clumpSize = sizeof clump;
            if (GetProperty(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, &clump,
                            &clumpSize) == noErr && clump.outName)
            {
                p.clump = textOf(clump.outName);
                CFRelease(clump.outName);
            }
        }
        all.push_back(p);
    }
    return all;
}

std::vector<std::string> AUInstance::FactoryPresets()
{
    std::vector<std::string> names;
    CFArrayRef presets = nullptr;
    UInt32 size = sizeof presets;
    if (GetProperty(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, &size) !=
            noErr ||
        !presets)
        return names;
    for (CFIndex i = 0; i < CFArrayGetCount(presets); ++i)
        names.push_back(textOf(static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i))->presetName));
    CFRelease(presets);
    return names;
}

OSStatus AUInstance::SaveState(CFDictionaryRef* state)
{
    UInt32 size = sizeof *state;
    return GetProperty(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, state, &size);
}

OSStatus AUInstance::RestoreState(CFDictionaryRef state)
{
    return SetProperty(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, sizeof state);
}

std::string AUPresetText(CFDictionaryRef state)
{
    struct NewDictionary
    {
        plist_t root = plist_new_dict();
        ~NewDictionary() { plist_free(root); }
    } out;
    for (const char* key : {"version", "type", "subtype", "manufacturer"})
    {
        CFStringRef name = newString(key);
        const void* value = CFDictionaryGetValue(state, name);
        CFRelease(name);
        SInt32 number = 0;
        if (value && CFGetTypeID(value) == CFNumberGetTypeID() &&
            CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &number))
            plist_dict_set_item(out.root, key, plist_new_uint(static_cast<UInt32>(number)));
    }
    CFStringRef nameKey = newString("name"), dataKey = newString("data");
    const void* name = CFDictionaryGetValue(state, nameKey);
    const void* data = CFDictionaryGetValue(state, dataKey);
    CFRelease(nameKey);
    CFRelease(dataKey);
    if (name && CFGetTypeID(name) == CFStringGetTypeID())
        plist_dict_set_item(out.root, "name", plist_new_string(textOf(static_cast<CFStringRef>(name)).c_str()));
    if (data && CFGetTypeID(data) == CFDataGetTypeID())
        plist_dict_set_item(out.root, "data",
                            plist_new_data(reinterpret_cast<const char*>(CFDataGetBytePtr(static_cast<CFDataRef>(data))),
                                           static_cast<uint64_t>(CFDataGetLength(static_cast<CFDataRef>(data)))));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(out.root, &xml, &length);
    if (!xml)
        throw std::runtime_error("the state cannot be written as a property list");
    const std::string text(xml, length);
    std::free(xml);
    return text;
}

void SaveAUPreset(CFDictionaryRef state, const std::string& path)
{
    const std::string text = AUPresetText(state);
    std::string error;
    if (!KIT_WriteFileSafely(path, text.data(), text.size(), &error))
        throw std::runtime_error("cannot write preset: " + error);
}

CFDictionaryRef LoadAUPreset(const std::string& path)
{
    return ParseAUPreset(readSmallFile(path, "preset"), "'" + path + "'");
}

CFDictionaryRef ParseAUPreset(const std::string& xml, const std::string& what)
{
    PlistDocument in(xml);
    plist_t root = in.Dictionary();
    if (!root)
        throw std::runtime_error(what + " is not a preset (no property list dictionary)");
    std::string name;
    plist_t nameNode = plist_dict_get_item(root, "name");
    if (nameNode && plist_get_node_type(nameNode) == PLIST_STRING && !PlistString(nameNode, &name))
        throw std::runtime_error(what + " is not a preset (its name holds a NUL byte)");
    CFMutableDictionaryRef state = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    for (const char* key : {"version", "type", "subtype", "manufacturer"})
    {
        plist_t node = plist_dict_get_item(root, key);
        if (!node || plist_get_node_type(node) != PLIST_UINT)
            continue;
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        const SInt32 number = static_cast<SInt32>(value);
        CFStringRef cfKey = newString(key);
        CFNumberRef cfNumber = CFNumberCreate(nullptr, kCFNumberSInt32Type, &number);
        CFDictionarySetValue(state, cfKey, cfNumber);
        CFRelease(cfNumber);
        CFRelease(cfKey);
    }
    if (nameNode && plist_get_node_type(nameNode) == PLIST_STRING)
    {
        CFStringRef key = newString("name"), value = newString(name);
        CFDictionarySetValue(state, key, value);
        CFRelease(value);
        CFRelease(key);
    }
    plist_t data = plist_dict_get_item(root, "data");
    if (data && plist_get_node_type(data) == PLIST_DATA)
    {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(data, &length);
        CFStringRef key = newString("data");
        CFDataRef value = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes),
                                       static_cast<CFIndex>(length));
        CFDictionarySetValue(state, key, value);
        CFRelease(value);
        CFRelease(key);
    }
    return state;
}
