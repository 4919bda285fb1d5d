#include "Params.h"

#include "IParam.h"
#include "qxDSP.h"

#include <cmath>

namespace
{

const double kInvSqrt2 = 0.7071067811865476;
const int kKnobW = 72, kKnobH = 68, kSwitchH = 44;

const char* const kWaveforms[] = {"Off", "Triangle", "Sin", "Square",
                                  "Saw", "Breaker",  "Tan", "Whistle"};
const char* const kJumpTriggers[] = {"On NoteOn", "On NoteOff", "Both"};
const char* const kCrushPositions[] = {"Off", "Inside", "After"};

bool isOscType(int i)
{
    return i >= kOsc1Type && i <= kOsc3Type;
}
bool isThreeWay(int i)
{
    return i == kPitchJumpTrigger || i == kBitCrushPosition;
}
bool isInt(int i)
{
    return (i >= kOsc1Octave && i <= kOsc3Cents) || i == kPitchHighNote || i == kPitchLowNote ||
           i == kPitchJumpTranspose;
}
// Rows whose shape puts the value 1.0 at the middle of the knob.
bool isCentredOnOne(int i)
{
    return i == kPitchCurve || i == kPitchJumpDelay;
}

} // namespace

#define ROW(name, x, y, h, def, lo, hi, step, label, shape, tip)                                   \
    {                                                                                              \
        name, x, y, kKnobW, h, def, lo, hi, step, label, shape, tip                                \
    }

const ParamProperties paramProperties[kNumParams] = {
    ROW("Output Gain", 752, 32, kKnobH, -6, -48, 12, 0.1, "dB", 1, "Output Gain"),
    ROW("Osc1 Type", 32, 32, kKnobH, 1, 0, 7, 1, "", 1, "Osc1 Type"),
    ROW("Osc2 Type", 32, 100, kKnobH, 0, 0, 7, 1, "", 1, "Osc2 Type"),
    ROW("Osc3 Type", 32, 168, kKnobH, 0, 0, 7, 1, "", 1, "Osc3 Type"),
    ROW("Osc1 Level", 104, 32, kKnobH, 0, -96, 0, 0.1, "dB", 1, "Osc1 Level"),
    ROW("Osc2 Level", 104, 100, kKnobH, -96, -96, 0, 0.1, "dB", 1, "Osc2 Level"),
    ROW("Osc3 Level", 104, 168, kKnobH, -96, -96, 0, 0.1, "dB", 1, "Osc3 Level"),
    ROW("White Level", 104, 236, kKnobH, -96, -96, 0, 0.1, "dB", 1, "White Level"),
    ROW("Pink Level", 104, 304, kKnobH, -96, -96, 0, 0.1, "dB", 1, "Pink Level"),
    ROW("Osc1 Octave", 248, 32, kKnobH, 0, -6, 6, 1, "oct", 1, "Osc1 Octave"),
    ROW("Osc2 Octave", 248, 100, kKnobH, 0, -6, 6, 1, "oct", 1, "Osc2 Octave"),
    ROW("Osc3 Octave", 248, 168, kKnobH, 0, -6, 6, 1, "oct", 1, "Osc3 Octave"),
    ROW("Osc1 Transpose", 320, 32, kKnobH, 0, -12, 12, 1, "st", 1, "Osc1 Transpose"),
    ROW("Osc2 Transpose", 320, 100, kKnobH, 0, -12, 12, 1, "st", 1, "Osc2 Transpose"),
    ROW("Osc3 Transpose", 320, 168, kKnobH, 0, -12, 12, 1, "st", 1, "Osc3 Transpose"),
    ROW("Osc1 Cents", 392, 32, kKnobH, 0, -100, 100, 1, "cts", 1, "Osc1 Cents"),
    ROW("Osc2 Cents", 392, 100, kKnobH, 0, -100, 100, 1, "cts", 1, "Osc2 Cents"),
    ROW("Osc3 Cents", 392, 168, kKnobH, 0, -100, 100, 1, "cts", 1, "Osc3 Cents"),
    ROW("Osc1 Square Duty", 536, 32, kKnobH, 0.5, 0.01, 0.5, 0.01, "", 1, "Osc1 Square Duty"),
    ROW("Osc2 Square Duty", 536, 100, kKnobH, 0.5, 0.01, 0.5, 0.01, "", 1, "Osc2 Square Duty"),
    ROW("Osc3 Square Duty", 536, 168, kKnobH, 0.5, 0.01, 0.5, 0.01, "", 1, "Osc3 Square Duty"),
    ROW("Osc1 Phase", 464, 32, kKnobH, 0, 0, 1, 0.001, "", 1, "Osc1 Phase"),
    ROW("Osc2 Phase", 464, 100, kKnobH, 0, 0, 1, 0.001, "", 1, "Osc2 Phase"),
    ROW("Osc3 Phase", 464, 168, kKnobH, 0, 0, 1, 0.001, "", 1, "Osc3 Phase"),
    ROW("Osc1 EnvDepth", 176, 32, kKnobH, 1, 0, 1, 0.01, "", 1, "Osc1 EnvDepth"),
    ROW("Osc2 EnvDepth", 176, 100, kKnobH, 1, 0, 1, 0.01, "", 1, "Osc2 EnvDepth"),
    ROW("Osc3 EnvDepth", 176, 168, kKnobH, 1, 0, 1, 0.01, "", 1, "Osc3 EnvDepth"),
    ROW("Whiite EnvDepth", 176, 236, kKnobH, 1, 0, 1, 0.01, "", 1, "White EnvDepth"),
    ROW("Pink EnvDepth", 176, 304, kKnobH, 1, 0, 1, 0.01, "", 1, "Pink EnvDepth"),
    ROW("Amp Env Attack", 32, 404, kKnobH, 0.01, 0.001, 10, 0.001, "s", 3, "Amp Env Attack"),
    ROW("Amp Env Hold", 104, 404, kKnobH, 0.001, 0.001, 10, 0.001, "s", 3, "Amp Env Hold"),
    ROW("Amp Env Decay", 176, 404, kKnobH, 0.001, 0.001, 10, 0.001, "s", 3, "Amp Env Decay"),
    ROW("Amp Env Sustain", 248, 404, kKnobH, 1, 1e-06, 1, 0.001, "", 2, "Amp Env Sustain"),
    ROW("Amp Env Release", 320, 404, kKnobH, 0.2, 0.001, 10, 0.001, "s", 3, "Amp Env Release"),
    ROW("Pitch High Note", 320, 304, kKnobH, 96, 12, 127, 1, "", 1, "Pitch High Note"),
    ROW("Pitch Low Note", 392, 304, kKnobH, 12, 12, 127, 0.001, "", 1, "Pitch Low Note"),
    ROW("Pitch Duration", 464, 304, kKnobH, 1, 0.001, 10, 0.001, "s", 3, "Pitch Envelope Duration"),
    ROW("Pitch Start", 536, 304, kKnobH, 0, -1, 1, 0.001, "", 1,
        "Pitch Start. -1=starts with the low note; 0=starts with input note pitch; 1=start with "
        "the high note"),
    ROW("Pitch End", 608, 304, kKnobH, 0, -1, 1, 0.001, "", 1,
        "Pitch End. -1=ends with the low note; 0=ends with input note pitch; 1=ends the high "
        "note"),
    ROW("Pitch Curve", 680, 304, kKnobH, 1, 0.125, 8, 0.005, "", 1, "Pitch Curve. 1 = linear"),
    ROW("Filter LP Cutoff", 464, 404, kKnobH, 22050, 0, 22050, 0.1, "Hz", 3, "Filter LP Cutoff"),
    ROW("Filter LP Resonance", 536, 404, kKnobH, kInvSqrt2, kInvSqrt2, 6, 0.001, "", 2,
        "Filter LP Resonance"),
    ROW("Filter LP Env Depth", 608, 404, kKnobH, 0, -1, 1, 0.1, "", 1, "Filter LP Env Depth"),
    ROW("Filter HP Cutoff", 464, 472, kKnobH, 0, 0, 22050, 0.1, "Hz", 3, "Filter HP Cutoff"),
    ROW("Filter HP Resonance", 536, 472, kKnobH, kInvSqrt2, kInvSqrt2, 6, 0.001, "", 2,
        "Filter HP Resonance"),
    ROW("Filter HP Env Depth", 608, 472, kKnobH, 0, -1, 1, 0.1, "", 1, "Filter HP Env Depth"),
    ROW("Compression Factor", 752, 304, kKnobH, 0.3, 0, 1, 0.001, "", 1, "Compression Factor"),
    ROW("Pitch Jump Transpose", 752, 404, kKnobH, 0, -48, 48, 1, "st", 1, "Pitch Jump Transpose"),
    ROW("Pitch Jump Delay", 752, 472, kKnobH, 0, 0, 5, 0.001, "s", 1,
        "Delay to trigger the new note"),
    ROW("Pitch Jump Time", 752, 540, kKnobH, 0.5, 0.01, 2, 0.001, "s", 1,
        "Duration of the new note"),
    ROW("Pitch Jump Trigger", 752, 612, kSwitchH, 0, 0, 2, 1, "", 1,
        "When the new note is created?"),
    ROW("Filter Env Attack", 32, 472, kKnobH, 0.01, 0.001, 10, 0.001, "s", 3, "Filter Env Attack"),
    ROW("Filter Env Hold", 104, 472, kKnobH, 0.001, 0.001, 10, 0.001, "s", 3, "Filter Env Hold"),
    ROW("Filter Env Decay", 176, 472, kKnobH, 0.001, 0.001, 10, 0.001, "s", 3, "Filter Env Decay"),
    ROW("Filter Env Sustain", 248, 472, kKnobH, 1, 0.001, 1, 0.001, "", 2, "Filter Env Sustain"),
    ROW("Filter Env Release", 320, 472, kKnobH, 0.2, 0.001, 10, 0.001, "s", 3,
        "Filter Env Release"),
    ROW("BitCrush Position", 680, 190, kSwitchH, 0, 0, 2, 1, "", 1,
        "BitCrush Position. Inside the oversampling or at the end of the processing."),
    ROW("BitCrush Sample Rate", 680, 32, kKnobH, 44100, 200, 44100, 0.1, "", 1,
        "BitCrush Sample Rate"),
    ROW("BitCrush Bit Depth", 680, 100, kKnobH, 24, 1, 24, 0.01, "", 1, "BitCrush Bit Depth"),
    ROW("Mutation %", 32, 558, kKnobH, 5, 0, 10, 0.1, "", 1, "Mutation %"),
};

#undef ROW

const char* ParamPlainName(EParams index)
{
    return index == kWhiteEnvDepth ? "White EnvDepth" : paramProperties[index].name;
}

bool ParamHasKnob(EParams index)
{
    return paramProperties[index].width > 0;
}

double ParamShape(EParams index)
{
    const ParamProperties& row = paramProperties[index];
    if (isOscType(index) || isThreeWay(index) || isInt(index))
        return 1.0;
    if (isCentredOnOne(index))
        return qxDSP::CalcShapeValue(row.minimum, 1.0, row.maximum);
    return row.shape;
}

void InitParam(EParams index, IParam* param)
{
    const ParamProperties& row = paramProperties[index];
    if (isOscType(index))
    {
        param->InitEnum(row.name, index == kOsc1Type ? 1 : 0, 8, row.label);
        for (int v = 0; v < 8; ++v)
            param->SetDisplayText(v, kWaveforms[v]);
    }
    else if (isInt(index))
    {
        param->InitInt(row.name, static_cast<int>(row.defaultValue), static_cast<int>(row.minimum),
                       static_cast<int>(row.maximum), row.label);
    }
    else if (isThreeWay(index))
    {
        param->InitEnum(row.name, 0, 3, row.label);
        const char* const* texts = index == kPitchJumpTrigger ? kJumpTriggers : kCrushPositions;
        for (int v = 0; v < 3; ++v)
            param->SetDisplayText(v, texts[v]);
    }
    else
    {
        param->InitDouble(row.name, row.defaultValue, row.minimum, row.maximum, row.step, row.label,
                          "", 1.0);
        param->SetShape(ParamShape(index));
    }
}

double getNormalizado(EParams parameter, double low, double high, RandomSource& random)
{
    const ParamProperties& row = paramProperties[parameter];
    const double exponent = 1.0 / ParamShape(parameter);
    const double range = row.maximum - row.minimum;
    const double a = std::pow((low - row.minimum) / range, exponent);
    const double b = std::pow((high - row.minimum) / range, exponent);
    return qxDSP::lerp(a, b, qxDSP::rand01(random));
}
