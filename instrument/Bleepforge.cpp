#include "Bleepforge.h"

#include "denormal.h"
#include "qxDSP.h"
#include "qxOsc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

const int kUniqueID = 0x73706770; // 'spgp'
const int kMfrID = 0x51726c78;    // 'Qrlx'
const int kOverSampling = 16;
const double kClip = 2.0;
// Room for pitch-jump notes still waiting beyond the current block.
const int kPendingMidiReserve = 8192;
// Below this the decimation filter only carries its own rounding noise.
const double kDecimationFlushLevel = 1e-12;

enum EBitCrushPosition
{
    kCrushOff = 0,
    kCrushInside = 1,
    kCrushAfter = 2
};

enum EPitchJumpTrigger
{
    kJumpOnNoteOn = 0,
    kJumpOnNoteOff = 1,
    kJumpBoth = 2
};

// A frame's voice samples on their way down: the crusher inside the
// oversampling, then the decimation step. It travels by value through the
// voice loop, so that the decimation's state can stay in registers there.
struct DecimationSink
{
    KIT_BesselFilterStage stage;
    const double* coefficients;
    QXBitCrusher2* crusher; // null unless it sits inside the oversampling
    double first = 0.0;     // the stage's output after the frame's first sample

    void operator()(int k, double x)
    {
        if (crusher)
            x = crusher->Process(x, 0);
        denormal_fix_double_aggressive(&x);
        stage.Process(x, coefficients);
        if (k == 0)
            first = stage.Output();
    }
};

// A sample offset that many frames later, held to the int range.
int OffsetAfter(int offset, double frames)
{
    const double later = static_cast<double>(offset) + std::trunc(frames);
    return TruncateToInt(later);
}

double clip(double x)
{
    if (x > kClip)
        return kClip;
    if (x < -kClip)
        return -kClip;
    return x;
}

} // namespace

Bleepforge::Bleepforge(IPluginInstanceInfo instanceInfo)
    : IPluginAU(instanceInfo, kNumParams, "0-1 0-2", 1, "Bleepforge", "", "Vantrell", kStateVersion,
                kUniqueID, kMfrID, 0, true, false, true, 0)
{
    SetOverSamping(kOverSampling);
    CreateParams();
    mSampleRateChanged.Connect(&mVoiceManager, &VoiceManager::setSampleRate);
    mMidiReceiver.mNoteOn.Connect(&mVoiceManager, &VoiceManager::onNoteOn);
    mMidiReceiver.mNoteOff.Connect(&mVoiceManager, &VoiceManager::onNoteOff);
    mMidiReceiver.mProgramChange.Connect(this, &Bleepforge::onProgramChange);
    RedrawParamControls(); // every knob shows its value, editor or not
    CreatePresets();
}

void Bleepforge::CreateParams()
{
    for (int i = 0; i < kNumParams; ++i)
        InitParam(static_cast<EParams>(i), GetParam(i));
    for (int i = 0; i < kNumParams; ++i)
    {
        mEngineParams.push_back(*GetParam(i));
        OnParamChange(i);
    }
}

void Bleepforge::SetOverSamping(int factor)
{
    mOverSampling = factor;
    mBesselDesign.Calc(0.5 / factor);
    mDecimation.Reset();
}

void Bleepforge::Reset()
{
    IMutexLock lock(this);
    applyPendingChanges(); // no audio runs meanwhile
    const double sampleRate = GetSampleRate();
    const int block = GetBlockSize();
    mSampleRate = sampleRate;
    mDecimation.Reset();
    mGainSmoother = CParamSmooth();
    // Each message of a block may bring a pitch-jump pair; pairs wait for up
    // to seven seconds. The queue never grows on the audio thread.
    mMidiReceiver.Resize(3 * block + kPendingMidiReserve);
    const double voiceRate = sampleRate * mOverSampling;
    mSampleRateChanged(voiceRate);
    mPeakMeter.Reset(voiceRate);
    qxOscSettings::setup(qxDSP::heldToInt(voiceRate), NOutChannels(), block);
    mInsideCrusher.Reset(voiceRate);
    mAfterCrusher.Reset(sampleRate);
}

void Bleepforge::ProcessMidiMsg(IMidiMsg* msg)
{
    applyPendingChanges(); // a note plays the pitch jump set before it
    mMidiReceiver.onMessageReceived(msg);
    if (mPitchJumpDelay != 0.0)
        QueuePitchJump(*msg);
    SendMidiMsg(msg);
}

// The on-screen key, polled once per block, becomes at most one note-off and
// one note-on through the ordinary MIDI path.
void Bleepforge::processVirtualKeyboard()
{
    int key = -1, velocity = 0;
    mOnScreenKey.Get(&key, &velocity);
    const int note = key + 12;
    IMidiMsg msg;
    if (mLastVirtualKeyboardNote >= 12 && mLastVirtualKeyboardNote != note)
    {
        msg.MakeNoteOffMsg(mLastVirtualKeyboardNote, 0, 0);
        ProcessMidiMsg(&msg);
    }
    if (note >= 12 && note != mLastVirtualKeyboardNote)
    {
        msg.MakeNoteOnMsg(note, velocity, 0, 0);
        ProcessMidiMsg(&msg);
    }
    mLastVirtualKeyboardNote = note;
}

// The second, transposed note of the pitch jump; one whose number leaves 0 ... 127
// has no key to play and is dropped.
void Bleepforge::QueuePitchJump(const IMidiMsg& msg)
{
    const IMidiMsg::EStatusMsg kind = msg.StatusMsg();
    const bool onNoteOn = kind == IMidiMsg::kNoteOn &&
                          (mPitchJumpTrigger == kJumpOnNoteOn || mPitchJumpTrigger == kJumpBoth);
    const bool onNoteOff = kind == IMidiMsg::kNoteOff &&
                           (mPitchJumpTrigger == kJumpOnNoteOff || mPitchJumpTrigger == kJumpBoth);
    if (!onNoteOn && !onNoteOff)
        return;
    const int note = msg.NoteNumber() + mPitchJumpTranspose;
    if (note < 0 || note > 127)
        return;
    const int start = OffsetAfter(msg.mOffset, mPitchJumpDelay * mSampleRate);
    const int end = OffsetAfter(start, mPitchJumpTime * mSampleRate);
    IMidiMsg jumpOn, jumpOff;
    jumpOn.MakeNoteOnMsg(note, onNoteOn ? msg.Velocity() : 127, start, msg.Channel());
    jumpOff.MakeNoteOffMsg(note, end, msg.Channel());
    mMidiReceiver.onMessagePairReceived(&jumpOn, &jumpOff);
}

// One host-rate frame: the filter output after the first of the frame's voice
// samples; the others only advance the filter. Flattened, so that the voices'
// per-sample work inlines into the frame's loop.
__attribute__((flatten)) double Bleepforge::RenderFrame(int rate)
{
    mMidiReceiver.advance();
    DecimationSink sink{mDecimation, mBesselDesign.Coeffs(),
                        mBitCrushPosition == kCrushInside ? &mInsideCrusher : nullptr};
    sink = mVoiceManager.render(rate, sink);
    mDecimation = sink.stage;
    double out = sink.first;
    if (!mVoiceManager.anyActive())
        mDecimation.FlushIfBelow(kDecimationFlushLevel);
    if (mBitCrushPosition == kCrushAfter)
        out = mAfterCrusher.Process(out, 0);
    out = clip(qxDSP::compress(out, mCompressionExponent));
    denormal_fix_double_aggressive(&out);
    return mGainSmoother(mOutputGain) * out;
}

void Bleepforge::ProcessDoubleReplacing(double**, double** outputs, int nFrames)
{
    applyPendingChanges();
    processVirtualKeyboard();
    const bool rightConnected = IsOutChannelConnected(1);
    mPeakMeter.ProcessInit();
    long idleFrames = mIdleFrames.load(std::memory_order_relaxed);
    for (int s = 0; s < nFrames; ++s)
    {
        const double out = RenderFrame(mOverSampling);
        outputs[0][s] = out;
        if (rightConnected)
            outputs[1][s] = out;
        mPeakMeter.ProcessSample(outputs[0][s], outputs[1][s]);
        const bool idle = !mVoiceManager.anyActive() && !mMidiReceiver.hasPending();
        idleFrames = idle ? idleFrames + 1 : 0;
    }
    mIdleFrames.store(idleFrames, std::memory_order_relaxed);
    mPeakMeter.PostProcess();
    mMidiReceiver.Flush(nFrames);
}

namespace
{

OSStatus answerProperty(const void* value, UInt32 size, UInt32* dataSize, void* data)
{
    *dataSize = size;
    if (data)
        std::memcpy(data, value, size);
    return noErr;
}

} // namespace

// The slots belong to the editor's thread, which is the host's main thread
// that asks for properties.
OSStatus Bleepforge::GetCustomProperty(AudioUnitPropertyID propID, UInt32* dataSize, void* data)
{
    if (propID == kPropertyIdleFrames)
    {
        const UInt64 idle = static_cast<UInt64>(GetIdleFrames());
        return answerProperty(&idle, sizeof idle, dataSize, data);
    }
    if (propID == kPropertySoundSlot)
    {
        const SInt32 slot[2] = {mSlotIndex, GetNumSlots()};
        return answerProperty(slot, sizeof slot, dataSize, data);
    }
    if (propID == kPropertySlots)
    {
        std::vector<unsigned char> bytes(sizeof(SInt32) + mSlots.size() * kNumParams * sizeof(double));
        const SInt32 shown = mSlotIndex;
        std::memcpy(bytes.data(), &shown, sizeof shown);
        for (size_t s = 0; s < mSlots.size(); ++s)
            std::memcpy(&bytes[sizeof shown + s * kNumParams * sizeof(double)], mSlots[s].data(),
                        kNumParams * sizeof(double));
        return answerProperty(bytes.data(), static_cast<UInt32>(bytes.size()), dataSize, data);
    }
    if (propID == kPropertyLastKind)
    {
        char kind[16] = {};
        std::strncpy(kind, mLastKind, sizeof kind - 1);
        return answerProperty(kind, sizeof kind, dataSize, data);
    }
    return kAudioUnitErr_InvalidProperty;
}

OSStatus Bleepforge::SetCustomProperty(AudioUnitPropertyID propID, UInt32 dataSize,
                                       const void* data)
{
    if (propID == kPropertySlots)
        return SetSlots(dataSize, data);
    if (propID == kPropertyGenerate)
        return RunGenerator(dataSize, data);
    if (propID == kPropertyRecipe)
        return MakeFromRecipe(dataSize, data);
    if (propID != kPropertyRandomSeed)
        return kAudioUnitErr_InvalidProperty;
    if (!data || dataSize < sizeof(UInt32))
        return kAudioUnitErr_InvalidPropertyValue;
    UInt32 seed;
    std::memcpy(&seed, data, sizeof seed);
    SeedRandom(seed);
    return noErr;
}

// A host's own keys make sounds as the buttons do. The kind is read only up
// to its end or the property's size, whichever comes first.
OSStatus Bleepforge::RunGenerator(UInt32 dataSize, const void* data)
{
    const size_t most = 16;
    if (!data || dataSize == 0 || dataSize > most)
        return kAudioUnitErr_InvalidPropertyValue;
    const char* text = static_cast<const char*>(data);
    const std::string kind(text, static_cast<size_t>(std::find(text, text + dataSize, '\0') - text));
    const BleepforgeGenerator generator = GeneratorOf(CanonicalKind(kind));
    if (!generator)
        return kAudioUnitErr_InvalidPropertyValue;
    (this->*generator)();
    return noErr;
}

// A host's recipe makes the sound generate makes of it: from the default
// sound, as generate's fresh instrument starts, unless the recipe names a
// sound of its own; a starting kind leaves the values it does not set at
// their defaults, not at what the window held. One damaged anywhere changes nothing.
OSStatus Bleepforge::MakeFromRecipe(UInt32 dataSize, const void* data)
{
    Recipe recipe;
    if (!DecodeRecipe(static_cast<const unsigned char*>(data), dataSize, &recipe).empty())
        return kAudioUnitErr_InvalidPropertyValue;
    if (recipe.sound.Size() == 0)
        ResetParams();
    ::ApplyRecipe(*this, recipe);
    return noErr;
}

void Bleepforge::SetView(std::unique_ptr<BleepforgeView> view)
{
    mView = std::move(view);
}

bool Bleepforge::HostRequestingAboutBox()
{
    IMutexLock lock(this);
    if (mView)
        mView->ShowAboutBox();
    return true;
}

void Bleepforge::SeedRandom(unsigned seed)
{
    mRandom.seed(seed);
}
