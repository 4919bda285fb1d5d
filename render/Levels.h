#pragma once

#include "Requests.h"

// What a rendered sound's samples say of it, over both channels.
struct SoundLevels
{
    double peak = 0.0;     // the largest magnitude
    double dcOffset = 0.0; // the mean
    long clipped = 0;      // samples at or beyond full scale
};

SoundLevels MeasureLevels(const RenderResult& audio);
// Samples of a block at or beyond full scale, in both channels.
long CountFullScale(const double* left, const double* right, long frames);
// The warning for a file whose samples reach full scale; "" when none do.
std::string ClippingWarning(const std::string& file, long clipped);

// What a sound is brought to: its highest sample to a level in dBFS, or its
// integrated loudness (EBU R128) to a level in LUFS with the true peak held
// at or below kTruePeakCeiling dBTP.
struct Normalization
{
    enum Kind
    {
        kNone,
        kPeak,
        kLoudness
    };
    Kind kind = kNone;
    double target = 0.0;
};
const double kTruePeakCeiling = -1.0; // dBTP
// "peak[:DBFS]" (-1 by default) or "lufs[:LUFS]" (-16); throws UsageError.
Normalization ParseNormalization(const std::string& text);
// The gain that brings the sound where asked; 1 for silence.
double NormalizationGain(const RenderResult& audio, double rate, const Normalization& asked);
// The gain that brings a peak to the level in dBFS; 1 for silence.
double PeakGain(double peak, double dbfs);
void ApplyGain(RenderResult& audio, double gain);
double GainInDecibels(double gain);
