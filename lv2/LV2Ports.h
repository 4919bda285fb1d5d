#pragma once

#include "Params.h"

#include <cstdint>

// What the plug-in, its editor, its description and our host agree on: the
// URIs and the port layout.
#define BLEEPFORGE_LV2_URI "urn:vantrell:bleepforge"
#define BLEEPFORGE_LV2_UI_URI BLEEPFORGE_LV2_URI "#ui"
// The instrument's state, as StateCodec lays it out.
#define BLEEPFORGE_LV2_STATE_URI BLEEPFORGE_LV2_URI "#state"
// Our own extension for offline hosts: seeding the noise and knowing when the
// sound has ended. Hosts that do not ask for it never see it.
#define BLEEPFORGE_LV2_OFFLINE_URI BLEEPFORGE_LV2_URI "#offline"

// One input control port per parameter in table order, then these.
enum ELV2Ports : uint32_t
{
    kLV2MidiIn = kNumParams,
    kLV2OutLeft,
    kLV2OutRight,
    kLV2MeterLeft,
    kLV2MeterRight,
    kLV2NumPorts
};

struct BleepforgeLV2Offline
{
    // Seeds the instance's random source, which its noise and generators draw from.
    void (*seed)(void* instance, uint32_t seed);
    // Frames rendered since no voice sounds and no queued note waits.
    uint64_t (*idleFrames)(void* instance);
};
