#pragma once

#include "Bleepforge.h"
#include "LV2Ports.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <memory>

// The data of a feature the host gives, or null.
const void* FindLV2Feature(const LV2_Feature* const* features, const char* uri);
// The value of the host's option with this key, type and size, or null.
const void* FindLV2Option(const LV2_Feature* const* features, LV2_URID_Map* map, const char* key,
                          const char* type, uint32_t size);

// The instrument behind LV2's calls.
//
// Threads. The host's audio thread runs Run. Instantiation, activation and
// Restore run on its main thread, never during Run (LV2's threading classes).
// Save may run during Run on another thread: it reads only mValues, which Run
// and Restore publish, never the instrument. The editor is a separate instance
// in the UI binary and reaches this one only through the ports. Run allocates
// nothing and takes no lock: nothing else touches the instrument meanwhile.
class BleepforgeLV2
{
public:
    // Null without a URID map, or at an impossible rate or bound. The
    // instrument has no editor here: the bundle's images are the UI's.
    static BleepforgeLV2* Create(double rate, const LV2_Feature* const* features);

    void ConnectPort(uint32_t port, void* data);
    void Activate();
    void Run(uint32_t frames);
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    void Seed(uint32_t seed) { mPlug->SeedRandom(seed); }
    // The instrument inside, for what must look at it directly (tests).
    Bleepforge& Instrument() { return *mPlug; }
    uint64_t IdleFrames() const { return static_cast<uint64_t>(mPlug->GetIdleFrames()); }

private:
    BleepforgeLV2(double rate, int maxBlock, LV2_URID_Map* map);
    void PushChangedControls();
    void RenderSpan(const LV2_Atom_Event** next, uint32_t start, uint32_t end, bool last);
    void PublishParams();
    void PublishParam(int index);

    std::unique_ptr<Bleepforge> mPlug;
    int mMaxBlock;
    LV2_URID mMidiEvent, mChunk, mStateKey;
    // Connected by the host on its main thread before Run uses them.
    const float* mControls[kNumParams] = {};
    const LV2_Atom_Sequence* mMidiIn = nullptr;
    float* mOut[2] = {};
    float* mMeter[2] = {};
    // The host's control values as the last Run read them: a port is pushed
    // only when it moves, so a state's exact values survive the host's
    // single-precision ports, and a restore survives the ports it did not
    // set. Run only.
    float mSeen[kNumParams] = {};
    // From a restore until the next Run, which takes the ports as they are
    // as seen. Restore and Run run on the host's threads in turn, never at once.
    bool mRestored = false;
    // The parameter values as the last Run or Restore left them, for Save:
    // written by Run (audio thread) and Restore, read by Save (any thread).
    std::atomic<double> mValues[kNumParams];
    int mStateVersion = 0;
};
