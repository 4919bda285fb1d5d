#include "Levels.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>

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

long CountFullScale(const double* left, const double* right, long frames)
{
    long clipped = 0;
    for (long i = 0; i < frames; ++i)
        clipped += (std::fabs(left[i]) >= 1.0) + (std::fabs(right[i]) >= 1.0);
    return clipped;
}

std::string ClippingWarning(const std::string& file, long clipped)
{
    if (clipped == 0)
        return "";
    return "warning: " + std::to_string(clipped) + " samples of '" + file +
           "' reach full scale and clip; lower Output Gain, or add --normalize peak (or lufs)";
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

namespace
{

const double kDefaultPeak = -1.0;     // dBFS
const double kDefaultLoudness = -16.0; // LUFS
const int kLoudnessPasses = 4;
const double kLoudnessTolerance = 0.01; // LU

double decibelsToGain(double db)
{
    return std::pow(10.0, db / 20.0);
}

// Integrated loudness and the higher channel's true peak (linear).
void measureLoudness(const RenderResult& audio, double rate, double* lufs, double* truePeak)
{
    std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> state(
        ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK),
        [](ebur128_state* s) { ebur128_destroy(&s); });
    if (!state)
        throw std::runtime_error("cannot measure loudness at this rate");
    std::vector<double> frames(audio.left.size() * 2);
    for (size_t i = 0; i < audio.left.size(); ++i)
    {
        frames[2 * i] = audio.left[i];
        frames[2 * i + 1] = audio.right[i];
    }
    ebur128_add_frames_double(state.get(), frames.data(), audio.left.size());
    if (ebur128_loudness_global(state.get(), lufs) != EBUR128_SUCCESS)
        *lufs = -HUGE_VAL;
    *truePeak = 0.0;
    for (unsigned channel = 0; channel < 2; ++channel)
    {
        double peak = 0.0;
        if (ebur128_true_peak(state.get(), channel, &peak) == EBUR128_SUCCESS)
            *truePeak = std::max(*truePeak, peak);
    }
}

} // namespace

Normalization ParseNormalization(const std::string& text)
{
    const size_t colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    Normalization asked;
    if (kind == "peak")
        asked = {Normalization::kPeak, kDefaultPeak};
    else if (kind == "lufs")
        asked = {Normalization::kLoudness, kDefaultLoudness};
    else
        throw UsageError("--normalize '" + text + "': expected peak[:DBFS] or lufs[:LUFS]");
    if (colon == std::string::npos)
        return asked;
    double target = 0.0;
    const double lowest = asked.kind == Normalization::kPeak ? -60.0 : -70.0;
    if (!ParseNumber(text.substr(colon + 1), &target) || target < lowest || target > 0.0)
        throw UsageError("--normalize '" + text + "': the level must be a number " +
                         std::to_string(static_cast<int>(lowest)) + " ... 0");
    asked.target = target;
    return asked;
}

double NormalizationGain(const RenderResult& audio, double rate, const Normalization& asked)
{
    if (asked.kind == Normalization::kPeak)
        return PeakGain(MeasureLevels(audio).peak, asked.target);
    if (asked.kind == Normalization::kNone)
        return 1.0;
    double lufs = 0.0, truePeak = 0.0;
    measureLoudness(audio, rate, &lufs, &truePeak);
    if (!std::isfinite(lufs) || truePeak <= 0.0)
        return 1.0; // silence, or too short to measure: left as it is
    // The gates make loudness move less than the gain: a few corrections,
    // each measured on the sound as it would be written.
    double gain = decibelsToGain(asked.target - lufs);
    for (int pass = 0; pass < kLoudnessPasses; ++pass)
    {
        RenderResult scaled = audio;
        ApplyGain(scaled, gain);
        double measured = 0.0, ignored = 0.0;
        measureLoudness(scaled, rate, &measured, &ignored);
        if (!std::isfinite(measured) || std::fabs(measured - asked.target) < kLoudnessTolerance)
            break;
        gain *= decibelsToGain(asked.target - measured);
    }
    return std::min(gain, decibelsToGain(kTruePeakCeiling) / truePeak);
}
