#include "Levels.h"

#include "PortableMath.h"
#include "KIT_Text.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

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
    return peak > 0.0 ? bf_pow(10.0, dbfs / 20.0) / peak : 1.0;
}

void ApplyGain(RenderResult& audio, double gain)
{
    for (std::vector<double>* channel : {&audio.left, &audio.right})
        for (double& x : *channel)
            x *= gain;
}

double DecibelsToGain(double db)
{
    return bf_pow(10.0, db / 20.0);
}

double GainInDecibels(double gain)
{
    return 20.0 * bf_log10(gain);
}

namespace
{

const double kDefaultPeak = -1.0;     // dBFS
const double kDefaultLoudness = -16.0; // LUFS
const double kAbsoluteGate = -70.0;    // LUFS
const int kLoudnessPasses = 4;
const double kLoudnessTolerance = 0.01; // LU

std::string decibels(const char* format, double db)
{
    char text[32];
    std::snprintf(text, sizeof text, format, db);
    return text;
}

} // namespace

// The loudness and true peak of a sound scaled by a gain, as written.
class LoudnessMeter
{
public:
    LoudnessMeter(double rate, int channels, double gain)
        : mState(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                              EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK),
                 [](ebur128_state* s) { ebur128_destroy(&s); }),
          mChannels(channels), mGain(gain),
          // libebur128's block: four times its 100 ms, rounded as it rounds them
          mBlockFrames(4 * ((static_cast<long>(rate) + 5) / 10))
    {
        if (!mState)
            throw std::runtime_error("cannot measure loudness at " + std::to_string(rate) + " Hz");
    }

    void Add(const double* left, const double* right, long frames)
    {
        mInterleaved.resize(static_cast<size_t>(frames) * static_cast<size_t>(mChannels));
        for (long i = 0; i < frames; ++i)
        {
            const size_t at = static_cast<size_t>(i) * static_cast<size_t>(mChannels);
            if (mChannels == 1)
            {
                mInterleaved[at] = 0.5 * (left[i] * mGain + right[i] * mGain);
                continue;
            }
            mInterleaved[at] = left[i] * mGain;
            mInterleaved[at + 1] = right[i] * mGain;
        }
        ebur128_add_frames_double(mState.get(), mInterleaved.data(), static_cast<size_t>(frames));
        mFrames += frames;
    }

    bool HoldsWholeBlock() const { return mFrames >= mBlockFrames; }

    // In LUFS, once the whole sound is in; -inf when nothing passes the
    // absolute gate. A sound shorter than a block is padded with silence to
    // one block, whose loudness is then the window holding it all.
    double Loudness()
    {
        double lufs = -HUGE_VAL;
        if (HoldsWholeBlock())
        {
            if (ebur128_loudness_global(mState.get(), &lufs) != EBUR128_SUCCESS)
                return -HUGE_VAL;
            return lufs;
        }
        const long missing = mBlockFrames - mFrames;
        mInterleaved.assign(static_cast<size_t>(missing) * static_cast<size_t>(mChannels), 0.0);
        ebur128_add_frames_double(mState.get(), mInterleaved.data(), static_cast<size_t>(missing));
        if (ebur128_loudness_momentary(mState.get(), &lufs) != EBUR128_SUCCESS || lufs < kAbsoluteGate)
            return -HUGE_VAL;
        return lufs;
    }

    // The higher channel's, linear.
    double TruePeak() const
    {
        double highest = 0.0;
        for (int channel = 0; channel < mChannels; ++channel)
        {
            double peak = 0.0;
            if (ebur128_true_peak(mState.get(), static_cast<unsigned>(channel), &peak) == EBUR128_SUCCESS)
                highest = std::max(highest, peak);
        }
        return highest;
    }

private:
    std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> mState;
    int mChannels;
    double mGain;
    long mBlockFrames;
    long mFrames = 0; // of the sound, not the padding
    std::vector<double> mInterleaved;
};

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

Leveler::Leveler(const Normalization& asked, double rate, int channels)
    : mAsked(asked), mRate(rate), mChannels(channels)
{
    if (asked.kind == Normalization::kLoudness)
        mMeter = std::make_unique<LoudnessMeter>(rate, channels, 1.0);
}

Leveler::~Leveler() = default;

void Leveler::Add(const double* left, const double* right, long frames)
{
    if (mMeter)
        mMeter->Add(left, right, frames);
    for (long i = 0; i < frames; ++i)
    {
        if (mChannels == 1)
            mPeak = std::fmax(mPeak, std::fabs(0.5 * (left[i] + right[i])));
        else
            mPeak = std::fmax(mPeak, std::fmax(std::fabs(left[i]), std::fabs(right[i])));
    }
}

Leveling Leveler::Finish(const SoundReplay& replay)
{
    Leveling done;
    if (mAsked.kind == Normalization::kNone || mPeak == 0.0)
        return done;
    done.level = mAsked.target;
    if (mAsked.kind == Normalization::kPeak)
    {
        done.measure = Leveling::kPeak;
        done.gain = PeakGain(mPeak, mAsked.target);
        return done;
    }
    const double lufs = mMeter->Loudness(), truePeak = mMeter->TruePeak();
    if (!std::isfinite(lufs) || truePeak <= 0.0)
        return Leveling{};
    done.measure = mMeter->HoldsWholeBlock() ? Leveling::kIntegrated : Leveling::kMomentary;
    double gain = DecibelsToGain(mAsked.target - lufs);
    for (int pass = 0; pass < kLoudnessPasses; ++pass)
    {
        LoudnessMeter scaled(mRate, mChannels, gain);
        replay([&scaled](const double* left, const double* right, long frames)
               { scaled.Add(left, right, frames); });
        const double measured = scaled.Loudness();
        if (!std::isfinite(measured) || std::fabs(measured - mAsked.target) < kLoudnessTolerance)
            break;
        gain *= DecibelsToGain(mAsked.target - measured);
    }
    const double most = DecibelsToGain(kTruePeakCeiling) / truePeak;
    done.ceilingHeld = most < gain;
    done.gain = std::min(gain, most);
    done.level += GainInDecibels(done.gain / gain);
    return done;
}

Leveling LevelSound(const RenderResult& audio, double rate, const Normalization& asked, int channels)
{
    Leveler leveler(asked, rate, channels);
    const SoundReplay play = [&audio](const FrameSink& sink)
    { sink(audio.left.data(), audio.right.data(), static_cast<long>(audio.left.size())); };
    play([&leveler](const double* left, const double* right, long frames) { leveler.Add(left, right, frames); });
    return leveler.Finish(play);
}

std::string DescribeLeveling(const std::string& file, const Leveling& done, const Normalization& asked)
{
    const std::string name = file == "-" ? "standard output: " : "'" + file + "': ";
    if (done.measure == Leveling::kSilent)
        return name + "silent" +
               (asked.kind == Normalization::kLoudness
                    ? " (nothing above the " + decibels("%.0f", kAbsoluteGate) + " LUFS gate)"
                    : "") +
               ", written as it renders";
    const char* measure = done.measure == Leveling::kPeak         ? "dBFS peak"
                          : done.measure == Leveling::kIntegrated ? "LUFS integrated loudness"
                                                                  : "LUFS maximum momentary loudness "
                                                                    "(shorter than 400 ms)";
    std::string line = name + "normalised by " + decibels("%+.2f", GainInDecibels(done.gain)) +
                       " dB to " + decibels("%.1f", done.level) + " " + measure;
    if (done.ceilingHeld)
        line += ", held there by the " + decibels("%.0f", kTruePeakCeiling) +
                " dBTP true-peak ceiling (not " + decibels("%.1f", asked.target) + " LUFS)";
    return line;
}
