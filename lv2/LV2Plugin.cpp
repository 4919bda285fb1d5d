#include "LV2Plugin.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <cmath>
#include <cstring>

const void* FindLV2Feature(const LV2_Feature* const* features, const char* uri)
{
    for (int i = 0; features && features[i]; ++i)
    {
        if (std::strcmp(features[i]->URI, uri) == 0)
            return features[i]->data;
    }
    return nullptr;
}

const void* FindLV2Option(const LV2_Feature* const* features, LV2_URID_Map* map, const char* key,
                          const char* type, uint32_t size)
{
    const auto* options = static_cast<const LV2_Options_Option*>(FindLV2Feature(features, LV2_OPTIONS__options));
    const LV2_URID keyId = map->map(map->handle, key), typeId = map->map(map->handle, type);
    for (const LV2_Options_Option* o = options; o && o->key; ++o)
    {
        if (o->key == keyId && o->type == typeId && o->size == size)
            return o->value;
    }
    return nullptr;
}

const int kUnboundedPiece = 4096;

BleepforgeLV2* BleepforgeLV2::Create(double rate, const LV2_Feature* const* features)
{
    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(FindLV2Feature(features, LV2_URID__map)));
    if (!map || !(rate >= 1000.0 && rate <= 768000.0))
        return nullptr;
    // The host's bound when it gives one; otherwise Run cuts what it is given
    // into pieces of a size of our own.
    const void* bound = FindLV2Option(features, map, LV2_BUF_SIZE__maxBlockLength, LV2_ATOM__Int, sizeof(int32_t));
    const int maxBlock = bound ? *static_cast<const int32_t*>(bound) : kUnboundedPiece;
    if (maxBlock <= 0 || maxBlock > (1 << 20))
        return nullptr;
    return new BleepforgeLV2(rate, maxBlock, map);
}

BleepforgeLV2::BleepforgeLV2(double rate, int maxBlock, LV2_URID_Map* map)
    : mPlug(new Bleepforge(IPluginInstanceInfo())), mMaxBlock(maxBlock),
      mMidiEvent(map->map(map->handle, LV2_MIDI__MidiEvent)),
      mChunk(map->map(map->handle, LV2_ATOM__Chunk)),
      mStateKey(map->map(map->handle, BLEEPFORGE_LV2_STATE_URI))
{
    mPlug->SetSampleRate(rate);
    mPlug->SetBlockSize(maxBlock);
    mPlug->SetOutputChannelConnections(0, 2, true);
    mStateVersion = mPlug->GetEffectVersion(false);
    // Until the first Run, the host's ports are taken to hold the defaults
    // its description gives them.
    for (int i = 0; i < kNumParams; ++i)
        mSeen[i] = static_cast<float>(mPlug->GetParam(i)->Value());
    PublishParams();
}

void BleepforgeLV2::PublishParam(int index)
{
    mValues[index].store(mPlug->GetParam(index)->Value(), std::memory_order_relaxed);
}

void BleepforgeLV2::PublishParams()
{
    for (int i = 0; i < kNumParams; ++i)
        PublishParam(i);
}

void BleepforgeLV2::ConnectPort(uint32_t port, void* data)
{
    if (port < static_cast<uint32_t>(kNumParams))
        mControls[port] = static_cast<const float*>(data);
    else if (port == kLV2MidiIn)
        mMidiIn = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port == kLV2OutLeft || port == kLV2OutRight)
        mOut[port - kLV2OutLeft] = static_cast<float*>(data);
    else if (port == kLV2MeterLeft || port == kLV2MeterRight)
        mMeter[port - kLV2MeterLeft] = static_cast<float*>(data);
}

void BleepforgeLV2::Activate()
{
    mPlug->Reset();
}

// A port carries something new only when it moves from what the last Run
// found. After a restore, the ports as the first Run finds them count as
// found: a host may keep stale port values beside the state it restores
// (a session reopened, a preset it saved), and the state is the sound. A host
// that means to move a port does so after that cycle.
void BleepforgeLV2::PushChangedControls()
{
    for (int i = 0; i < kNumParams; ++i)
    {
        if (!mControls[i])
            continue;
        const float value = *mControls[i];
        // A NaN never equals itself: it is ignored rather than pushed each block.
        if (value == mSeen[i] || value != value)
            continue;
        mSeen[i] = value;
        if (mRestored)
            continue;
        mPlug->SetParameterOnAudioThread(i, mPlug->GetParam(i)->AsShownByHost(value));
        PublishParam(i);
    }
}

// The events from *next that fall before end, each at its frame within the
// span, then the span's frames. The last span takes every event left, at its
// last frame at the latest: hosts put events from their UI at the block's end
// (jalv does), and a note must not be lost for that.
void BleepforgeLV2::RenderSpan(const LV2_Atom_Event** next, uint32_t start, uint32_t end, bool last)
{
    while (mMidiIn && !lv2_atom_sequence_is_end(&mMidiIn->body, mMidiIn->atom.size, *next) &&
           ((*next)->time.frames < end || last))
    {
        const LV2_Atom_Event* event = *next;
        *next = lv2_atom_sequence_next(event);
        if (event->body.type != mMidiEvent || event->body.size == 0 || event->body.size > 3)
            continue;
        const auto* bytes = reinterpret_cast<const uint8_t*>(event + 1);
        const int64_t frame = std::min<int64_t>(std::max<int64_t>(event->time.frames, start), end - 1);
        IMidiMsg msg(static_cast<int>(frame - start), bytes[0], event->body.size > 1 ? bytes[1] : 0,
                     event->body.size > 2 ? bytes[2] : 0);
        mPlug->ProcessMidiMsg(&msg);
    }
    float* outputs[] = {mOut[0] + start, mOut[1] + start};
    mPlug->AttachOutputBuffers(0, 2, outputs);
    mPlug->ProcessBuffers(0.0f, static_cast<int>(end - start));
}

void BleepforgeLV2::Run(uint32_t frames)
{
    if (!mOut[0] || !mOut[1])
        return;
    PushChangedControls();
    const LV2_Atom_Event* next = mMidiIn ? lv2_atom_sequence_begin(&mMidiIn->body) : nullptr;
    // A host that breaks its promised bound still gets every frame, in pieces.
    for (uint32_t start = 0; start < frames;)
    {
        const uint32_t end = start + std::min<uint32_t>(frames - start, static_cast<uint32_t>(mMaxBlock));
        RenderSpan(&next, start, end, end == frames);
        start = end;
    }
    mRestored = false;
    if (mMeter[0])
        *mMeter[0] = static_cast<float>(mPlug->GetMeterL());
    if (mMeter[1])
        *mMeter[1] = static_cast<float>(mPlug->GetMeterR());
}

LV2_State_Status BleepforgeLV2::Save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = mValues[i].load(std::memory_order_relaxed);
    unsigned char state[kStateSize];
    StateCodec::Encode(mStateVersion, values, kNumParams, state);
    return store(handle, mStateKey, state, sizeof state, mChunk, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status BleepforgeLV2::Restore(LV2_State_Retrieve_Function retrieve,
                                        LV2_State_Handle handle)
{
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* data = retrieve(handle, mStateKey, &size, &type, &flags);
    if (!data)
        return LV2_STATE_ERR_NO_PROPERTY;
    if (type != mChunk || size != static_cast<size_t>(kStateSize))
        return LV2_STATE_ERR_BAD_TYPE;
    ByteChunk state;
    state.PutBytes(data, static_cast<int>(size));
    if (mPlug->UnserializeState(&state, 0) != static_cast<int>(size))
        return LV2_STATE_ERR_UNKNOWN;
    PublishParams();
    mRestored = true;
    return LV2_STATE_SUCCESS;
}
