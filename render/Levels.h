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
// The gain that brings a peak to the level in dBFS; 1 for silence.
double PeakGain(double peak, double dbfs);
void ApplyGain(RenderResult& audio, double gain);
double GainInDecibels(double gain);
