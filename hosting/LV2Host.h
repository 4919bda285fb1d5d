#pragma once

#include "LV2Ports.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

// Hosting an LV2 plug-in offline through lilv: finding it by URI on LV2_PATH,
// running instances, their state and presets. Used by lv2host and its tests.

// Every URI mapped to a number, for the features a plug-in asks for.
class URIDMap
{
public:
    URIDMap();
    LV2_URID Map(const char* uri);
    const char* Unmap(LV2_URID id) const;
    LV2_URID_Map* MapFeature() { return &mMap; }
    LV2_URID_Unmap* UnmapFeature() { return &mUnmap; }

private:
    std::map<std::string, LV2_URID> mIds;
    std::vector<const std::string*> mUris;
    LV2_URID_Map mMap;
    LV2_URID_Unmap mUnmap;
};

struct LV2PortInfo
{
    uint32_t index;
    std::string symbol, name;
    bool input = false, control = false, audio = false, atom = false;
    float minimum = 0.0f, maximum = 1.0f, defaultValue = 0.0f;
    bool integer = false;
    std::vector<std::pair<float, std::string>> scalePoints;
};

class LV2World
{
public:
    // Throws std::runtime_error when no plug-in on LV2_PATH has the URI. When
    // LV2_PATH is not set, the bundle folders given are searched too.
    explicit LV2World(const std::string& uri, const std::vector<std::string>& ownBundles = {});
    ~LV2World();
    LV2World(const LV2World&) = delete;
    LV2World& operator=(const LV2World&) = delete;

    LilvWorld* World() const { return mWorld; }
    const LilvPlugin* Plugin() const { return mPlugin; }
    URIDMap& Urids() { return mUrids; }
    const std::vector<LV2PortInfo>& Ports() const { return mPorts; }
    // Labels and URIs of the plug-in's presets.
    std::vector<std::pair<std::string, std::string>> Presets() const;
    std::string Name() const;

private:
    LilvWorld* mWorld;
    const LilvPlugin* mPlugin = nullptr;
    URIDMap mUrids;
    std::vector<LV2PortInfo> mPorts;
};

// One running instance with every port connected: controls at their
// defaults, a MIDI sequence filled between blocks, stereo output.
class LV2Instance
{
public:
    // Throws std::runtime_error when the plug-in refuses to instantiate.
    LV2Instance(LV2World& world, double rate, int maxBlock);
    ~LV2Instance();
    LV2Instance(const LV2Instance&) = delete;
    LV2Instance& operator=(const LV2Instance&) = delete;

    // The index of the input control port named so, or -1.
    int ControlNamed(const std::string& name) const;
    const LV2PortInfo& Port(int index) const { return mWorld.Ports()[static_cast<size_t>(index)]; }
    void SetControl(uint32_t port, float value) { mValues[port] = value; }
    float Control(uint32_t port) const { return mValues[port]; }
    // Queued for the next block, at a frame inside it.
    void QueueMidi(int frame, uint8_t status, uint8_t data1, uint8_t data2);
    void Run(int frames);
    const float* Output(int channel) const { return mAudio[static_cast<size_t>(channel)].data(); }

    // Through the plug-in's state interface; throw std::runtime_error on refusal.
    void RestoreState(const LilvState* state);
    // A preset by its label or URI.
    void RestorePreset(const std::string& labelOrUri);
    // The state as the plug-in saves it (its own property), with the ports.
    LilvState* SaveState();
    // The plug-in's own state property, or empty when it saves no such key.
    std::vector<uint8_t> StateProperty(const char* key);
    // Offers the bytes under the key, as a restore of a saved project would.
    void RestoreStateProperty(const char* key, const std::vector<uint8_t>& bytes);

    // Our plug-in's own offline extension, when the plug-in has it.
    bool CanSeed() const { return mOffline != nullptr; }
    void Seed(uint32_t seed);
    long IdleFrames() const;

private:
    // Throws std::runtime_error when the plug-in keeps no state.
    const LV2_State_Interface* stateInterface() const;
    static void setPortValue(const char* symbol, void* self, const void* value, uint32_t size,
                             uint32_t type);
    static const void* portValue(const char* symbol, void* self, uint32_t* size, uint32_t* type);

    LV2World& mWorld;
    LilvInstance* mInstance = nullptr;
    int32_t mMaxBlock;
    std::vector<float> mValues;
    std::vector<std::vector<float>> mAudio;
    std::vector<uint64_t> mSequence; // 8-byte aligned atoms
    std::vector<LV2_Options_Option> mOptions;
    std::vector<LV2_Feature> mFeatureRecords;
    std::vector<const LV2_Feature*> mFeatures;
    const BleepforgeLV2Offline* mOffline = nullptr;
};
