#pragma once

#include "LV2Host.h"
#include "LV2Plugin.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>

#include <cstring>
#include <memory>
#include <vector>

// The LV2 adapter driven as a host drives it, without loading the module:
// the built bundle's images, every port connected, MIDI queued per run.
struct LV2PluginHarness
{
    // Buffers for four blocks of maxBlock; a host that gives no bound gives
    // no options at all.
    explicit LV2PluginHarness(int maxBlock = 256, double rate = 48000.0, bool bounded = true)
        : maxLength(maxBlock), left(static_cast<size_t>(maxBlock) * 4), right(left.size()),
          sequence(1 << 13)
    {
        const LV2_URID intType = urids.Map(LV2_ATOM__Int);
        sequenceType = urids.Map(LV2_ATOM__Sequence);
        midiEvent = urids.Map(LV2_MIDI__MidiEvent);
        options = {{LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                    intType, &maxLength},
                   {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        const LV2_Feature map = {LV2_URID__map, urids.MapFeature()},
                          opts = {LV2_OPTIONS__options, options.data()};
        const LV2_Feature* features[] = {&map, bounded ? &opts : nullptr, nullptr};
        plugin.reset(BleepforgeLV2::Create(rate, features));
        for (int i = 0; i < kNumParams; ++i)
        {
            controls[i] = static_cast<float>(paramProperties[i].defaultValue);
            plugin->ConnectPort(static_cast<uint32_t>(i), &controls[i]);
        }
        plugin->ConnectPort(kLV2MidiIn, sequence.data());
        plugin->ConnectPort(kLV2OutLeft, left.data());
        plugin->ConnectPort(kLV2OutRight, right.data());
        plugin->ConnectPort(kLV2MeterLeft, &meters[0]);
        plugin->ConnectPort(kLV2MeterRight, &meters[1]);
        clearMidi();
        plugin->Activate();
    }
    LV2_Atom_Sequence* midi() { return reinterpret_cast<LV2_Atom_Sequence*>(sequence.data()); }
    void clearMidi()
    {
        midi()->atom.type = sequenceType;
        midi()->atom.size = sizeof(LV2_Atom_Sequence_Body);
        midi()->body.unit = midi()->body.pad = 0;
    }
    void queue(int64_t frame, uint8_t status, uint8_t data1, uint8_t data2)
    {
        struct
        {
            LV2_Atom_Event event;
            uint8_t bytes[8];
        } m = {};
        m.event.time.frames = frame;
        m.event.body.type = midiEvent;
        m.event.body.size = 3;
        m.bytes[0] = status;
        m.bytes[1] = data1;
        m.bytes[2] = data2;
        lv2_atom_sequence_append_event(midi(), sequence.size() * 8 - sizeof(LV2_Atom), &m.event);
    }
    void run(uint32_t frames)
    {
        plugin->Run(frames);
        clearMidi();
    }

    URIDMap urids;
    LV2_URID sequenceType = 0, midiEvent = 0;
    int32_t maxLength;
    std::vector<LV2_Options_Option> options;
    std::unique_ptr<BleepforgeLV2> plugin;
    float controls[kNumParams] = {};
    float meters[2] = {};
    std::vector<float> left, right;
    std::vector<uint64_t> sequence;
};
