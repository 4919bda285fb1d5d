#pragma once

#include "BleepforgeProperties.h"
#include "GeneratorKinds.h"
#include "IPluginAU.h"
#include "KeyboardLink.h"
#include "MIDIReceiver.h"
#include "Params.h"
#include "PeakMeter.h"
#include "PendingValues.h"
#include "QXBitCrusher2.h"
#include "RandomSource.h"
#include "RelaySignal.h"
#include "SoundRecipe.h"
#include "VoiceManager.h"
#include "besselfilter.h"
#include "qxDSP.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// The instrument: 60 parameters driving four voices at 16 times the host rate,
// bit crushing, Bessel decimation, compression, clip, smoothed gain and a meter.
//
// Threads. The audio thread runs ProcessDoubleReplacing and ProcessMidiMsg; the
// host's main thread runs Reset, OnParamChange, state and OnIdle; all of these
// but the audio entries hold the plug-in mutex, and the host never runs an
// audio entry concurrently with Reset. Once a host has taken the adapter's
// lock-free render or MIDI procedure, OnParamChange applies nothing to the
// engine: it posts the value (mPendingChanges) and the audio thread applies
// it before its next block or MIDI event (Reset too, before it resets).
// What other threads read while audio runs is written by the audio thread
// alone and published through atomics (relaxed: each is a single value, read
// on the next look):
// - the meter values, once per block (PeakMeter);
// - the held-key table and key count, per MIDI event (MIDIReceiver);
// - the idle-frame count, once per block (mIdleFrames);
// - the latest program change, for OnIdle to print (mPendingProgram).
// The GUI thread's on-screen key reaches the audio thread through mOnScreenKey,
// an atomic key-and-velocity pair. An editor, when one is attached, reads the
// meters and held keys from these atomics on its own timer; the instrument
// needs nothing of it, and tells it the slot shown and the about box through
// its view (mView, set once when it attaches, used on the GUI thread).
// The LV2 plug-in's Run sets parameters on the audio thread without the mutex
// (SetParameterOnAudioThread): under LV2's rules nothing else touches that
// instance meanwhile, and its editor is another instance in another binary.

// What the instrument tells an editor attached to it, on the GUI or host main
// thread. The editor's side implements it (Layout.cpp).
class BleepforgeView
{
public:
    virtual ~BleepforgeView() = default;
    virtual void ShowSlotIndex(int index) = 0;
    virtual void ShowAboutBox() = 0;
};

class Bleepforge : public IPluginAU, public IKeyStatusSource
{
public:
    static const int kStateVersion = 0x10000;

    explicit Bleepforge(IPluginInstanceInfo instanceInfo);

    void Reset() override;
    void OnParamChange(int paramIdx) override;
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
    void ProcessMidiMsg(IMidiMsg* msg) override;
    bool SerializeState(ByteChunk* chunk) override;
    int UnserializeState(ByteChunk* chunk, int startPos) override;
    bool CompareState(const unsigned char* data, int startPos) override;

    bool HostRequestingAboutBox() override;

    // Hosts reach the instrument's own properties (BleepforgeProperties.h)
    // through these.
    static_assert(kPropertyIdleFrames >= kFirstCustomProperty, "outside the plug-in's own properties");
    OSStatus GetCustomProperty(AudioUnitPropertyID propID, UInt32* dataSize, void* data) override;
    OSStatus SetCustomProperty(AudioUnitPropertyID propID, UInt32 dataSize, const void* data) override;

    // SetParameterFromHost without the plug-in mutex, for a host whose rules
    // keep every other caller off this instance while its audio thread runs
    // (the LV2 plug-in's Run); the editor's controls follow through atomics.
    void SetParameterOnAudioThread(int paramIdx, double value);
    void SetOverSamping(int factor);
    bool GetKeyStatus(int key) const override { return mMidiReceiver.getKeyStatus(key); }
    int GetNumKeys() const override { return mMidiReceiver.getNumKeys(); }
    // The key the on-screen keyboard holds, played at the next block.
    OnScreenKey& GetOnScreenKey() { return mOnScreenKey; }
    // An attached editor's view; it lives as long as the instrument.
    void SetView(std::unique_ptr<BleepforgeView> view);

    void PresetsChangedByHost() override;

    // The sound generators: each fills the parameters with a new sound of its
    // kind, each value given as a user gives it to its knob (the editor, when
    // one is attached, follows), and keeps it as a new slot. They draw from
    // the instrument's random source, as its noise does.
    void PickupParams();
    void ShootParams();
    void PowerupParams();
    void HitParams();
    void JumpParams();
    void BlitParams();
    void SlashParams();
    void RandomizeParams();
    void MutateParams();
    void ResetParams();
    // Seeds the instrument's random source, which its noise draws from too:
    // the same seed before a generator and a render gives the same sound.
    // Each instrument has its own: others in the process never draw from it.
    void SeedRandom(unsigned seed);
    RandomSource& Random() { return mRandom; }

    // The sound slots: numbered sounds in memory, walked with the slot buttons.
    void PrevData();
    void SaveData();
    void LoadData();
    void NextData() {}
    void BtnPrev();
    void BtnNext();
    void BtnSave();
    int GetSlotIndex() const { return mSlotIndex; }
    int GetNumSlots() const { return static_cast<int>(mSlots.size()); }

    void onProgramChange(int program);
    void OnIdle() override;
    unsigned GetDroppedMidiCount() const { return mMidiReceiver.getDroppedCount(); }

    // Frames rendered since no voice sounds and no queued note (such as a
    // pitch-jump note) waits; 0 when the last frame was not idle.
    long GetIdleFrames() const { return mIdleFrames.load(std::memory_order_relaxed); }
    double GetMeterL() const { return mPeakMeter.GetValueL(); }
    double GetMeterR() const { return mPeakMeter.GetValueR(); }
    // The level an editor's meter shows (0 left, 1 right): this instance's
    // own, unless it shows another's.
    virtual double MeterLevel(int channel) const { return channel == 0 ? GetMeterL() : GetMeterR(); }

    // What each parameter changes in the engine: the rows OnParamChange runs
    // (ParamBindings.cpp).
    struct ParamBinding;

private:
    void CreateParams();
    void processVirtualKeyboard();
    void CreatePresets();
    void ApplyRecipe(int kind);
    void SetAsKnob(int paramIdx, double normalized);
    void ShowSlotIndex();
    OSStatus SetSlots(UInt32 dataSize, const void* data);
    OSStatus RunGenerator(UInt32 dataSize, const void* data);
    OSStatus MakeFromRecipe(UInt32 dataSize, const void* data);
    void QueuePitchJump(const IMidiMsg& msg);
    double RenderFrame(int rate);
    void applyPendingChanges();

    int mLastVirtualKeyboardNote = 11; // audio thread; below 12 means none
    OnScreenKey mOnScreenKey;
    Relay::Signal1<double> mSampleRateChanged;
    double mSampleRate = 44100.0;
    MIDIReceiver mMidiReceiver;
    RandomSource mRandom; // seeded from the clock as the voices' noises are built
    VoiceManager mVoiceManager{mRandom};
    double mCompressionExponent = 1.0;
    int mPitchJumpTranspose = 0;
    double mPitchJumpDelay = 0.0;
    double mPitchJumpTime = 0.0;
    int mBitCrushPosition = 0;
    // Left and right always carry the same signal, so one crusher and one
    // decimation filter serve both channels.
    QXBitCrusher2 mInsideCrusher{44100.0, 16.0};
    QXBitCrusher2 mAfterCrusher{44100.0, 16.0};
    int mPitchJumpTrigger = 0;
    double mMutationAmount = 0.05;
    double mOutputGain = 1.0;
    CParamSmooth mGainSmoother;
    PeakMeter mPeakMeter{0.7, 0.5};
    int mOverSampling = 16;
    KIT_BesselFilterCoeffs mBesselDesign;
    KIT_BesselFilterStage mDecimation;
    std::atomic<long> mIdleFrames{0}; // written by the audio thread, once per block
    // Set once when an editor attaches; its controls belong to the base's
    // graphics context, which outlives it.
    std::unique_ptr<BleepforgeView> mView;
    // Editor thread only.
    int mSlotIndex = 0;
    const char* mLastKind = ""; // a name of the generator kinds, for a host to name files by
    std::vector<std::vector<double>> mSlots;
    static const int kNoProgram = -1;
    std::atomic<int> mPendingProgram{kNoProgram}; // audio thread writes, OnIdle takes
    // Once the host's audio thread takes no lock: the values OnParamChange
    // posts (under the mutex) for the audio thread to apply to the engine,
    // and the audio thread's own copy of each parameter to apply them through.
    PendingValues<kNumParams> mPendingChanges;
    std::vector<IParam> mEngineParams;
};

// The generator a kind names (one of kGeneratorKinds), or null.
using BleepforgeGenerator = void (Bleepforge::*)();
BleepforgeGenerator GeneratorOf(const std::string& kind);
// Makes the recipe's sound in the instrument from its random source as it
// stands (seed it first): the start, each draw in parameter order, Mutate.
// The sound it starts from is the instrument's as it stands unless the
// recipe names one.
void ApplyRecipe(Bleepforge& plug, const Recipe& recipe);
