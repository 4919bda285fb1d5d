#pragma once

#ifdef __APPLE__
#include <AudioUnit/AudioUnit.h>
#else
#include "AUCompat.h"
#endif

// A reference-counted preset record for Core Foundation arrays: the factory
// presets a host reads hold these, retained and released by the array.
struct CFAUPreset
{
    AUPreset preset;
    UInt32 reserved;
    CFAllocatorRef allocator;
    CFIndex retainCount;
};
typedef CFAUPreset* CFAUPresetRef;

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber,
                               CFStringRef presetName);
const void* CFAUPresetRetain(const void* preset);
void CFAUPresetRelease(const void* preset);
CFStringRef CFAUPresetCopyDescription(const void* preset);
Boolean CFAUPresetEqual(const void* a, const void* b);
extern const CFArrayCallBacks kCFAUPresetArrayCallBacks;
