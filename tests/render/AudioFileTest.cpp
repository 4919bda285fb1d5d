#include "ScratchTest.h"
#include "AudioFile.h"
#include "ShareCode.h"
#include "SoundState.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

class AudioFileTest : public ScratchTest
{
protected:
    std::string bytesOf(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // A short chirp with its sound, through a writer announced for mostFrames.
    void write(const std::string& name, const AudioFormat& format, long mostFrames,
               const ByteChunk& state, double rate = 44100.0)
    {
        std::vector<double> left(kFrames), right(kFrames);
        for (long i = 0; i < kFrames; ++i)
            left[i] = right[i] = 0.5 * std::sin(0.001 * static_cast<double>(i * i));
        AudioWriter writer(path(name), format, rate, mostFrames,
                           AudioTags{"test", EncodeShareCode(state)});
        writer.Write(left.data(), right.data(), kFrames);
        writer.Commit();
    }

    // The frames libsndfile reads back, and the file's format.
    long framesIn(const std::string& name, int* format = nullptr) const
    {
        SF_INFO info = {};
        SNDFILE* sound = sf_open(path(name).c_str(), SFM_READ, &info);
        if (!sound)
            return -1;
        std::vector<double> samples(4096 * static_cast<size_t>(info.channels));
        long frames = 0;
        for (sf_count_t n; (n = sf_readf_double(sound, samples.data(), 4096)) > 0;)
            frames += n;
        sf_close(sound);
        if (format)
            *format = info.format;
        return frames;
    }

    static ByteChunk someState(double value)
    {
        ByteChunk state;
        const int version = 0x10000;
        state.PutBytes(&version, sizeof version);
        for (int i = 0; i < kNumParams; ++i)
            state.PutBytes(&value, sizeof value);
        return state;
    }

    static constexpr long kFrames = 20000;
};

RenderRequest requestFor(double rate, double seconds)
{
    RenderRequest request;
    request.rate = rate;
    request.lengthSeconds = seconds;
    return request;
}

} // namespace

// RIFF counts its bytes in 32 bits: past 4 GiB a WAV is RF64, below it stays
// the WAV every reader knows. The writer decides from the frames announced, so
// a small file proves what a large one gets.
TEST_F(AudioFileTest, WavsThatWouldOutgrowFourGiBAreRF64AndReadBack)
{
    const AudioFormat doubles{Container::kWav, SampleFormat::kDouble, 2};
    const long fourGiB = (1L << 32) / 16;
    EXPECT_TRUE(NeedsRF64(doubles, fourGiB));
    EXPECT_TRUE(NeedsRF64(doubles, fourGiB - 1)); // the header would carry it past
    EXPECT_FALSE(NeedsRF64(doubles, fourGiB / 8 * 7));
    EXPECT_TRUE(NeedsRF64(doubles, 720L * 384000)); // the render that came out wrapped
    EXPECT_FALSE(NeedsRF64({Container::kWav, SampleFormat::kPcm16, 1}, 720L * 384000));

    const ByteChunk state = someState(0.25);
    write("small.wav", doubles, fourGiB / 8 * 7, state);
    write("large.wav", doubles, 720L * 384000, state);
    EXPECT_EQ(bytesOf("small.wav").substr(0, 4), "RIFF");
    EXPECT_EQ(bytesOf("large.wav").substr(0, 4), "RF64");
    int format = 0;
    EXPECT_EQ(framesIn("large.wav", &format), kFrames);
    EXPECT_EQ(format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    EXPECT_EQ(BytesOf(ReadSoundFromAudio(path("large.wav"))), BytesOf(state));
}

// Sizes settled for fewer frames would wrap; the writer stops instead, and an
// AIFF, which has no larger form, is refused before anything renders.
TEST_F(AudioFileTest, NoFileGetsMoreAudioThanItsSizesHold)
{
    std::vector<double> block(100, 0.1);
    {
        AudioWriter writer(path("a.wav"), {Container::kWav, SampleFormat::kPcm16, 2}, 44100.0,
                           150, AudioTags{});
        writer.Write(block.data(), block.data(), 100);
        EXPECT_THROW(writer.Write(block.data(), block.data(), 100), std::runtime_error);
    }
    EXPECT_NE(access(path("a.wav").c_str(), F_OK), 0);

    try
    {
        OutputFormat(path("a.aiff"), SampleFormat::kPcm16, 2, requestFor(384000, 3600));
        ADD_FAILURE() << "an AIFF past 4 GiB was accepted";
    }
    catch (const UsageError& e)
    {
        EXPECT_NE(std::string(e.what()).find("4 GiB"), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(OutputFormat(path("a.aiff"), SampleFormat::kPcm16, 2, requestFor(384000, 600)));
    EXPECT_NO_THROW(OutputFormat(path("a.wav"), SampleFormat::kDouble, 2, requestFor(384000, 3600)));
}

// Each container at the edge of the rates it carries: the last one it takes
// writes a file that reads back, the next one is refused naming the limit.
TEST_F(AudioFileTest, RatesAreCheckedAgainstTheContainerBeforeRendering)
{
    struct Edge
    {
        const char* name;
        double fits, refused;
        const char* limit;
    };
    const Edge edges[] = {{"a.ogg", 200000, 200001, "200000 Hz"},
                          {"a.flac", 65535, 65537, "65535 Hz only in steps of 10"},
                          {"b.flac", 65540, 100001, "steps of 10"},
                          {"a.mp3", 48000, 96000, "44100, 48000 Hz"},
                          {"b.mp3", 8000, 7999, "8000, 11025"}};
    for (const Edge& edge : edges)
    {
        const AudioFormat format =
            OutputFormat(path(edge.name), SampleFormat::kPcm16, 1, requestFor(edge.fits, 0.5));
        write(edge.name, format, kFrames, someState(0.5), edge.fits);
        EXPECT_GT(framesIn(edge.name), 0) << edge.name;
        try
        {
            OutputFormat(path(edge.name), SampleFormat::kPcm16, 1, requestFor(edge.refused, 0.5));
            ADD_FAILURE() << edge.name << " at " << edge.refused << " Hz was accepted";
        }
        catch (const UsageError& e)
        {
            EXPECT_NE(std::string(e.what()).find(edge.limit), std::string::npos) << e.what();
        }
    }
    EXPECT_NO_THROW(OutputFormat(path("a.wav"), SampleFormat::kPcm16, 2, requestFor(384000, 1)));
    EXPECT_NO_THROW(OutputFormat(path("a.aiff"), SampleFormat::kPcm16, 2, requestFor(384000, 1)));
}

// The same sound gives the same bytes in every container, Ogg (whose stream
// number libsndfile draws at random) included, and every one of them opens
// again as that sound.
TEST_F(AudioFileTest, EveryContainerIsReproducibleAndCarriesItsSound)
{
    const ByteChunk state = someState(0.75);
    for (const char* extension : {".wav", ".flac", ".ogg", ".aiff", ".mp3"})
    {
        const AudioFormat format =
            OutputFormat(path(extension), SampleFormat::kPcm16, 2, requestFor(44100, 1));
        write(std::string("a") + extension, format, kFrames, state);
        write(std::string("b") + extension, format, kFrames, state);
        const std::string first = std::string("a") + extension;
        EXPECT_EQ(bytesOf(first), bytesOf(std::string("b") + extension)) << extension;
        EXPECT_TRUE(LooksLikeAudioFile(path(first))) << extension;
        EXPECT_EQ(BytesOf(ReadSoundFromAudio(path(first))), BytesOf(state)) << extension;
    }
    // Every page of the renumbered stream passes its checksum: all frames read.
    EXPECT_EQ(framesIn("a.ogg"), kFrames);
    write("other.ogg", OutputFormat(path("o.ogg"), SampleFormat::kPcm16, 2, requestFor(44100, 1)),
          kFrames, someState(0.5));
    EXPECT_NE(bytesOf("a.ogg").substr(14, 4), bytesOf("other.ogg").substr(14, 4))
        << "two sounds share one stream number";
}
