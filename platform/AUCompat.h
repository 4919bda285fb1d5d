#pragma once

// The Apple interfaces the adapter calls, for platforms without the SDK: the
// types and constants carry Apple's names and values, with 64-bit native layouts.
#include "CFCompat.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>

typedef int32_t OSStatus;
typedef int16_t SInt16;
typedef uint64_t UInt64;
typedef float Float32;
typedef double Float64;

typedef float AudioUnitParameterValue;
typedef UInt32 AudioUnitParameterID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitPropertyID;

struct ComponentInstanceRecord;
typedef ComponentInstanceRecord* ComponentInstance;
typedef ComponentInstance AudioUnit;
typedef ComponentInstance Component;

enum
{
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
};

enum : OSStatus
{
    noErr = 0,
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_InvalidParameter = -10878,
    kAudioUnitErr_InvalidElement = -10877,
    kAudioUnitErr_InvalidScope = -10866,
    kAudioUnitErr_InvalidPropertyValue = -10851,
    kAudioUnitErr_PropertyNotInUse = -10850,
    kAudioUnitErr_TooManyFramesToProcess = -10874,
    kAudioUnitErr_FailedInitialization = -10875,
    kAudioUnitErr_Uninitialized = -10867,
    coreFoundationUnknownErr = -4960,
    badComponentSelector = static_cast<OSStatus>(0x80008002),
};

enum : AudioUnitPropertyID
{
    kAudioUnitProperty_ClassInfo = 0,
    kAudioUnitProperty_MakeConnection = 1,
    kAudioUnitProperty_SampleRate = 2,
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,
    kAudioUnitProperty_FastDispatch = 5,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_ElementCount = 11,
    kAudioUnitProperty_Latency = 12,
    kAudioUnitProperty_SupportedNumChannels = 13,
    kAudioUnitProperty_MaximumFramesPerSlice = 14,
    kAudioUnitProperty_ParameterValueStrings = 16,
    kAudioUnitProperty_GetUIComponentList = 18,
    kAudioUnitProperty_AudioChannelLayout = 19,
    kAudioUnitProperty_TailTime = 20,
    kAudioUnitProperty_BypassEffect = 21,
    kAudioUnitProperty_LastRenderError = 22,
    kAudioUnitProperty_SetRenderCallback = 23,
    kAudioUnitProperty_FactoryPresets = 24,
    kAudioUnitProperty_HostCallbacks = 27,
    kAudioUnitProperty_CurrentPreset = 28,
    kAudioUnitProperty_ElementName = 30,
    kAudioUnitProperty_CocoaUI = 31,
    kAudioUnitProperty_SupportedChannelLayoutTags = 32,
    kAudioUnitProperty_ParameterStringFromValue = 33,
    kAudioUnitProperty_ParameterIDName = 34,
    kAudioUnitProperty_ParameterClumpName = 35,
    kAudioUnitProperty_PresentPreset = 36,
    kAudioUnitProperty_OfflineRender = 37,
    kAudioUnitProperty_ParameterValueFromString = 38,
    kAudioUnitProperty_AUHostIdentifier = 46,
    kMusicDeviceProperty_InstrumentCount = 1000,
};

// Component Manager and Audio Unit selectors.
enum : SInt16
{
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kComponentCanDoSelect = -3,
    kComponentVersionSelect = -4,
    kAudioUnitInitializeSelect = 1,
    kAudioUnitUninitializeSelect = 2,
    kAudioUnitGetPropertyInfoSelect = 3,
    kAudioUnitGetPropertySelect = 4,
    kAudioUnitSetPropertySelect = 5,
    kAudioUnitGetParameterSelect = 6,
    kAudioUnitSetParameterSelect = 7,
    kAudioUnitResetSelect = 9,
    kAudioUnitAddPropertyListenerSelect = 10,
    kAudioUnitRemovePropertyListenerSelect = 11,
    kAudioUnitRenderSelect = 14,
    kAudioUnitAddRenderNotifySelect = 15,
    kAudioUnitRemoveRenderNotifySelect = 16,
    kAudioUnitScheduleParametersSelect = 17,
    kAudioUnitRemovePropertyListenerWithUserDataSelect = 18,
    kMusicDeviceMIDIEventSelect = 0x101,
    kMusicDeviceSysExSelect = 0x102,
    kMusicDevicePrepareInstrumentSelect = 0x103,
    kMusicDeviceReleaseInstrumentSelect = 0x104,
    kMusicDeviceStartNoteSelect = 0x105,
    kMusicDeviceStopNoteSelect = 0x106,
    kAudioUnitCarbonViewCreateSelect = 0x301,
};

typedef UInt32 AudioUnitRenderActionFlags;
enum : AudioUnitRenderActionFlags
{
    kAudioUnitRenderAction_PreRender = 4,
    kAudioUnitRenderAction_PostRender = 8,
};

enum : UInt32
{
    kAudioFormatLinearPCM = 0x6C70636D, // 'lpcm'
    kAudioFormatFlagIsFloat = 1,
    kAudioFormatFlagIsPacked = 8,
    kAudioFormatFlagIsNonInterleaved = 32,
    kAudioTimeStampSampleTimeValid = 1,
    kAudioUnitType_MusicDevice = 0x61756D75, // 'aumu'
    kAudioUnitCarbonViewComponentType = 0x61757677, // 'auvw'
    kAudioUnitParameterFlag_CFNameRelease = 0x10,
    kAudioUnitParameterFlag_HasClump = 0x100000,
    kAudioUnitParameterFlag_HasCFNameString = 0x8000000,
    kAudioUnitParameterFlag_IsElementMeta = 0x20000000,
    kAudioUnitParameterFlag_IsReadable = 0x40000000,
    kAudioUnitParameterFlag_IsWritable = 0x80000000,
    kAudioUnitParameterUnit_Generic = 0,
    kAudioUnitParameterUnit_Indexed = 1,
    kAudioUnitParameterUnit_Boolean = 2,
    kAudioUnitParameterUnit_CustomUnit = 26,
    kAudioChannelLayoutTag_Mono = 0x640001,
    kAudioChannelLayoutTag_Stereo = 0x650002,
    kAudioChannelLayoutTag_Unknown = 0xFFFF0000,
    kParameterEvent_Immediate = 1,
};

struct AudioStreamBasicDescription
{
    Float64 mSampleRate;
    UInt32 mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};

struct SMPTETime
{
    SInt16 mSubframes, mSubframeDivisor;
    UInt32 mCounter, mType, mFlags;
    SInt16 mHours, mMinutes, mSeconds, mFrames;
};

struct AudioTimeStamp
{
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    SMPTETime mSMPTETime;
    UInt32 mFlags;
    UInt32 mReserved;
};

struct AudioBuffer
{
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

struct AudioBufferList
{
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1]; // as many as mNumberBuffers
};

typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                     const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                     UInt32 inNumberFrames, AudioBufferList* ioData);
struct AURenderCallbackStruct
{
    AURenderCallback inputProc;
    void* inputProcRefCon;
};

typedef OSStatus (*AudioUnitRenderProc)(void* inComponentStorage,
                                        AudioUnitRenderActionFlags* ioActionFlags,
                                        const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                                        UInt32 inNumberFrames, AudioBufferList* ioData);
typedef OSStatus (*MusicDeviceMIDIEventProc)(void* inComponentStorage, UInt32 inStatus,
                                             UInt32 inData1, UInt32 inData2,
                                             UInt32 inOffsetSampleFrame);
typedef OSStatus (*AudioUnitGetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue* outValue);
typedef OSStatus (*AudioUnitSetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue inValue,
                                              UInt32 inBufferOffsetInFrames);

struct AudioUnitConnection
{
    AudioUnit sourceAudioUnit;
    UInt32 sourceOutputNumber;
    UInt32 destInputNumber;
};

struct AUChannelInfo
{
    SInt16 inChannels;
    SInt16 outChannels;
};

struct AudioUnitParameterInfo
{
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    UInt32 unit;
    AudioUnitParameterValue minValue;
    AudioUnitParameterValue maxValue;
    AudioUnitParameterValue defaultValue;
    UInt32 flags;
};

struct AudioUnitParameterValueFromString
{
    AudioUnitParameterID inParamID;
    CFStringRef inString;
    AudioUnitParameterValue outValue;
};

struct AudioUnitParameterStringFromValue
{
    AudioUnitParameterID inParamID;
    const AudioUnitParameterValue* inValue;
    CFStringRef outString;
};

struct AudioUnitParameterIDName
{
    AudioUnitParameterID inID;
    SInt32 inDesiredLength;
    CFStringRef outName;
};

struct AudioUnitParameterNameInfo
{
    UInt32 inID;
    SInt32 inDesiredLength;
    CFStringRef outName;
};
typedef AudioUnitParameterNameInfo AudioUnitParameterClumpName;

struct AUPreset
{
    SInt32 presetNumber;
    CFStringRef presetName;
};

struct AudioUnitCocoaViewInfo
{
    CFURLRef mCocoaAUViewBundleLocation;
    CFStringRef mCocoaAUViewClass[1];
};

struct AUNumVersion
{
    UInt8 nonRelRev;
    UInt8 stage;
    UInt8 minorAndBugRev;
    UInt8 majorRev;
};

struct AUHostIdentifier
{
    CFStringRef hostName;
    AUNumVersion hostVersion;
};

struct AudioUnitParameterEvent
{
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterID parameter;
    UInt32 eventType;
    union
    {
        struct
        {
            SInt32 startBufferOffset;
            UInt32 durationInFrames;
            AudioUnitParameterValue startValue;
            AudioUnitParameterValue endValue;
        } ramp;
        struct
        {
            UInt32 bufferOffset;
            AudioUnitParameterValue value;
        } immediate;
    } eventValues;
};

struct MusicDeviceNoteParams
{
    UInt32 argCount;
    Float32 mPitch;
    Float32 mVelocity;
};
typedef UInt32 NoteInstanceID;
typedef UInt32 MusicDeviceGroupID;
typedef UInt32 MusicDeviceInstrumentID;

typedef UInt32 AudioUnitEventType;
enum
{
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3,
};

struct AudioUnitParameter
{
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitProperty
{
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitEvent
{
    AudioUnitEventType mEventType;
    union
    {
        AudioUnitParameter mParameter;
        AudioUnitProperty mProperty;
    } mArgument;
};

typedef struct OpaqueAUEventListener* AUEventListenerRef;
typedef void (*AUEventListenerProc)(void* inCallbackRefCon, void* inObject,
                                    const AudioUnitEvent* inEvent, UInt64 inEventHostTime,
                                    AudioUnitParameterValue inParameterValue);

// Listening to an instance's parameter changes and gestures, as a host does.
// There is no run loop here: events reach the listener on the thread that
// notifies, and the run loop, interval and granularity are ignored. A listener
// hears the events of the types and instances it added, for one parameter or
// for kAUParameterListener_AnyParameter; a value change carries the value the
// instance holds when it is told.
const AudioUnitParameterID kAUParameterListener_AnyParameter = 0xFFFFFFFF;
OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inCallbackRefCon,
                               void* inRunLoop, CFStringRef inRunLoopMode,
                               Float32 inNotificationInterval, Float32 inValueChangeGranularity,
                               AUEventListenerRef* outListener);
OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                     const AudioUnitEvent* inEvent);
OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                        const AudioUnitEvent* inEvent);
// Stops the listener and frees it: no notify that begins after this returns
// reaches it.
OSStatus AUListenerDispose(AUEventListenerRef inListener);
// Tells the listeners of the event's instance, in whichever binary they were
// added (the instance's record says where); the sending listener is skipped.
OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent);
// Sets a parameter through the instance's entry and tells its listeners.
OSStatus AUParameterSet(AUEventListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames);

typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit,
                                              AudioUnitPropertyID inID, AudioUnitScope inScope,
                                              AudioUnitElement inElement);

typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                 Float64* outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData,
                                                        UInt32* outDeltaSampleOffsetToNextBeat,
                                                        Float32* outTimeSig_Numerator,
                                                        UInt32* outTimeSig_Denominator,
                                                        Float64* outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                   Boolean* outTransportStateChanged,
                                                   Float64* outCurrentSampleInTimeLine,
                                                   Boolean* outIsCycling,
                                                   Float64* outCycleStartBeat,
                                                   Float64* outCycleEndBeat);

struct HostCallbackInfo
{
    void* hostUserData;
    HostCallback_GetBeatAndTempo beatAndTempoProc;
    HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
    HostCallback_GetTransportState transportStateProc;
};

// The Component Manager's call record: what, and its arguments in reverse
// order (the call's last argument in params[0]), one pointer-sized slot each.
struct ComponentParameters
{
    UInt8 flags;
    UInt8 paramSize; // bytes of arguments
    SInt16 what;
    UInt32 padding;
    long params[1]; // as many as paramSize / sizeof(long)
};
typedef OSStatus (*ComponentRoutine)(ComponentParameters* params, void* storage);

struct ComponentDescription
{
    UInt32 componentType;
    UInt32 componentSubType;
    UInt32 componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

// Delivers an event to the listeners one binary keeps for an instance.
typedef void (*AUEventDispatchProc)(AUEventListenerRef sendingListener, void* sendingObject,
                                    const AudioUnitEvent* event);

// One open component: its entry, the storage the component keeps with it, the
// description the host read from the bundle, and where its events go. The
// host and the component may be separate binaries, each with its own copy of
// these stand-ins: the record is what both see, so the binary that adds a
// listener for the instance puts its own dispatch here for the component's
// notify to call.
struct ComponentInstanceRecord
{
    ComponentRoutine entry = nullptr;
    void* storage = nullptr;
    ComponentDescription description = {};
    std::atomic<AUEventDispatchProc> eventDispatch{nullptr};
};

void SetComponentInstanceStorage(ComponentInstance instance, void* storage);
void* GetComponentInstanceStorage(ComponentInstance instance);
OSStatus GetComponentInfo(Component component, ComponentDescription* description, void* name,
                          void* info, void* icon);
// Calls an instance's entry with the arguments, first to last, as a host does.
// Closing an instance also forgets the listeners this binary added for it, so
// that none hears a later instance opened in the same record.
OSStatus CallComponent(ComponentInstance instance, SInt16 what, std::initializer_list<long> args);
// Another instance's property, parameter and render calls, routed to its entry.
OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* data, UInt32* dataSize);
OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* value);
OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value,
                               UInt32 bufferOffsetInFrames);
OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* flags,
                         const AudioTimeStamp* timeStamp, UInt32 outputBus, UInt32 frames,
                         AudioBufferList* data);
