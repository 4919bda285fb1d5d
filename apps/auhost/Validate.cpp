#include "Validate.h"

#include "HostRender.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <iostream>
#include <random>
#include <thread>

namespace
{

const UInt32 kMaxFrames = 1024;

struct Outcome
{
    bool ok = true;
    std::string reason;
    void Fail(const std::string& why)
    {
        if (ok)
            reason = why;
        ok = false;
    }
};

using Test = std::function<void(const AUBundle&, Outcome&)>;

void prepare(AUInstance& unit, double rate, Outcome& out)
{
    if (unit.Configure(rate, kMaxFrames) != noErr || unit.Initialize() != noErr)
        out.Fail("stream format, rate or initialise refused at " + std::to_string(rate) + " Hz");
}

// Plays notes while checking every sample: finite, and never denormal.
void renderChecked(AUInstance& unit, UInt32 frames, double* sampleTime, Outcome& out,
                   std::vector<float>* capture = nullptr)
{
    std::vector<float> left(frames), right(frames);
    if (unit.Render({left.data(), right.data()}, frames, *sampleTime) != noErr)
        return out.Fail("render of " + std::to_string(frames) + " frames failed");
    *sampleTime += frames;
    for (UInt32 i = 0; i < frames; ++i)
    {
        for (float v : {left[i], right[i]})
        {
            if (!std::isfinite(v))
                return out.Fail("non-finite output");
            if (v != 0.0f && std::fabs(v) < FLT_MIN)
                return out.Fail("denormal output");
        }
    }
    if (capture)
        capture->insert(capture->end(), left.begin(), left.end());
}

std::vector<unsigned char> stateBytes(AUInstance& unit)
{
    CFDictionaryRef state = nullptr;
    std::vector<unsigned char> bytes;
    if (unit.SaveState(&state) != noErr || !state)
        return bytes;
    CFStringRef key = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(state, key));
    if (data)
        bytes.assign(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
    CFRelease(key);
    CFRelease(state);
    return bytes;
}

void playSeeded(AUInstance& unit, UInt32 seed, std::vector<float>* audio, Outcome& out)
{
    unit.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    double t = 0.0;
    unit.MIDIEvent(0x90, 60, 110, 0);
    for (int b = 0; b < 40; ++b)
        renderChecked(unit, 256, &t, out, audio);
}

// Objects some properties hand out, which the host must release.
void releaseAnswer(AudioUnitPropertyID id, const std::vector<unsigned char>& buffer)
{
    const void* first = nullptr;
    std::memcpy(&first, buffer.data(), sizeof first);
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
    case kAudioUnitProperty_ParameterValueStrings:
    case kAudioUnitProperty_FactoryPresets:
    case kAudioUnitProperty_ElementName:
        if (first)
            CFRelease(first);
        break;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    {
        AUPreset preset;
        std::memcpy(&preset, buffer.data(), sizeof preset);
        if (preset.presetName)
            CFRelease(preset.presetName);
        break;
    }
    case kAudioUnitProperty_CocoaUI:
    {
        AudioUnitCocoaViewInfo info;
        std::memcpy(&info, buffer.data(), sizeof info);
        if (info.mCocoaAUViewBundleLocation)
            CFRelease(info.mCocoaAUViewBundleLocation);
        if (info.mCocoaAUViewClass[0])
            CFRelease(info.mCocoaAUViewClass[0]);
        break;
    }
    case kAudioUnitProperty_ParameterInfo:
    {
        AudioUnitParameterInfo info;
        std::memcpy(&info, buffer.data(), sizeof info);
        if (info.cfNameString)
            CFRelease(info.cfNameString);
        if (info.unitName)
            CFRelease(info.unitName);
        break;
    }
    default:
        break;
    }
}

const unsigned char kGuard = 0xA5;

void probeProperty(AUInstance& unit, AudioUnitPropertyID id, AudioUnitScope scope,
                   AudioUnitElement element, Outcome& out)
{
    UInt32 size = 0;
    Boolean writable = false;
    if (unit.GetPropertyInfo(id, scope, element, &size, &writable) != noErr)
        return;
    if (size > (1u << 20))
        return out.Fail("property " + std::to_string(id) + " claims " + std::to_string(size) + " bytes");
    const bool textRequest = id >= kAudioUnitProperty_ParameterStringFromValue &&
                             id <= kAudioUnitProperty_ParameterValueFromString && id != 36 && id != 37;
    for (UInt32 offered : {size, size > 0 ? size - 1 : 0u, 0u})
    {
        std::vector<unsigned char> buffer(size + 64, kGuard);
        if (textRequest)
            std::memset(buffer.data(), 0, size); // a request with no parameter and no text
        UInt32 given = offered;
        const OSStatus result = unit.GetProperty(id, scope, element, buffer.data(), &given);
        for (size_t i = offered; i < buffer.size(); ++i)
        {
            if (buffer[i] != kGuard && !(textRequest && i < size))
                return out.Fail("property " + std::to_string(id) + " wrote past " +
                                std::to_string(offered) + " bytes");
        }
        if (result == noErr && offered >= size && size >= sizeof(void*))
            releaseAnswer(id, buffer);
        if (textRequest && result == noErr && id != kAudioUnitProperty_ParameterValueFromString)
        {
            CFStringRef text = nullptr; // every text request ends with its output string
            std::memcpy(&text, buffer.data() + size - sizeof text, sizeof text);
            if (text)
                CFRelease(text);
        }
    }
    unit.GetProperty(id, scope, element, nullptr, nullptr); // no size: refused, no crash
    UInt32 sizeOnly = 0;
    unit.GetProperty(id, scope, element, nullptr, &sizeOnly);
}

void openClose(const AUBundle& bundle, Outcome& out)
{
    for (int i = 0; i < 1000 && out.ok; ++i)
    {
        AUInstance unit(bundle);
        if (i % 100 == 0 && unit.Parameters().empty())
            out.Fail("no parameters");
    }
}

void everyProperty(const AUBundle& bundle, Outcome& out)
{
    AUInstance unit(bundle);
    for (AudioUnitPropertyID id = 0; id <= 64 && out.ok; ++id)
        for (AudioUnitScope scope = 0; scope <= 3; ++scope)
            for (AudioUnitElement element = 0; element <= 3; ++element)
                probeProperty(unit, id, scope, element, out);
    probeProperty(unit, kMusicDeviceProperty_InstrumentCount, 0, 0, out);
    for (UInt32 size : {0u, 1u, 7u})
    {
        const Float64 rate = 48000;
        if (unit.SetProperty(kAudioUnitProperty_SampleRate, 0, 0, &rate, size) == noErr)
            out.Fail("a sample rate of " + std::to_string(size) + " bytes was taken");
    }
    if (unit.SetProperty(kAudioUnitProperty_ClassInfo, 0, 0, nullptr, sizeof(void*)) == noErr)
        out.Fail("a null class info was taken");
}

// An indexed or on/off parameter plays the whole number a host shows for the
// value it sets: the nearest, a half up (on from one half).
float playedValue(const AUParameterDescription& p, float value)
{
    const bool whole = p.unitKind == kAudioUnitParameterUnit_Boolean ||
                       p.unitKind == kAudioUnitParameterUnit_Indexed;
    return whole ? std::floor(value + 0.5f) : value;
}

void parameters(const AUBundle& bundle, Outcome& out)
{
    AUInstance unit(bundle);
    for (const AUParameterDescription& p : unit.Parameters())
    {
        const float mid = p.minValue + 0.5f * (p.maxValue - p.minValue);
        const float kept = playedValue(p, mid);
        float got = 0.0f;
        unit.SetParameter(p.id, mid);
        unit.GetParameter(p.id, &got);
        if (std::fabs(got - kept) > 1e-3f * (1.0f + std::fabs(kept)))
            return out.Fail("parameter " + p.name + " did not keep " + std::to_string(kept) + " for " +
                            std::to_string(mid));
        unit.SetParameter(p.id, p.maxValue + 1000.0f);
        unit.GetParameter(p.id, &got);
        if (got != p.maxValue)
            return out.Fail("parameter " + p.name + " was not held to its maximum");
        unit.SetParameter(p.id, NAN);
        unit.GetParameter(p.id, &got);
        if (got != p.maxValue)
            return out.Fail("parameter " + p.name + " took NaN");
    }
    float ignored = 0.0f;
    if (unit.GetParameter(100000, &ignored) == noErr || unit.SetParameter(100000, 1.0f) == noErr)
        out.Fail("a parameter that does not exist answered");
}

void ratesAndBlocks(const AUBundle& bundle, Outcome& out)
{
    std::mt19937 random(7);
    for (double rate : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0,
                        192000.0, 44099.5})
    {
        AUInstance unit(bundle);
        prepare(unit, rate, out);
        double t = 0.0;
        unit.MIDIEvent(0x90, 64, 100, 0);
        for (int b = 0; b < 40 && out.ok; ++b)
            renderChecked(unit, 1 + random() % kMaxFrames, &t, out);
        std::vector<float> left(kMaxFrames + 1), right(kMaxFrames + 1);
        if (unit.Render({left.data(), right.data()}, kMaxFrames + 1, t) == noErr)
            out.Fail("a block of the maximum frames + 1 was rendered");
    }
}

void automation(const AUBundle& bundle, Outcome& out)
{
    AUInstance unit(bundle);
    prepare(unit, 44100, out);
    const std::vector<AUParameterDescription> params = unit.Parameters();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unitRange(0.0f, 1.0f);
    double t = 0.0;
    unit.MIDIEvent(0x90, 60, 127, 0);
    unit.MIDIEvent(0x90, 67, 127, 5);
    for (int b = 0; b < 200 && out.ok; ++b)
    {
        for (int k = 0; k < 10; ++k)
        {
            const AUParameterDescription& p = params[random() % params.size()];
            unit.SetParameter(p.id, p.minValue + unitRange(random) * (p.maxValue - p.minValue));
        }
        renderChecked(unit, 32, &t, out);
    }
}

void stateRoundTrip(const AUBundle& bundle, Outcome& out)
{
    AUInstance first(bundle), second(bundle);
    prepare(first, 44100, out);
    prepare(second, 44100, out);
    const std::vector<AUParameterDescription> params = first.Parameters();
    std::mt19937 random(3);
    for (int k = 0; k < 20; ++k)
    {
        const AUParameterDescription& p = params[random() % params.size()];
        first.SetParameter(p.id, p.minValue + (random() % 1000) / 1000.0f * (p.maxValue - p.minValue));
    }
    CFDictionaryRef state = nullptr;
    if (first.SaveState(&state) != noErr || second.RestoreState(state) != noErr)
        out.Fail("state save or restore refused");
    if (state)
        CFRelease(state);
    if (stateBytes(first) != stateBytes(second))
        out.Fail("restored state differs");
    std::vector<float> a, b;
    playSeeded(first, 99, &a, out);
    playSeeded(second, 99, &b, out);
    if (a != b)
        out.Fail("restored state sounds different");
}

CFDictionaryRef withData(AUInstance& unit, const std::vector<UInt8>* data)
{
    CFDictionaryRef saved = nullptr;
    unit.SaveState(&saved);
    CFMutableDictionaryRef copy = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    for (const char* key : {"version", "type", "subtype", "manufacturer", "name"})
    {
        CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
        CFDictionarySetValue(copy, name, CFDictionaryGetValue(saved, name));
        CFRelease(name);
    }
    if (data)
    {
        CFStringRef name = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
        CFDataRef bytes = CFDataCreate(nullptr, data->data(), static_cast<CFIndex>(data->size()));
        CFDictionarySetValue(copy, name, bytes);
        CFRelease(bytes);
        CFRelease(name);
    }
    CFRelease(saved);
    return copy;
}

void badStates(const AUBundle& bundle, Outcome& out)
{
    AUInstance unit(bundle);
    const std::vector<unsigned char> before = stateBytes(unit);
    std::mt19937 random(5);
    std::vector<std::vector<UInt8>> payloads;
    for (int i = 0; i < 3; ++i)
    {
        std::vector<UInt8> noise(1 << 20);
        for (UInt8& byte : noise)
            byte = static_cast<UInt8>(random());
        payloads.push_back(noise);
    }
    payloads.push_back(std::vector<UInt8>(before.begin(), before.begin() + before.size() / 2));
    payloads.push_back({});
    std::vector<CFDictionaryRef> attempts = {withData(unit, nullptr),
                                             CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr)};
    for (const std::vector<UInt8>& payload : payloads)
        attempts.push_back(withData(unit, &payload));
    for (CFDictionaryRef attempt : attempts)
    {
        if (unit.RestoreState(attempt) == noErr)
            out.Fail("a damaged class info was taken");
        CFRelease(attempt);
    }
    if (stateBytes(unit) != before)
        out.Fail("a refused class info changed the state");
}

int gListened = 0;
void listener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
    ++gListened;
}

// Fast dispatch renders, gets and sets what the entry does; listeners hear
// property changes; notes start and stop through the note selectors too.
void fastDispatchAndListeners(const AUBundle& bundle, Outcome& out)
{
    AUInstance slow(bundle), fast(bundle);
    prepare(slow, 44100, out);
    prepare(fast, 44100, out);
    const UInt32 seed = 4;
    for (AUInstance* unit : {&slow, &fast})
    {
        unit->SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
        unit->StartNote(60, 100, 0);
    }
    std::vector<float> a(256), b(256), right(256);
    for (int block = 0; block < 20 && out.ok; ++block)
    {
        if (block == 10)
        {
            slow.StopNote(60, 3);
            fast.StopNote(60, 3);
        }
        slow.Render({a.data(), right.data()}, 256, block * 256.0);
        fast.RenderFast({b.data(), right.data()}, 256, block * 256.0);
        if (a != b)
            out.Fail("fast dispatch rendered differently");
    }
    UInt32 size = 0;
    AudioUnitSetParameterProc set = nullptr;
    size = sizeof set;
    fast.GetProperty(kAudioUnitProperty_FastDispatch, 0, kAudioUnitSetParameterSelect, &set, &size);
    if (!set || set(fast.Handle()->storage, 0, 0, 0, -12.0f, 0) != noErr)
        return out.Fail("no fast set-parameter procedure");
    float value = 0.0f;
    fast.GetParameter(0, &value);
    if (value != -12.0f)
        out.Fail("fast set-parameter did not set");
    gListened = 0;
    fast.Call(kAudioUnitAddPropertyListenerSelect,
              {kAudioUnitProperty_BypassEffect, reinterpret_cast<long>(&listener), 0});
    const UInt32 off = 0;
    fast.SetProperty(kAudioUnitProperty_BypassEffect, 0, 0, &off, sizeof off);
    if (gListened != 1)
        out.Fail("a property listener was not called");
}

void midi(const AUBundle& bundle, Outcome& out)
{
    AUInstance unit(bundle);
    prepare(unit, 44100, out);
    double t = 0.0;
    for (UInt32 status = 0; status < 256 && out.ok; ++status)
    {
        unit.MIDIEvent(status, 200, 255, status % 64);
        unit.MIDIEvent(status, status & 0x7F, 64, 1000000);
        renderChecked(unit, 64, &t, out);
    }
}

void resetAndBypass(const AUBundle& bundle, Outcome& out)
{
    AUInstance unit(bundle);
    prepare(unit, 44100, out);
    double t = 0.0;
    unit.MIDIEvent(0x90, 60, 127, 0);
    renderChecked(unit, 512, &t, out);
    if (unit.Reset() != noErr)
        out.Fail("reset refused");
    renderChecked(unit, 512, &t, out);
    const UInt32 on = 1;
    unit.SetProperty(kAudioUnitProperty_BypassEffect, 0, 0, &on, sizeof on);
    std::vector<float> silent;
    renderChecked(unit, 512, &t, out, &silent);
    for (float v : silent)
    {
        if (v != 0.0f)
            return out.Fail("bypassed instrument is not silent");
    }
}

void twoThreads(const AUBundle& bundle, Outcome& out)
{
    Outcome a, b;
    auto play = [&bundle](Outcome* o)
    {
        AUInstance unit(bundle);
        prepare(unit, 48000, *o);
        double t = 0.0;
        unit.MIDIEvent(0x90, 62, 100, 0);
        for (int i = 0; i < 100 && o->ok; ++i)
            renderChecked(unit, 256, &t, *o);
    };
    std::thread first(play, &a), second(play, &b);
    first.join();
    second.join();
    if (!a.ok || !b.ok)
        out.Fail(!a.ok ? a.reason : b.reason);
}

} // namespace

bool RunValidation(const AUBundle& bundle)
{
    const std::pair<const char*, Test> tests[] = {
        {"open and close 1000 times", openClose},
        {"every property at every scope and element 0 ... 3, with good, short, zero and no sizes",
         everyProperty},
        {"parameter round trip, out-of-range and NaN values", parameters},
        {"rates 8 kHz ... 192 kHz and 44099.5 Hz, random blocks, finite output without denormals, "
         "maximum frames + 1 refused",
         ratesAndBlocks},
        {"ten random parameter changes every 32 frames while playing", automation},
        {"state saved, restored in a fresh instance: same bytes, same sound", stateRoundTrip},
        {"empty, random (3 x 1 MB), truncated and incomplete class info refused without change",
         badStates},
        {"MIDI with every status byte and out-of-range data", midi},
        {"fast dispatch (render, parameters), note selectors, property listeners",
         fastDispatchAndListeners},
        {"reset while notes are held; bypass", resetAndBypass},
        {"two instances rendering on two threads at once", twoThreads},
    };
    int failed = 0, passed = 0;
    for (const auto& [name, test] : tests)
    {
        Outcome outcome;
        try
        {
            test(bundle, outcome);
        }
        catch (const std::exception& e)
        {
            outcome.Fail(e.what());
        }
        std::cout << (outcome.ok ? "PASS " : "FAIL ") << name
                  << (outcome.ok ? "" : ": " + outcome.reason) << std::endl;
        (outcome.ok ? passed : failed) += 1;
    }
    std::cout << "validate: " << passed << " passed, " << failed << " failed" << std::endl;
    return failed == 0;
}
