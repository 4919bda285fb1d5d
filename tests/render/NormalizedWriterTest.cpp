#include "ScratchTest.h"
#include "NormalizedWriter.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

const double kRate = 44100.0;

// Two different channels, so that their order and their mean show.
RenderResult chord(double seconds, double level)
{
    RenderResult sound;
    const size_t frames = static_cast<size_t>(seconds * kRate);
    for (size_t i = 0; i < frames; ++i)
    {
        sound.left.push_back(level * std::sin(2 * M_PI * 440.0 * static_cast<double>(i) / kRate));
        sound.right.push_back(level * 0.5 * std::sin(2 * M_PI * 660.0 * static_cast<double>(i) / kRate));
    }
    return sound;
}

std::vector<double> readBack(const std::string& file)
{
    SF_INFO info = {};
    SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
    std::vector<double> samples(in ? static_cast<size_t>(info.frames * info.channels) : 0);
    if (in)
    {
        sf_readf_double(in, samples.data(), info.frames);
        sf_close(in);
    }
    return samples;
}

// Writes the sound in blocks that do not divide the spool's own, and returns
// what normalising did.
Leveling writeInBlocks(const RenderResult& sound, const std::string& file, int channels,
                       const Normalization& asked)
{
    NormalizedWriter writer(file, AudioFormat{Container::kWav, SampleFormat::kDouble, channels}, kRate, asked);
    const long frames = static_cast<long>(sound.left.size()), block = 1000;
    for (long at = 0; at < frames; at += block)
        writer.Write(sound.left.data() + at, sound.right.data() + at, std::min(block, frames - at));
    return writer.Commit(AudioTags{});
}

class NormalizedWriterTest : public ScratchTest
{
protected:

};

} // namespace

// Spooled and read back in pieces, the file still holds exactly the gain the
// whole sound asks for times each rendered sample: both channels in stereo,
// their mean in mono.
TEST_F(NormalizedWriterTest, WritesTheGainTimesEachSampleAsIfTheWholeSoundWereHeld)
{
    const RenderResult sound = chord(1.3, 0.3);
    for (const Normalization& asked : {Normalization{Normalization::kLoudness, -20.0},
                                       Normalization{Normalization::kPeak, -3.0}})
    {
        const Leveling stereo = writeInBlocks(sound, path("stereo.wav"), 2, asked);
        EXPECT_EQ(stereo.gain, LevelSound(sound, kRate, asked).gain);
        const Leveling mono = writeInBlocks(sound, path("mono.wav"), 1, asked);
        EXPECT_EQ(mono.gain, LevelSound(sound, kRate, asked, 1).gain);
        const std::vector<double> stereoSamples = readBack(path("stereo.wav")), monoSamples = readBack(path("mono.wav"));
        ASSERT_EQ(stereoSamples.size(), 2 * sound.left.size());
        ASSERT_EQ(monoSamples.size(), sound.left.size());
        for (size_t i = 0; i < sound.left.size(); ++i)
        {
            const double left = sound.left[i] * stereo.gain, right = sound.right[i] * stereo.gain;
            ASSERT_EQ(stereoSamples[2 * i], left) << i;
            ASSERT_EQ(stereoSamples[2 * i + 1], right) << i;
            ASSERT_EQ(monoSamples[i], 0.5 * (sound.left[i] * mono.gain + sound.right[i] * mono.gain)) << i;
        }
    }
}

// Loudness has no meaning below the absolute gate: such a sound is left as
// it is, and the line says so rather than claiming a gain.
TEST_F(NormalizedWriterTest, ASoundUnderTheGateIsLeftAsItIsAndSaidToBe)
{
    const Normalization asked{Normalization::kLoudness, -16.0};
    for (double seconds : {0.1, 1.0})
    {
        const Leveling done = writeInBlocks(chord(seconds, 1e-5), path("quiet.wav"), 2, asked);
        EXPECT_EQ(done.measure, Leveling::kSilent);
        EXPECT_EQ(done.gain, 1.0);
        EXPECT_NE(DescribeLeveling("quiet.wav", done, asked).find("silent"), std::string::npos);
    }
}
