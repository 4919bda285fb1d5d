#include "Levels.h"

#include <cmath>

SoundLevels MeasureLevels(const RenderResult& audio)
{
    SoundLevels levels;
    double sum = 0.0;
    for (const std::vector<double>* channel : {&audio.left, &audio.right})
    {
        for (double x : *channel)
        {
            levels.peak = std::fmax(levels.peak, std::fabs(x));
            levels.clipped += std::fabs(x) >= 1.0;
            sum += x;
        }
    }
    const size_t samples = audio.left.size() + audio.right.size();
    levels.dcOffset = samples ? sum / static_cast<double>(samples) : 0.0;
    return levels;
}

double PeakGain(double peak, double dbfs)
{
    return peak > 0.0 ? std::pow(10.0, dbfs / 20.0) / peak : 1.0;
}

void ApplyGain(RenderResult& audio, double gain)
{
    for (std::vector<double>* channel : {&audio.left, &audio.right})
        for (double& x : *channel)
            x *= gain;
}

double GainInDecibels(double gain)
{
    return 20.0 * std::log10(gain);
}
