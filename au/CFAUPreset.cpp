#include "CFAUPreset.h"

#include <cstdio>
#include <new>

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber,
                               CFStringRef presetName)
{
    auto* record = new (std::nothrow) CFAUPreset;
    if (!record)
        return nullptr;
    record->preset.presetNumber = presetNumber;
    record->preset.presetName = presetName ? static_cast<CFStringRef>(CFRetain(presetName)) : nullptr;
    record->reserved = 0;
    record->allocator = allocator;
    record->retainCount = 1;
    return record;
}

const void* CFAUPresetRetain(const void* preset)
{
    auto* record = const_cast<CFAUPreset*>(static_cast<const CFAUPreset*>(preset));
    if (!record)
        return preset;
    if (record->preset.presetName)
        CFRetain(record->preset.presetName);
    ++record->retainCount;
    return preset;
}

void CFAUPresetRelease(const void* preset)
{
    auto* record = const_cast<CFAUPreset*>(static_cast<const CFAUPreset*>(preset));
    if (!record || record->retainCount <= 0)
        return;
    if (record->preset.presetName)
        CFRelease(record->preset.presetName);
    if (--record->retainCount > 0)
        return;
    record->preset.presetNumber = 0;
    record->preset.presetName = nullptr;
    delete record;
}

CFStringRef CFAUPresetCopyDescription(const void* preset)
{
    const auto* record = static_cast<const CFAUPreset*>(preset);
    char name[256] = "";
    if (record->preset.presetName)
        CFStringGetCString(record->preset.presetName, name, sizeof name, kCFStringEncodingUTF8);
    char text[320];
    std::snprintf(text, sizeof text, "AUPreset:\npreset number = %d\npreset name = %s",
                  static_cast<int>(record->preset.presetNumber), name);
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

Boolean CFAUPresetEqual(const void* a, const void* b)
{
    const auto* x = static_cast<const CFAUPreset*>(a);
    const auto* y = static_cast<const CFAUPreset*>(b);
    return x->preset.presetNumber == y->preset.presetNumber &&
           CFStringCompare(x->preset.presetName, y->preset.presetName, 0) == 0;
}

const CFArrayCallBacks kCFAUPresetArrayCallBacks = {
    0, [](CFAllocatorRef, const void* value) { return CFAUPresetRetain(value); },
    [](CFAllocatorRef, const void* value) { CFAUPresetRelease(value); }, CFAUPresetCopyDescription,
    CFAUPresetEqual};
