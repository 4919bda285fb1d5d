#pragma once

#include "AUCompat.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Hosting Audio Unit–style bundles: loading one, and driving instances through
// the component entry as a host does. Shared by auhost and the standalone app.

struct AUParameterDescription
{
    AudioUnitParameterID id;
    std::string name, unit, clump;
    float minValue, maxValue, defaultValue;
    UInt32 unitKind, flags;
    std::vector<std::string> valueStrings;
};

// What a bundle's Info.plist says of it.
struct BundleDescription
{
    std::string identifier, executable, name, factory;
    ComponentDescription description = {};
    UInt32 version = 0;
};

// Throws std::runtime_error saying what is missing or wrong; where names the file.
BundleDescription ParseBundleDescription(const std::string& xml, const std::string& where);

// A bundle loaded with dlopen: its Info.plist's description and its entry.
class AUBundle
{
public:
    // Throws std::runtime_error saying what is missing or wrong.
    explicit AUBundle(const std::string& path);
    ~AUBundle();
    AUBundle(const AUBundle&) = delete;
    AUBundle& operator=(const AUBundle&) = delete;

    const ComponentDescription& Description() const { return mDescription; }
    const std::string& Name() const { return mName; }
    const std::string& Identifier() const { return mIdentifier; }
    const std::string& Path() const { return mPath; }
    UInt32 Version() const { return mVersion; }
    ComponentRoutine Entry() const { return mEntry; }
    // Another function the bundle's own library exports, or null.
    void* Symbol(const char* name) const;

private:
    std::string mPath, mName, mIdentifier;
    ComponentDescription mDescription = {};
    UInt32 mVersion = 0;
    void* mLibrary = nullptr;
    ComponentRoutine mEntry = nullptr;
};

// One open instance. Calls go through the component entry with arguments laid
// out as the Component Manager lays them out.
class AUInstance
{
public:
    // Opens the component and tells it who is hosting it.
    explicit AUInstance(const AUBundle& bundle, const char* hostName = "auhost");
    ~AUInstance();
    AUInstance(const AUInstance&) = delete;
    AUInstance& operator=(const AUInstance&) = delete;

    ComponentInstance Handle() { return &mRecord; }
    OSStatus Call(SInt16 what, std::initializer_list<long> args);
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32* size, Boolean* writable);
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* data, UInt32* size);
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* data, UInt32 size);
    OSStatus GetParameter(AudioUnitParameterID id, float* value);
    OSStatus SetParameter(AudioUnitParameterID id, float value, UInt32 offset = 0);
    OSStatus Initialize() { return Call(kAudioUnitInitializeSelect, {}); }
    OSStatus Uninitialize() { return Call(kAudioUnitUninitializeSelect, {}); }
    OSStatus Reset() { return Call(kAudioUnitResetSelect, {0, 0}); }
    OSStatus MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset);
    // Sets a float stereo (or mono) output format, the rate and the largest block.
    OSStatus Configure(double rate, UInt32 maxFrames, UInt32 channels = 2);
    // One block of single-precision output, one buffer per channel.
    OSStatus Render(std::vector<float*> channels, UInt32 frames, double sampleTime);
    // The same through the render procedure the component hands out for fast
    // dispatch, as hosts that render in a tight loop call it.
    OSStatus RenderFast(std::vector<float*> channels, UInt32 frames, double sampleTime);
    // For a host's audio thread: the render and MIDI procedures the component
    // hands out for fast dispatch, taken once beforehand on the thread that
    // configures it. They take no lock and allocate nothing; until
    // PrepareAudioThread succeeds they refuse.
    OSStatus PrepareAudioThread();
    OSStatus RenderStereo(float* left, float* right, UInt32 frames, double sampleTime);
    OSStatus AudioThreadMIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset);
    OSStatus StartNote(UInt32 note, UInt32 velocity, UInt32 offset);
    OSStatus StopNote(UInt32 note, UInt32 offset);

    std::vector<AUParameterDescription> Parameters();
    std::vector<std::string> FactoryPresets();
    // The class-info state, owned by the caller (CFRelease).
    OSStatus SaveState(CFDictionaryRef* state);
    OSStatus RestoreState(CFDictionaryRef state);

private:
    // The host's clock: the sample time of the block being rendered, at a
    // steady 120 beats per minute in 4/4, transport playing.
    static OSStatus BeatAndTempo(void* self, Float64* beat, Float64* tempo);
    static OSStatus MusicalTime(void* self, UInt32* toNextBeat, Float32* numerator,
                                UInt32* denominator, Float64* downBeat);
    static OSStatus Transport(void* self, Boolean* playing, Boolean* changed, Float64* sample,
                              Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);

    ComponentInstanceRecord mRecord;
    bool mOpen = false;
    AudioUnitRenderProc mAudioThreadRender = nullptr;
    MusicDeviceMIDIEventProc mAudioThreadMIDI = nullptr;
    double mSampleTime = 0.0, mRate = 44100.0;
};

// Hears one instance's parameter changes and gestures, wherever the bundle's
// code runs: a value change carries the value the instance then holds. Events come on the thread that made the change; no notify
// that begins after this is destroyed reaches it.
class AUParameterListener
{
public:
    using Heard = std::function<void(const AudioUnitEvent& event, AudioUnitParameterValue value)>;

    // Throws std::runtime_error when the instance takes no listener.
    AUParameterListener(AUInstance& unit, Heard heard);
    ~AUParameterListener();
    AUParameterListener(const AUParameterListener&) = delete;
    AUParameterListener& operator=(const AUParameterListener&) = delete;

private:
    static void onEvent(void* self, void* object, const AudioUnitEvent* event, UInt64 hostTime,
                        AudioUnitParameterValue value);

    Heard mHeard;
    AUEventListenerRef mListener = nullptr;
};

// .aupreset files: the class-info dictionary as an XML property list. Saving
// replaces the file only once it is written whole.
void SaveAUPreset(CFDictionaryRef state, const std::string& path);
// The XML property list such a file holds.
std::string AUPresetText(CFDictionaryRef state);
// Owned by the caller; throws std::runtime_error for a file that is not one.
CFDictionaryRef LoadAUPreset(const std::string& path);
// The same from a preset's bytes; what names them in messages.
CFDictionaryRef ParseAUPreset(const std::string& xml, const std::string& what);
std::string FourCharCode(UInt32 code);
