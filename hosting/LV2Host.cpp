#include "LV2Host.h"

#include "KIT_UsageError.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <stdexcept>

namespace
{

// Room for the MIDI of one block.
const size_t kSequenceBytes = 1 << 16;
const int32_t kZero = 0;

struct Node
{
    explicit Node(LilvNode* node) : mNode(node) {}
    ~Node() { lilv_node_free(mNode); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    operator const LilvNode*() const { return mNode; }
    LilvNode* mNode;
};

LV2PortInfo describePort(LilvWorld* world, const LilvPlugin* plugin, uint32_t index)
{
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
    const Node input(lilv_new_uri(world, LV2_CORE__InputPort)),
        control(lilv_new_uri(world, LV2_CORE__ControlPort)),
        audio(lilv_new_uri(world, LV2_CORE__AudioPort)), atom(lilv_new_uri(world, LV2_ATOM__AtomPort)),
        integer(lilv_new_uri(world, LV2_CORE__integer));
    LV2PortInfo info;
    info.index = index;
    info.symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
    const Node name(lilv_port_get_name(plugin, port));
    info.name = name.mNode ? lilv_node_as_string(name) : info.symbol;
    info.input = lilv_port_is_a(plugin, port, input);
    info.control = lilv_port_is_a(plugin, port, control);
    info.audio = lilv_port_is_a(plugin, port, audio);
    info.atom = lilv_port_is_a(plugin, port, atom);
    info.integer = lilv_port_has_property(plugin, port, integer);
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(plugin, port, &def, &min, &max);
    const Node d(def), lo(min), hi(max);
    info.defaultValue = def ? lilv_node_as_float(d) : 0.0f;
    info.minimum = min ? lilv_node_as_float(lo) : 0.0f;
    info.maximum = max ? lilv_node_as_float(hi) : 1.0f;
    if (LilvScalePoints* points = lilv_port_get_scale_points(plugin, port))
    {
        LILV_FOREACH(scale_points, i, points)
        {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            info.scalePoints.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                                          lilv_node_as_string(lilv_scale_point_get_label(point)));
        }
        lilv_scale_points_free(points);
        std::sort(info.scalePoints.begin(), info.scalePoints.end());
    }
    return info;
}

} // namespace

URIDMap::URIDMap()
{
    mMap.handle = this;
    mMap.map = [](LV2_URID_Map_Handle self, const char* uri)
    { return static_cast<URIDMap*>(self)->Map(uri); };
    mUnmap.handle = this;
    mUnmap.unmap = [](LV2_URID_Unmap_Handle self, LV2_URID id)
    { return static_cast<URIDMap*>(self)->Unmap(id); };
}

LV2_URID URIDMap::Map(const char* uri)
{
    auto found = mIds.emplace(uri, static_cast<LV2_URID>(mUris.size() + 1));
    if (found.second)
        mUris.push_back(&found.first->first);
    return found.first->second;
}

const char* URIDMap::Unmap(LV2_URID id) const
{
    return id >= 1 && id <= mUris.size() ? mUris[id - 1]->c_str() : nullptr;
}

LV2World::LV2World(const std::string& uri, const std::vector<std::string>& ownBundles)
    : mWorld(lilv_world_new())
{
    lilv_world_load_all(mWorld);
    // Without LV2_PATH, the bundles the caller knows of count too.
    for (const std::string& bundle : std::getenv("LV2_PATH") ? std::vector<std::string>() : ownBundles)
    {
        if (LilvNode* node = lilv_new_file_uri(mWorld, nullptr, (bundle + "/").c_str()))
        {
            if (access((bundle + "/manifest.ttl").c_str(), R_OK) == 0)
                lilv_world_load_bundle(mWorld, node);
            lilv_node_free(node);
        }
    }
    {
        const Node wanted(lilv_new_uri(mWorld, uri.c_str()));
        mPlugin = wanted.mNode ? lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), wanted)
                               : nullptr;
    }
    if (!mPlugin)
    {
        lilv_world_free(mWorld);
        throw std::runtime_error("no LV2 plug-in <" + uri +
                                 "> found; set LV2_PATH to the folder that holds Bleepforge.lv2");
    }
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(mPlugin); ++i)
        mPorts.push_back(describePort(mWorld, mPlugin, i));
}

LV2World::~LV2World()
{
    lilv_world_free(mWorld);
}

std::string LV2World::Name() const
{
    const Node name(lilv_plugin_get_name(mPlugin));
    return name.mNode ? lilv_node_as_string(name) : "";
}

std::vector<std::pair<std::string, std::string>> LV2World::Presets() const
{
    std::vector<std::pair<std::string, std::string>> presets;
    const Node presetClass(lilv_new_uri(mWorld, LV2_PRESETS__Preset)),
        label(lilv_new_uri(mWorld, LILV_NS_RDFS "label"));
    LilvNodes* related = lilv_plugin_get_related(mPlugin, presetClass);
    LILV_FOREACH(nodes, i, related)
    {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(mWorld, preset);
        LilvNodes* labels = lilv_world_find_nodes(mWorld, preset, label, nullptr);
        const std::string text = labels ? lilv_node_as_string(lilv_nodes_get_first(labels)) : "";
        lilv_nodes_free(labels);
        presets.emplace_back(text, lilv_node_as_uri(preset));
    }
    lilv_nodes_free(related);
    return presets;
}

LV2Instance::LV2Instance(LV2World& world, double rate, int maxBlock)
    : mWorld(world), mMaxBlock(maxBlock), mValues(world.Ports().size(), 0.0f),
      mAudio(2, std::vector<float>(static_cast<size_t>(maxBlock))),
      mSequence(kSequenceBytes / sizeof(uint64_t))
{
    URIDMap& urids = world.Urids();
    const LV2_URID intType = urids.Map(LV2_ATOM__Int);
    mOptions = {{LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t),
                 intType, &kZero},
                {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                 intType, &mMaxBlock},
                {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    mFeatureRecords = {{LV2_URID__map, urids.MapFeature()},
                       {LV2_URID__unmap, urids.UnmapFeature()},
                       {LV2_OPTIONS__options, mOptions.data()},
                       {LV2_BUF_SIZE__boundedBlockLength, nullptr}};
    for (const LV2_Feature& feature : mFeatureRecords)
        mFeatures.push_back(&feature);
    mFeatures.push_back(nullptr);
    mInstance = lilv_plugin_instantiate(world.Plugin(), rate, mFeatures.data());
    if (!mInstance)
        throw std::runtime_error("the LV2 plug-in refused to instantiate at " +
                                 std::to_string(rate) + " Hz");
    int channel = 0;
    for (const LV2PortInfo& port : world.Ports())
    {
        if (port.control)
        {
            mValues[port.index] = port.defaultValue;
            lilv_instance_connect_port(mInstance, port.index, &mValues[port.index]);
        }
        else if (port.audio && !port.input && channel < 2)
            lilv_instance_connect_port(mInstance, port.index, mAudio[static_cast<size_t>(channel++)].data());
        else if (port.atom && port.input)
            lilv_instance_connect_port(mInstance, port.index, mSequence.data());
        else
            lilv_instance_connect_port(mInstance, port.index, nullptr);
    }
    QueueMidi(-1, 0, 0, 0); // an empty sequence
    mOffline = static_cast<const BleepforgeLV2Offline*>(
        lilv_instance_get_extension_data(mInstance, BLEEPFORGE_LV2_OFFLINE_URI));
    lilv_instance_activate(mInstance);
}

LV2Instance::~LV2Instance()
{
    lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
}

int LV2Instance::ControlNamed(const std::string& name) const
{
    for (const LV2PortInfo& port : mWorld.Ports())
    {
        if (port.control && port.input && (port.name == name || port.symbol == name))
            return static_cast<int>(port.index);
    }
    return -1;
}

// A frame below 0 only empties the sequence.
void LV2Instance::QueueMidi(int frame, uint8_t status, uint8_t data1, uint8_t data2)
{
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(mSequence.data());
    if (frame < 0)
    {
        sequence->atom.type = mWorld.Urids().Map(LV2_ATOM__Sequence);
        sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
        sequence->body.unit = 0;
        sequence->body.pad = 0;
        return;
    }
    struct
    {
        LV2_Atom_Event event;
        uint8_t bytes[8];
    } midi = {};
    midi.event.time.frames = frame;
    midi.event.body.type = mWorld.Urids().Map(LV2_MIDI__MidiEvent);
    midi.event.body.size = 3;
    midi.bytes[0] = status;
    midi.bytes[1] = data1;
    midi.bytes[2] = data2;
    if (!lv2_atom_sequence_append_event(sequence, kSequenceBytes - sizeof(LV2_Atom), &midi.event))
        throw std::runtime_error("too many MIDI events for one block");
}

void LV2Instance::Run(int frames)
{
    if (frames < 0 || frames > mMaxBlock)
        throw std::runtime_error("a block longer than the instance was made for");
    lilv_instance_run(mInstance, static_cast<uint32_t>(frames));
    QueueMidi(-1, 0, 0, 0);
}

void LV2Instance::setPortValue(const char* symbol, void* self, const void* value, uint32_t size,
                               uint32_t type)
{
    auto* instance = static_cast<LV2Instance*>(self);
    const int port = instance->ControlNamed(symbol);
    if (port >= 0 && size == sizeof(float) && type == instance->mWorld.Urids().Map(LV2_ATOM__Float))
        instance->mValues[static_cast<size_t>(port)] = *static_cast<const float*>(value);
}

const void* LV2Instance::portValue(const char* symbol, void* self, uint32_t* size, uint32_t* type)
{
    auto* instance = static_cast<LV2Instance*>(self);
    const int port = instance->ControlNamed(symbol);
    if (port < 0)
        return nullptr;
    *size = sizeof(float);
    *type = instance->mWorld.Urids().Map(LV2_ATOM__Float);
    return &instance->mValues[static_cast<size_t>(port)];
}

const LV2_State_Interface* LV2Instance::stateInterface() const
{
    const auto* iface = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
    if (!iface)
        throw std::runtime_error("the LV2 plug-in keeps no state");
    return iface;
}

void LV2Instance::RestoreState(const LilvState* state)
{
    stateInterface();
    lilv_state_restore(state, mInstance, setPortValue, this, 0, mFeatures.data());
}

void LV2Instance::RestorePreset(const std::string& labelOrUri)
{
    for (const auto& [label, uri] : mWorld.Presets())
    {
        if (label != labelOrUri && uri != labelOrUri)
            continue;
        const Node node(lilv_new_uri(mWorld.World(), uri.c_str()));
        LilvState* state = lilv_state_new_from_world(mWorld.World(), mWorld.Urids().MapFeature(), node);
        if (!state)
            throw std::runtime_error("the preset \"" + labelOrUri + "\" cannot be read");
        RestoreState(state);
        lilv_state_free(state);
        return;
    }
    std::string known;
    for (const auto& preset : mWorld.Presets())
        known += (known.empty() ? "" : ", ") + preset.first;
    throw UsageError("no preset \"" + labelOrUri + "\" (presets: " + known + ")");
}

LilvState* LV2Instance::SaveState()
{
    return lilv_state_new_from_instance(mWorld.Plugin(), mInstance, mWorld.Urids().MapFeature(),
                                        nullptr, nullptr, nullptr, nullptr, portValue, this, 0,
                                        mFeatures.data());
}

std::vector<uint8_t> LV2Instance::StateProperty(const char* key)
{
    const LV2_State_Interface* iface = stateInterface();
    struct Found
    {
        LV2_URID key;
        std::vector<uint8_t> bytes;
    } found{mWorld.Urids().Map(key), {}};
    auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t,
                    uint32_t) -> LV2_State_Status
    {
        auto* wanted = static_cast<Found*>(handle);
        if (key == wanted->key)
            wanted->bytes.assign(static_cast<const uint8_t*>(value),
                                 static_cast<const uint8_t*>(value) + size);
        return LV2_STATE_SUCCESS;
    };
    iface->save(lilv_instance_get_handle(mInstance), store, &found, 0, mFeatures.data());
    return found.bytes;
}

void LV2Instance::RestoreStateProperty(const char* key, const std::vector<uint8_t>& bytes)
{
    const LV2_State_Interface* iface = stateInterface();
    struct Offer
    {
        LV2_URID key, type;
        const std::vector<uint8_t>* bytes;
    } offer{mWorld.Urids().Map(key), mWorld.Urids().Map(LV2_ATOM__Chunk), &bytes};
    auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                       uint32_t* flags) -> const void*
    {
        const auto* offered = static_cast<const Offer*>(handle);
        if (key != offered->key)
            return nullptr;
        *size = offered->bytes->size();
        *type = offered->type;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return offered->bytes->data();
    };
    const LV2_State_Status status =
        iface->restore(lilv_instance_get_handle(mInstance), retrieve, &offer, 0, mFeatures.data());
    if (status != LV2_STATE_SUCCESS)
        throw std::runtime_error("the LV2 plug-in refused the state (status " +
                                 std::to_string(status) + ")");
}

void LV2Instance::Seed(uint32_t seed)
{
    if (!mOffline)
        throw std::runtime_error("this LV2 plug-in cannot be seeded");
    mOffline->seed(lilv_instance_get_handle(mInstance), seed);
}

long LV2Instance::IdleFrames() const
{
    return mOffline ? static_cast<long>(mOffline->idleFrames(lilv_instance_get_handle(mInstance))) : 0;
}
