#include "Bleepforge.h"

#include "IGraphics.h"
#include "denormal.h"
#include "qxOsc.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

const int kUniqueID = 0x73706770; // 'spgp'
const int kMfrID = 0x51726c78;    // 'Qrlx'
const int kOverSampling = 16;
const double kSilentLevelDb = -95.0;
const double kSilentGainDb = -96.0;
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

// pow(x, 1) is x, so the usual exponent of 1 skips the two calls.
double compress(double x, double exponent)
{
    if (exponent == 1.0)
        return x;
    return x > 0.0 ? std::pow(x, exponent) : -std::pow(-x, exponent);
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
    CreateGraphics();
    CreatePresets();
}

void Bleepforge::CreateParams()
{
    for (int i = 0; i < kNumParams; ++i)
        InitParam(static_cast<EParams>(i), GetParam(i));
    for (int i = 0; i < kNumParams; ++i)
        OnParamChange(i);
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
    const double sampleRate = GetSampleRate();
    const int block = GetBlockSize();
    mSampleRate = sampleRate;
    mDecimation.Reset();
    mGainSmoother = CParamSmooth();
    // Each message of a block may bring a pitch-jump pair; pairs wait for up
    // to seven seconds. The queue never grows on the audio thread.
    mMidiReceiver.Resize(3 * block + kPendingMidiReserve);
    const double voiceRate = sampleRate * kOverSampling;
    mSampleRateChanged(voiceRate);
    mPeakMeter.Reset(voiceRate);
    qxOscSettings::setup(qxDSP::heldToInt(voiceRate), NOutChannels(), block);
    mInsideCrusher.Reset(voiceRate);
    mAfterCrusher.Reset(sampleRate);
}

void Bleepforge::OnParamChange(int paramIdx)
{
    IMutexLock lock(this);
    IParam* param = GetParam(paramIdx);
    if (!param)
        return;
    const double v = param->Value();
    const int n = param->Int();
    VoiceManager& vm = mVoiceManager;
    switch (paramIdx)
    {
    case kOutputGain:
        mOutputGain = v < kSilentGainDb ? 0.0 : param->DBToAmp();
        break;
    case kOsc1Type:
    case kOsc2Type:
    case kOsc3Type:
        vm.SetOscType(paramIdx - kOsc1Type, static_cast<Oscilator::OscType>(n));
        break;
    case kOsc1Level:
    case kOsc2Level:
    case kOsc3Level:
    case kWhiteLevel:
    case kPinkLevel:
        vm.SetOscLevel(paramIdx - kOsc1Level, v < kSilentLevelDb ? 0.0 : param->DBToAmp());
        break;
    case kOsc1Octave:
    case kOsc2Octave:
    case kOsc3Octave:
        vm.SetOscOctave(paramIdx - kOsc1Octave, n);
        break;
    case kOsc1Transpose:
    case kOsc2Transpose:
    case kOsc3Transpose:
        vm.SetOscTranspose(paramIdx - kOsc1Transpose, n);
        break;
    case kOsc1Cents:
    case kOsc2Cents:
    case kOsc3Cents:
        vm.SetOscCent(paramIdx - kOsc1Cents, n);
        break;
    case kOsc1SquareDuty:
    case kOsc2SquareDuty:
    case kOsc3SquareDuty:
        vm.SetSquareDuty(paramIdx - kOsc1SquareDuty, v);
        break;
    case kOsc1Phase:
    case kOsc2Phase:
    case kOsc3Phase:
        vm.SetOscPhase(paramIdx - kOsc1Phase, v);
        break;
    case kOsc1EnvDepth:
    case kOsc2EnvDepth:
    case kOsc3EnvDepth:
    case kWhiteEnvDepth:
    case kPinkEnvDepth:
        vm.SetOscEnvDepth(paramIdx - kOsc1EnvDepth, v);
        break;
    case kAmpEnvAttack:
        vm.SetEnvAttack(v);
        break;
    case kAmpEnvHold:
        vm.SetEnvHold(v);
        break;
    case kAmpEnvDecay:
        vm.SetEnvDecay(v);
        break;
    case kAmpEnvSustain:
        vm.SetEnvSustain(v);
        break;
    case kAmpEnvRelease:
        vm.SetEnvRelease(v);
        break;
    case kPitchHighNote:
        vm.SetPitchHighNote(n);
        break;
    case kPitchLowNote:
        vm.SetPitchLowNote(n);
        break;
    case kPitchDuration:
        vm.SetPitchDuration(v);
        break;
    case kPitchStart:
        vm.SetPitchStart(v);
        break;
    case kPitchEnd:
        vm.SetPitchEnd(v);
        break;
    case kPitchCurve:
        vm.SetPitchSlope(v);
        break;
    case kFilterLPCutoff:
        vm.SetLPFilterCutoff(v);
        break;
    case kFilterLPResonance:
        vm.SetLPFilterResonance(v);
        break;
    case kFilterLPEnvDepth:
        vm.SetLPFilterDepth(v);
        break;
    case kFilterHPCutoff:
        vm.SetHPFilterCutoff(v);
        break;
    case kFilterHPResonance:
        vm.SetHPFilterResonance(v);
        break;
    case kFilterHPEnvDepth:
        vm.SetHPFilterDepth(v);
        break;
    case kCompressionFactor:
        mCompressionExponent = 1.0 / (1.0 + 4.0 * v);
        break;
    case kPitchJumpTranspose:
        mPitchJumpTranspose = n;
        break;
    case kPitchJumpDelay:
        mPitchJumpDelay = v;
        break;
    case kPitchJumpTime:
        mPitchJumpTime = v;
        break;
    case kPitchJumpTrigger:
        mPitchJumpTrigger = n;
        break;
    case kFilterEnvAttack:
        vm.SetFilterEnvAttack(v);
        break;
    case kFilterEnvHold:
        vm.SetFilterEnvHold(v);
        break;
    case kFilterEnvDecay:
        vm.SetFilterEnvDecay(v);
        break;
    case kFilterEnvSustain:
        vm.SetFilterEnvSustain(v);
        break;
    case kFilterEnvRelease:
        vm.SetFilterEnvRelease(v);
        break;
    case kBitCrushPosition:
        mBitCrushPosition = n;
        break;
    case kBitCrushSampleRate:
        mInsideCrusher.SetupSR(v);
        mAfterCrusher.SetupSR(v);
        break;
    case kBitCrushBitDepth:
        mInsideCrusher.SetupBD(v);
        mAfterCrusher.SetupBD(v);
        break;
    case kMutation:
        mMutationAmount = v / 100.0;
        break;
    default:
        break;
    }
}

void Bleepforge::ProcessMidiMsg(IMidiMsg* msg)
{
    mMidiReceiver.onMessageReceived(msg);
    if (mPitchJumpDelay != 0.0)
        QueuePitchJump(*msg);
    SendMidiMsg(msg);
    if (mKeyboard)
        mKeyboard->SetDirty(true); // repaint the keys the host holds
}

// The on-screen key, polled once per block, becomes at most one note-off and
// one note-on through the ordinary MIDI path.
void Bleepforge::processVirtualKeyboard()
{
    if (!mKeyboard)
        return;
    int key = -1, velocity = 0;
    mKeyboard->GetKeyAndVelocity(&key, &velocity);
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
    out = clip(compress(out, mCompressionExponent));
    denormal_fix_double_aggressive(&out);
    return mGainSmoother(mOutputGain) * out;
}

void Bleepforge::ProcessDoubleReplacing(double**, double** outputs, int nFrames)
{
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
    if (mEditor)
    {
        mEditor->SetControlFromPlug(mMeterIdxL, mPeakMeter.GetValueL());
        mEditor->SetControlFromPlug(mMeterIdxR, mPeakMeter.GetValueR());
    }
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
    return kAudioUnitErr_InvalidProperty;
}

OSStatus Bleepforge::SetCustomProperty(AudioUnitPropertyID propID, UInt32 dataSize,
                                       const void* data)
{
    if (propID != kPropertyRandomSeed)
        return kAudioUnitErr_InvalidProperty;
    if (!data || dataSize < sizeof(UInt32))
        return kAudioUnitErr_InvalidPropertyValue;
    UInt32 seed;
    std::memcpy(&seed, data, sizeof seed);
    SeedRandom(seed);
    return noErr;
}

void Bleepforge::SeedRandom(unsigned seed)
{
    qxDSP::seedRandom(seed);
}
