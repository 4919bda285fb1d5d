// What each parameter changes in the engine, one row per parameter in table
// order, beside the parameter table itself: OnParamChange runs the row. A new
// parameter gets its row here; a per-voice setting is one of Voice's and
// reaches every voice through VoiceManager::Apply.
#include "Bleepforge.h"

namespace
{

const double kSilentLevelDb = -95.0;
const double kSilentGainDb = -96.0;

using OscType = Oscilator::OscType;

// The value a setting takes from its parameter.
double realOf(const IParam& p)
{
    return p.Value();
}
int intOf(const IParam& p)
{
    return p.Int();
}
OscType typeOf(const IParam& p)
{
    return static_cast<OscType>(p.Int());
}
// -96 ... -95 dB is silence.
double levelOf(const IParam& p)
{
    return p.Value() < kSilentLevelDb ? 0.0 : p.DBToAmp();
}

} // namespace

struct Bleepforge::ParamBinding
{
    using Apply = void (*)(Bleepforge& plug, const IParam& param);
    EParams param;
    Apply apply;

    // A setting of every voice, of one source when kSource is given.
    template <class T, void (Voice::*kSet)(T), T (*kOf)(const IParam&)>
    static void voices(Bleepforge& plug, const IParam& p)
    {
        plug.mVoiceManager.Apply(kSet, kOf(p));
    }
    template <int kSource, class T, void (Voice::*kSet)(int, T), T (*kOf)(const IParam&)>
    static void source(Bleepforge& plug, const IParam& p)
    {
        plug.mVoiceManager.Apply(kSet, kSource, kOf(p));
    }
    template <int kSource> static void type(Bleepforge& plug, const IParam& p)
    {
        source<kSource, OscType, &Voice::SetOscType, typeOf>(plug, p);
    }
    template <int kSource> static void level(Bleepforge& plug, const IParam& p)
    {
        source<kSource, double, &Voice::SetOscLevel, levelOf>(plug, p);
    }
    template <int kSource, void (Voice::*kSet)(int, int)>
    static void sourceWhole(Bleepforge& plug, const IParam& p)
    {
        source<kSource, int, kSet, intOf>(plug, p);
    }
    template <int kSource, void (Voice::*kSet)(int, double)>
    static void sourceReal(Bleepforge& plug, const IParam& p)
    {
        source<kSource, double, kSet, realOf>(plug, p);
    }
    template <void (Voice::*kSet)(double)> static void real(Bleepforge& plug, const IParam& p)
    {
        voices<double, kSet, realOf>(plug, p);
    }
    template <void (Voice::*kSet)(int)> static void whole(Bleepforge& plug, const IParam& p)
    {
        voices<int, kSet, intOf>(plug, p);
    }

    // The instrument's own stages.
    static void outputGain(Bleepforge& plug, const IParam& p)
    {
        plug.mOutputGain = p.Value() < kSilentGainDb ? 0.0 : p.DBToAmp();
    }
    static void compression(Bleepforge& plug, const IParam& p)
    {
        plug.mCompressionExponent = 1.0 / (1.0 + 4.0 * p.Value());
    }
    static void jumpTranspose(Bleepforge& plug, const IParam& p) { plug.mPitchJumpTranspose = p.Int(); }
    static void jumpDelay(Bleepforge& plug, const IParam& p) { plug.mPitchJumpDelay = p.Value(); }
    static void jumpTime(Bleepforge& plug, const IParam& p) { plug.mPitchJumpTime = p.Value(); }
    static void jumpTrigger(Bleepforge& plug, const IParam& p) { plug.mPitchJumpTrigger = p.Int(); }
    static void crushPosition(Bleepforge& plug, const IParam& p) { plug.mBitCrushPosition = p.Int(); }
    static void crushRate(Bleepforge& plug, const IParam& p)
    {
        plug.mInsideCrusher.SetupSR(p.Value());
        plug.mAfterCrusher.SetupSR(p.Value());
    }
    static void crushDepth(Bleepforge& plug, const IParam& p)
    {
        plug.mInsideCrusher.SetupBD(p.Value());
        plug.mAfterCrusher.SetupBD(p.Value());
    }
    static void mutation(Bleepforge& plug, const IParam& p) { plug.mMutationAmount = p.Value() / 100.0; }
};

namespace
{

using B = Bleepforge::ParamBinding;

constexpr B kRows[] = {
    {kOutputGain, B::outputGain},
    {kOsc1Type, B::type<0>},
    {kOsc2Type, B::type<1>},
    {kOsc3Type, B::type<2>},
    {kOsc1Level, B::level<0>},
    {kOsc2Level, B::level<1>},
    {kOsc3Level, B::level<2>},
    {kWhiteLevel, B::level<Voice::kWhiteNoiseSource>},
    {kPinkLevel, B::level<Voice::kPinkNoiseSource>},
    {kOsc1Octave, B::sourceWhole<0, &Voice::SetOscOctave>},
    {kOsc2Octave, B::sourceWhole<1, &Voice::SetOscOctave>},
    {kOsc3Octave, B::sourceWhole<2, &Voice::SetOscOctave>},
    {kOsc1Transpose, B::sourceWhole<0, &Voice::SetOscTranspose>},
    {kOsc2Transpose, B::sourceWhole<1, &Voice::SetOscTranspose>},
    {kOsc3Transpose, B::sourceWhole<2, &Voice::SetOscTranspose>},
    {kOsc1Cents, B::sourceWhole<0, &Voice::SetOscCent>},
    {kOsc2Cents, B::sourceWhole<1, &Voice::SetOscCent>},
    {kOsc3Cents, B::sourceWhole<2, &Voice::SetOscCent>},
    {kOsc1SquareDuty, B::sourceReal<0, &Voice::SetSquareDuty>},
    {kOsc2SquareDuty, B::sourceReal<1, &Voice::SetSquareDuty>},
    {kOsc3SquareDuty, B::sourceReal<2, &Voice::SetSquareDuty>},
    {kOsc1Phase, B::sourceReal<0, &Voice::SetOscPhase>},
    {kOsc2Phase, B::sourceReal<1, &Voice::SetOscPhase>},
    {kOsc3Phase, B::sourceReal<2, &Voice::SetOscPhase>},
    {kOsc1EnvDepth, B::sourceReal<0, &Voice::SetOscEnvDepth>},
    {kOsc2EnvDepth, B::sourceReal<1, &Voice::SetOscEnvDepth>},
    {kOsc3EnvDepth, B::sourceReal<2, &Voice::SetOscEnvDepth>},
    {kWhiteEnvDepth, B::sourceReal<Voice::kWhiteNoiseSource, &Voice::SetOscEnvDepth>},
    {kPinkEnvDepth, B::sourceReal<Voice::kPinkNoiseSource, &Voice::SetOscEnvDepth>},
    {kAmpEnvAttack, B::real<&Voice::SetEnvAttack>},
    {kAmpEnvHold, B::real<&Voice::SetEnvHold>},
    {kAmpEnvDecay, B::real<&Voice::SetEnvDecay>},
    {kAmpEnvSustain, B::real<&Voice::SetEnvSustain>},
    {kAmpEnvRelease, B::real<&Voice::SetEnvRelease>},
    {kPitchHighNote, B::whole<&Voice::SetPitchHighNote>},
    {kPitchLowNote, B::whole<&Voice::SetPitchLowNote>},
    {kPitchDuration, B::real<&Voice::SetPitchDuration>},
    {kPitchStart, B::real<&Voice::SetPitchStart>},
    {kPitchEnd, B::real<&Voice::SetPitchEnd>},
    {kPitchCurve, B::real<&Voice::SetPitchSlope>},
    {kFilterLPCutoff, B::real<&Voice::SetLPFilterCutoff>},
    {kFilterLPResonance, B::real<&Voice::SetLPFilterResonance>},
    {kFilterLPEnvDepth, B::real<&Voice::SetLPFilterDepth>},
    {kFilterHPCutoff, B::real<&Voice::SetHPFilterCutoff>},
    {kFilterHPResonance, B::real<&Voice::SetHPFilterResonance>},
    {kFilterHPEnvDepth, B::real<&Voice::SetHPFilterDepth>},
    {kCompressionFactor, B::compression},
    {kPitchJumpTranspose, B::jumpTranspose},
    {kPitchJumpDelay, B::jumpDelay},
    {kPitchJumpTime, B::jumpTime},
    {kPitchJumpTrigger, B::jumpTrigger},
    {kFilterEnvAttack, B::real<&Voice::SetFilterEnvAttack>},
    {kFilterEnvHold, B::real<&Voice::SetFilterEnvHold>},
    {kFilterEnvDecay, B::real<&Voice::SetFilterEnvDecay>},
    {kFilterEnvSustain, B::real<&Voice::SetFilterEnvSustain>},
    {kFilterEnvRelease, B::real<&Voice::SetFilterEnvRelease>},
    {kBitCrushPosition, B::crushPosition},
    {kBitCrushSampleRate, B::crushRate},
    {kBitCrushBitDepth, B::crushDepth},
    {kMutation, B::mutation},
};

constexpr bool rowsInTableOrder()
{
    int i = 0;
    for (const B& row : kRows)
    {
        if (row.param != i++)
            return false;
    }
    return i == kNumParams;
}
static_assert(rowsInTableOrder(), "one row per parameter, in the order of EParams");

} // namespace

// While the host's audio thread takes no lock, the engine's changes wait for
// it; Mutation % steers only the editor's Mutate and applies at once.
void Bleepforge::OnParamChange(int paramIdx)
{
    IMutexLock lock(this);
    const IParam* param = GetParam(paramIdx);
    if (!param)
        return;
    if (AudioThreadTakesNoLock() && paramIdx != kMutation)
        mPendingChanges.Post(paramIdx, param->Value());
    else
        kRows[paramIdx].apply(*this, *param);
}

void Bleepforge::applyPendingChanges()
{
    mPendingChanges.TakeAll(
        [this](int paramIdx, double value)
        {
            IParam& param = mEngineParams[static_cast<size_t>(paramIdx)];
            param.Set(value);
            kRows[paramIdx].apply(*this, param);
        });
}

void Bleepforge::SetParameterOnAudioThread(int paramIdx, double value)
{
    IParam* param = GetParam(paramIdx);
    if (!param)
        return;
    param->SetAsPlayed(value);
    ShowParam(paramIdx, param->Value(), false);
    kRows[paramIdx].apply(*this, *param);
}
