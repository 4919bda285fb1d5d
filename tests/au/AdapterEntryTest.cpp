// The adapter through its component entry, as a host calls it, with a small
// effect whose parameters, buses and inputs show each rule.
#include "CFAUPreset.h"
#include "IPluginAU.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{

class EntryPlug : public IPluginAU
{
public:
    EntryPlug()
        : IPluginAU(IPluginInstanceInfo(), 3, "2-2", 1, "Effect", "Product", "Maker", 0x10000,
                    0x54657374, 0x4D616B72, 0, true, true, false, 0)
    {
        GetParam(0)->InitDouble("Level", 0.5, 0.0, 1.0, 0.01, "dB");
        GetParam(1)->InitBool("Switch", false);
        GetParam(2)->InitEnum("Mode", 0, 3);
        MakeDefaultPreset("-", 1);
    }
    // Doubles every input sample, so what was pulled can be heard.
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
    {
        for (int c = 0; c < 2; ++c)
            for (int s = 0; s < nFrames; ++s)
                outputs[c][s] = 2.0 * inputs[c][s];
    }
};

// One instance opened through the entry, as a host holds it.
struct Unit
{
    Unit()
    {
        record.entry = &IPluginAU::IPluginAUEntry;
        record.description = {0x61756678, 0x54657374, 0x4D616B72, 0, 0}; // 'aufx' 'Test' 'Makr'
        EXPECT_EQ(CallComponent(&record, kComponentOpenSelect, {reinterpret_cast<long>(&record)}), noErr);
    }
    ~Unit() { CallComponent(&record, kComponentCloseSelect, {reinterpret_cast<long>(&record)}); }
    EntryPlug* plug() { return static_cast<EntryPlug*>(record.storage); }
    OSStatus get(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* data,
                 UInt32* size)
    {
        return AudioUnitGetProperty(&record, id, scope, element, data, size);
    }
    OSStatus set(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                 const void* data, UInt32 size)
    {
        return CallComponent(&record, kAudioUnitSetPropertySelect,
                             {static_cast<long>(id), static_cast<long>(scope),
                              static_cast<long>(element), reinterpret_cast<long>(data),
                              static_cast<long>(size)});
    }
    OSStatus render(UInt32 frames, double sampleTime, std::vector<std::vector<float>>& channels)
    {
        std::vector<char> memory(sizeof(AudioBufferList) + sizeof(AudioBuffer) * channels.size());
        auto* list = reinterpret_cast<AudioBufferList*>(memory.data());
        list->mNumberBuffers = static_cast<UInt32>(channels.size());
        for (size_t c = 0; c < channels.size(); ++c)
            list->mBuffers[c] = {1, static_cast<UInt32>(channels[c].size() * sizeof(float)),
                                 channels[c].data()};
        AudioTimeStamp stamp = {};
        stamp.mSampleTime = sampleTime;
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
        AudioUnitRenderActionFlags flags = 0;
        return AudioUnitRender(&record, &flags, &stamp, 0, frames, list);
    }
    ComponentInstanceRecord record;
};

int gPulls = 0, gNotifies = 0, gHeard = 0;
OSStatus pull(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
              AudioBufferList* list)
{
    ++gPulls;
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        for (UInt32 s = 0; s < frames; ++s)
            static_cast<float*>(list->mBuffers[c].mData)[s] = 0.25f;
    return noErr;
}
OSStatus notify(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                AudioBufferList*)
{
    ++gNotifies;
    return noErr;
}
void heard(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
    ++gHeard;
}

CFStringRef text(const char* s)
{
    return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8);
}

void put(CFMutableDictionaryRef d, const char* key, CFTypeRef value)
{
    CFStringRef k = text(key);
    CFDictionarySetValue(d, k, value);
    CFRelease(k);
    CFRelease(value);
}

} // namespace

IPluginAU* MakePlug()
{
    return new EntryPlug;
}

TEST(AdapterEntry, ParameterPropertiesAndHostSizes)
{
    Unit unit;
    AudioUnitParameterInfo info;
    UInt32 size = sizeof info;
    EXPECT_EQ(unit.get(kAudioUnitProperty_ParameterInfo, 0, 3, &info, &size), kAudioUnitErr_InvalidElement);
    size = sizeof info;
    ASSERT_EQ(unit.get(kAudioUnitProperty_ParameterInfo, 0, 1, &info, &size), noErr);
    EXPECT_EQ(info.unit, kAudioUnitParameterUnit_Boolean);
    EXPECT_EQ(info.flags & 0x48000010u, 0x48000010u);
    CFRelease(info.cfNameString);

    CFArrayRef strings = nullptr;
    size = sizeof strings;
    EXPECT_EQ(unit.get(kAudioUnitProperty_ParameterValueStrings, 0, 0, &strings, &size),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(size, 0u);

    UInt32 list[3] = {7, 7, 7};
    size = 8; // one short of three IDs
    EXPECT_EQ(unit.get(kAudioUnitProperty_ParameterList, 0, 0, list, &size),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(list[0], 7u);
    EXPECT_EQ(unit.get(kAudioUnitProperty_ParameterList, 0, 0, list, nullptr),
              kAudioUnitErr_InvalidPropertyValue);
    const Float64 rate = 48000;
    EXPECT_EQ(unit.set(kAudioUnitProperty_SampleRate, 0, 0, &rate, 4), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(unit.set(kAudioUnitProperty_SampleRate, 0, 0, nullptr, 8), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(unit.plug()->GetSampleRate(), 44100.0);
    EXPECT_EQ(CallComponent(&unit.record, kAudioUnitGetParameterSelect, {0, 0}),
              kAudioUnitErr_InvalidParameter); // a record shorter than the call

    AUChannelInfo configs[2];
    size = sizeof configs;
    ASSERT_EQ(unit.get(kAudioUnitProperty_SupportedNumChannels, 0, 0, configs, &size), noErr);
    EXPECT_EQ(size, 4u);
}

TEST(AdapterEntry, ClassInfoIsCheckedWholeBeforeAnythingChanges)
{
    Unit unit;
    unit.plug()->GetParam(0)->Set(0.8);
    CFDictionaryRef saved = nullptr;
    UInt32 size = sizeof saved;
    ASSERT_EQ(unit.get(kAudioUnitProperty_ClassInfo, 0, 0, &saved, &size), noErr);
    unit.plug()->GetParam(0)->Set(0.1);

    auto build = [&](SInt32 subtype, bool withData, const char* name)
    {
        CFMutableDictionaryRef d = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
        for (const char* key : {"version", "type", "manufacturer"})
        {
            CFStringRef k = text(key);
            CFDictionarySetValue(d, k, CFDictionaryGetValue(saved, k));
            CFRelease(k);
        }
        put(d, "subtype", CFNumberCreate(nullptr, kCFNumberSInt32Type, &subtype));
        put(d, "name", text(name));
        if (withData)
        {
            CFStringRef k = text("data");
            CFDictionarySetValue(d, k, CFDictionaryGetValue(saved, k));
            CFRelease(k);
        }
        return d;
    };
    const std::string longName(80, 'n');
    for (auto [subtype, withData] : {std::pair<SInt32, bool>{0x54657375, true}, {0x54657374, false}})
    {
        CFMutableDictionaryRef bad = build(subtype, withData, "-");
        EXPECT_EQ(unit.set(kAudioUnitProperty_ClassInfo, 0, 0, &bad, sizeof bad),
                  kAudioUnitErr_InvalidPropertyValue);
        CFRelease(bad);
        EXPECT_EQ(unit.plug()->GetParam(0)->Value(), 0.1); // nothing applied
    }
    CFMutableDictionaryRef good = build(0x54657374, true, longName.c_str()); // a name cut safely
    EXPECT_EQ(unit.set(kAudioUnitProperty_ClassInfo, 0, 0, &good, sizeof good), noErr);
    EXPECT_EQ(unit.plug()->GetParam(0)->Value(), 0.8);
    CFRelease(good);
    CFRelease(saved);
}

TEST(AdapterEntry, FormatsRenderingInputsAndListeners)
{
    Unit unit;
    AudioStreamBasicDescription format = {};
    format.mSampleRate = 44100;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagIsFloat;
    format.mChannelsPerFrame = 3;
    EXPECT_EQ(unit.set(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof format),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(unit.plug()->GetOutBus(0)->mNHostChannels, 0);
    format.mChannelsPerFrame = 2;
    EXPECT_EQ(unit.set(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof format), noErr);

    const AURenderCallbackStruct input = {pull, nullptr};
    ASSERT_EQ(unit.set(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input, sizeof input), noErr);
    ASSERT_EQ(CallComponent(&unit.record, kAudioUnitAddRenderNotifySelect,
                            {reinterpret_cast<long>(&notify), 0}), noErr);
    ASSERT_EQ(CallComponent(&unit.record, kAudioUnitInitializeSelect, {}), noErr);

    std::vector<std::vector<float>> out(2, std::vector<float>(1025));
    gPulls = gNotifies = 0;
    EXPECT_EQ(unit.render(1025, 0.0, out), kAudioUnitErr_InvalidPropertyValue); // block size + 1
    EXPECT_EQ(gNotifies, 0);
    ASSERT_EQ(unit.render(64, 0.0, out), noErr);
    ASSERT_EQ(unit.render(64, 0.0, out), noErr); // same sample time: input pulled once
    EXPECT_EQ(gPulls, 1);
    EXPECT_EQ(gNotifies, 4);
    EXPECT_EQ(out[1][10], 0.5f);

    std::vector<std::vector<float>> three(3, std::vector<float>(64)), shortBuffers(2, std::vector<float>(8));
    EXPECT_EQ(unit.render(64, 64.0, three), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(unit.render(64, 64.0, shortBuffers), kAudioUnitErr_InvalidPropertyValue);

    int user1 = 1, user2 = 2;
    for (int* user : {&user1, &user2})
        CallComponent(&unit.record, kAudioUnitAddPropertyListenerSelect,
                      {kAudioUnitProperty_BypassEffect, reinterpret_cast<long>(&heard),
                       reinterpret_cast<long>(user)});
    EXPECT_EQ(unit.plug()->NPropertyListeners(), 1); // same property and procedure: once
    CallComponent(&unit.record, kAudioUnitRemovePropertyListenerSelect,
                  {kAudioUnitProperty_BypassEffect, reinterpret_cast<long>(&heard)});
    EXPECT_EQ(unit.plug()->NPropertyListeners(), 0);
}

TEST(AdapterEntry, PresetRecordsCountTheirReferences)
{
    CFStringRef dash = text("-"), other = text("-");
    CFAUPresetRef a = CFAUPresetCreate(nullptr, 0, dash), b = CFAUPresetCreate(nullptr, 0, other),
                  c = CFAUPresetCreate(nullptr, 1, dash);
    EXPECT_TRUE(CFAUPresetEqual(a, b));
    EXPECT_FALSE(CFAUPresetEqual(a, c));
    CFAUPresetRetain(a);
    CFAUPresetRelease(a);
    EXPECT_EQ(a->retainCount, 1); // the second release frees it
    EXPECT_EQ(CFGetRetainCount(dash), 3);
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFAUPresetArrayCallBacks);
    CFArrayAppendValue(array, a);
    EXPECT_EQ(a->retainCount, 2);
    for (CFAUPresetRef record : {a, b, c})
        CFAUPresetRelease(record);
    CFRelease(array); // frees a
    EXPECT_EQ(CFGetRetainCount(dash), 1);
    CFRelease(dash);
    CFRelease(other);
}

TEST(AdapterEntry, ViewsNeedAnEditor)
{
    Unit unit;
    ComponentInstanceRecord view;
    view.entry = &IPluginAU::IPluginAUCarbonViewEntry;
    ASSERT_EQ(CallComponent(&view, kComponentOpenSelect, {reinterpret_cast<long>(&view)}), noErr);
    void* control = reinterpret_cast<void*>(1);
    EXPECT_EQ(CallComponent(&view, kAudioUnitCarbonViewCreateSelect,
                            {reinterpret_cast<long>(&unit.record), 0, 0, 0, 0,
                             reinterpret_cast<long>(&control)}),
              badComponentSelector); // this effect has no editor
    EXPECT_EQ(control, reinterpret_cast<void*>(1));
    EXPECT_EQ(CallComponent(&view, kComponentCloseSelect, {reinterpret_cast<long>(&view)}), noErr);
}
