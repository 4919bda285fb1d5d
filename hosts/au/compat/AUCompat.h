#pragma once

// The Apple interfaces the adapter calls, for platforms without the SDK: the
// types and constants carry Apple's names and values, with 64-bit native layouts.
#include "CFCompat.h"

#include <cstdint>

typedef int32_t OSStatus;
typedef int32_t SInt32;
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

enum
{
    noErr = 0,
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
    kAudioUnitProperty_Latency = 12,
    kAudioUnitProperty_PresentPreset = 36,
};

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

// Delivers the event to every listener registered in this process.
OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent);
// In-process registration, standing in for the system's listener objects.
OSStatus AUCompatAddEventListener(AUEventListenerProc proc, void* refCon);
OSStatus AUCompatRemoveEventListener(AUEventListenerProc proc, void* refCon);

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
