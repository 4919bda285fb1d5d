#pragma once

#include "StateCodec.h"

// The instrument's 60 parameters, in table order.
enum EParams
{
    kOutputGain = 0,
    kOsc1Type,
    kOsc2Type,
    kOsc3Type,
    kOsc1Level,
    kOsc2Level,
    kOsc3Level,
    kWhiteLevel,
    kPinkLevel,
    kOsc1Octave,
    kOsc2Octave,
    kOsc3Octave,
    kOsc1Transpose,
    kOsc2Transpose,
    kOsc3Transpose,
    kOsc1Cents,
    kOsc2Cents,
    kOsc3Cents,
    kOsc1SquareDuty,
    kOsc2SquareDuty,
    kOsc3SquareDuty,
    kOsc1Phase,
    kOsc2Phase,
    kOsc3Phase,
    kOsc1EnvDepth,
    kOsc2EnvDepth,
    kOsc3EnvDepth,
    kWhiteEnvDepth,
    kPinkEnvDepth,
    kAmpEnvAttack,
    kAmpEnvHold,
    kAmpEnvDecay,
    kAmpEnvSustain,
    kAmpEnvRelease,
    kPitchHighNote,
    kPitchLowNote,
    kPitchDuration,
    kPitchStart,
    kPitchEnd,
    kPitchCurve,
    kFilterLPCutoff,
    kFilterLPResonance,
    kFilterLPEnvDepth,
    kFilterHPCutoff,
    kFilterHPResonance,
    kFilterHPEnvDepth,
    kCompressionFactor,
    kPitchJumpTranspose,
    kPitchJumpDelay,
    kPitchJumpTime,
    kPitchJumpTrigger,
    kFilterEnvAttack,
    kFilterEnvHold,
    kFilterEnvDecay,
    kFilterEnvSustain,
    kFilterEnvRelease,
    kBitCrushPosition,
    kBitCrushSampleRate,
    kBitCrushBitDepth,
    kMutation,
    kNumParams
};

struct ParamProperties
{
    const char* name;
    int x, y;
    int width, height;
    double defaultValue;
    double minimum, maximum;
    double step;
    const char* label;
    double shape;
    const char* tooltip;
};

extern const ParamProperties paramProperties[kNumParams];

// The instrument's state: its version, then the 60 values (484 bytes).
constexpr int kStateSize = StateCodec::Size(kNumParams);

class IParam;

// Fills a parameter from its row: kind, range, shape and display texts.
void InitParam(EParams index, IParam* param);
// The name as users spell it. The table's names keep their slips ("Whiite
// EnvDepth"), which the editor shows and stored sessions hold.
const char* ParamPlainName(EParams index);
// Whether the editor gives the parameter a knob: the values that generators
// and slots give as a user would reach only parameters that have one.
bool ParamHasKnob(EParams index);
// The shape a parameter has once initialised.
double ParamShape(EParams index);
class RandomSource;

// A random normalised value between the normalised positions of low and high;
// draws exactly one random number from the source.
double getNormalizado(EParams parameter, double low, double high, RandomSource& random);
