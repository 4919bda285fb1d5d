#pragma once

#include "RenderLoop.h"

#include "KIT_UsageError.h"

#include <functional>
#include <memory>
#include <string>

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
// loudness (EBU R128) to a level in LUFS with the true peak held at or below
// kTruePeakCeiling dBTP. A sound that holds a whole 400 ms block is measured
// by its gated integrated loudness; a shorter one by the loudness of one
// 400 ms window that holds all of it (its maximum momentary loudness).
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

// What normalising did to a sound.
struct Leveling
{
    enum Measure
    {
        kPeak,       // the highest sample
        kIntegrated, // gated integrated loudness
        kMomentary,  // one 400 ms window holding a shorter sound
        kSilent      // nothing to measure (loudness under the -70 LUFS gate): left as it is
    };
    Measure measure = kSilent;
    double gain = 1.0;
    double level = 0.0;       // where the gain brings the measure, in dBFS or LUFS
    bool ceilingHeld = false; // the true-peak ceiling kept the gain below the target
};
// The line that reports it, naming the file ("-" is standard output).
std::string DescribeLeveling(const std::string& file, const Leveling& done, const Normalization& asked);

// Plays a sound again from its start, block by block, into the sink.
using SoundReplay = std::function<void(const FrameSink& sink)>;
class LoudnessMeter;

// Chooses the gain for a sound that arrives block by block, measuring what
// will be written: both channels, or in mono their mean. Memory does not grow
// with the sound's length.
class Leveler
{
public:
    // Throws std::runtime_error for a rate loudness cannot be measured at.
    Leveler(const Normalization& asked, double rate, int channels);
    ~Leveler();
    Leveler(const Leveler&) = delete;
    Leveler& operator=(const Leveler&) = delete;

    void Add(const double* left, const double* right, long frames);
    // The gates make loudness move less than the gain, so the gain is
    // corrected on the scaled sound, which replay plays again.
    Leveling Finish(const SoundReplay& replay);

private:
    Normalization mAsked;
    double mRate;
    int mChannels;
    double mPeak = 0.0;
    std::unique_ptr<LoudnessMeter> mMeter; // for loudness only
};

// A whole result, as Leveler measures a sound written with the channels given.
Leveling LevelSound(const RenderResult& audio, double rate, const Normalization& asked, int channels = 2);
// The gain that brings a peak to the level in dBFS; 1 for silence.
double PeakGain(double peak, double dbfs);
void ApplyGain(RenderResult& audio, double gain);
double GainInDecibels(double gain);
// 10^(dB / 20): exactly 1 for 0 dB.
double DecibelsToGain(double db);
