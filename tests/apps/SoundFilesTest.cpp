// The standalone app's file work against the built bundle: sounds survive a
// save and an open in both formats, a damaged file changes nothing, and an
// export is the sound bleepforge render makes of the same note.
#include "Generating.h"
#include "RenderBundleLeaks.h"
#include "SoundFiles.h"
#include "StateCodec.h"
#include "SoundState.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace
{

const AudioUnitParameterID kOsc1Type = 0;
const AudioUnitParameterID kAmpEnvHold = 29;

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SoundFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bleepforge-sounds-XXXXXX";
        mDir = mkdtemp(pattern);
        ASSERT_EQ(unit.Configure(44100, 512), noErr);
        ASSERT_EQ(unit.Initialize(), noErr);
    }
    void TearDown() override { std::system(("rm -rf '" + mDir + "'").c_str()); }
    std::string path(const std::string& name) const { return mDir + "/" + name; }
    float osc1Type()
    {
        float value = -1;
        unit.GetParameter(kOsc1Type, &value);
        return value;
    }

    std::string mDir;
    AUBundle bundle{BLEEPFORGE_BUNDLE};
    RenderBundle renders{bundle};
    AUInstance unit{bundle};
};

TEST_F(SoundFilesTest, BothFormatsBringTheSoundBackAndDamageChangesNothing)
{
    ASSERT_EQ(unit.SetParameter(kOsc1Type, 2), noErr);
    SaveSound(unit, path("square.bin"));
    SaveSound(unit, path("square.aupreset"));
    EXPECT_EQ(slurp(path("square.bin")).size(), 484u);
    for (const char* name : {"square.bin", "square.aupreset"})
    {
        unit.SetParameter(kOsc1Type, 0);
        OpenSound(bundle, unit, path(name));
        EXPECT_EQ(osc1Type(), 2) << name;
    }

    const std::string whole = slurp(path("square.bin"));
    std::ofstream(path("short.bin"), std::ios::binary) << whole.substr(0, 300);
    std::ofstream(path("bad.aupreset"), std::ios::binary) << "<plist>";
    unit.SetParameter(kOsc1Type, 1);
    EXPECT_THROW(OpenSound(bundle, unit, path("short.bin")), std::exception);
    EXPECT_THROW(OpenSound(bundle, unit, path("bad.aupreset")), std::exception);
    EXPECT_THROW(OpenSound(bundle, unit, path("missing.bin")), std::exception);
    EXPECT_EQ(osc1Type(), 1);
    EXPECT_THROW(SaveSound(unit, path("no-such-folder/x.bin")), std::exception);
}

struct Read
{
    SF_INFO info = {};
    std::vector<double> samples;
};

Read readAudio(const std::string& path)
{
    Read read;
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &read.info);
    if (!sound)
        return read;
    read.samples.resize(static_cast<size_t>(read.info.frames * read.info.channels));
    sf_readf_double(sound, read.samples.data(), read.info.frames);
    sf_close(sound);
    return read;
}

// Both of the Audio Unit's setters, as a host calls them: a fraction is kept
// as the whole value the parameter plays, the nearest as the host shows it,
// and the saved sound holds that.
TEST(AudioUnitSetters, KeepTheWholeValueAParameterPlays)
{
    const AudioUnitParameterID type = 1, octave = 9; // Osc1 Type and Osc1 Octave
    AUBundle bundle{BLEEPFORGE_BUNDLE};
    AUInstance unit{bundle};
    ASSERT_EQ(unit.SetParameter(type, 3.7f), noErr);
    float kept = 0.0f;
    unit.GetParameter(type, &kept);
    EXPECT_EQ(kept, 4.0f);
    AudioUnitSetParameterProc set = nullptr;
    UInt32 size = sizeof set;
    ASSERT_EQ(unit.GetProperty(kAudioUnitProperty_FastDispatch, 0, kAudioUnitSetParameterSelect, &set, &size),
              noErr);
    ASSERT_TRUE(set);
    ASSERT_EQ(set(unit.Handle()->storage, octave, kAudioUnitScope_Global, 0, -1.5f, 0), noErr);
    const ByteChunk state = CurrentState(unit);
    const std::vector<double> values = StateValues(state);
    EXPECT_EQ(values[type], 4.0);
    EXPECT_EQ(values[octave], -1.0);
}

TEST_F(SoundFilesTest, ExportIsTheHeldNoteBleepforgeRenders)
{
    // The default envelope: attack 0.01 s, hold and decay 0.001 s each.
    ExportSettings stereo;
    stereo.format.channels = 2;
    stereo.normalise = false;
    EXPECT_EQ(ExportSound(renders, unit, stereo, path("export.wav")), 1.0);
    const std::string command = std::string(BLEEPFORGE_CLI) + " render --note 60:127:0:0.012 -o '" +
                                path("render.wav") + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Read exported = readAudio(path("export.wav")), rendered = readAudio(path("render.wav"));
    ASSERT_EQ(exported.info.channels, 2);
    ASSERT_EQ(exported.samples.size(), rendered.samples.size());
    ASSERT_GT(exported.info.frames, 4410); // more than a tenth of a second
    // A host hears single precision, so a 16-bit sample may round one step apart.
    double worst = 0;
    for (size_t i = 0; i < exported.samples.size(); ++i)
        worst = std::max(worst, std::fabs(exported.samples[i] - rendered.samples[i]));
    EXPECT_LE(worst, 1.0 / 32768 + 1e-12);
}

// Envelopes of attack, hold and decay in seconds from the knobs' whole range
// 0.001 ... 10, drawn by a fixed sequence on the knobs' 0.001 steps, as values
// are typed; the first few are the range's ends.
std::vector<std::array<double, 3>> drawnEnvelopes(size_t count)
{
    std::vector<std::array<double, 3>> envelopes = {
        {0.001, 0.001, 0.001}, {10, 0.001, 0.001}, {0.001, 0.001, 10}, {0.001, 10, 0.001}};
    std::mt19937_64 bits(20261210);
    const auto draw = [&] {
        const double unit = static_cast<double>(bits() >> 11) * 0x1p-53;
        // Most of them short, to render quickly.
        return std::round(std::pow(10000.0, unit * unit * unit)) / 1000;
    };
    while (envelopes.size() < count)
        envelopes.push_back({draw(), draw(), draw()});
    return envelopes;
}

// The note Export plays is the sound's own, its length read from the state's
// doubles as the command line reads it, so a file holds the same frames
// whichever of them wrote it. At 8000 Hz a millisecond is 8 frames, so every
// envelope on the knobs' steps ends its note right on a frame's edge, where
// the least rounding apart moves it a frame.
TEST_F(SoundFilesTest, ExportIsRenderStateFrameForFrameForAnyEnvelope)
{
    ExportSettings exact;
    exact.format = {Container::kWav, SampleFormat::kFloat, 2};
    exact.rate = 8000;
    exact.normalise = false;
    size_t checked = 0;
    for (const std::array<double, 3>& envelope : drawnEnvelopes(200))
    {
        ByteChunk state = CurrentState(unit);
        int32_t version = 0;
        std::vector<double> values(kNumParams);
        ASSERT_EQ(StateCodec::Decode(state.GetBytes(), kStateSize, kNumParams, &version, values.data()), kStateSize);
        values[EParams::kAmpEnvAttack] = envelope[0];
        values[EParams::kAmpEnvHold] = envelope[1];
        values[EParams::kAmpEnvDecay] = envelope[2];
        StateCodec::Encode(version, values.data(), kNumParams, state.GetBytes());
        RestoreFrom(unit, StateDictionary(bundle, state), "the envelope");

        const std::string name = "envelope-" + std::to_string(checked++);
        ExportSound(renders, unit, exact, path(name + ".wav"));
        SaveSound(unit, path(name + ".state"));
        const std::string command = std::string(BLEEPFORGE_CLI) + " render --state '" + path(name + ".state") +
                                    "' --seed 1 --rate 8000 --format float -o '" + path(name + "-render.wav") + "' >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << name;
        const Read exported = readAudio(path(name + ".wav")), rendered = readAudio(path(name + "-render.wav"));
        ASSERT_EQ(exported.info.frames, rendered.info.frames)
            << "attack " << envelope[0] << ", hold " << envelope[1] << ", decay " << envelope[2];
        ASSERT_TRUE(exported.samples == rendered.samples) << name;
        std::filesystem::remove(path(name + ".wav"));
        std::filesystem::remove(path(name + "-render.wav"));
    }
}

// Mono, 24-bit, normalised, in each container that keeps the sound: the file
// reads back as asked, and opens again as the very sound (every state byte).
TEST_F(SoundFilesTest, ExportedFilesHoldWhatWasAskedAndOpenAsTheSound)
{
    ASSERT_EQ(unit.SetParameter(kOsc1Type, 3), noErr);
    const std::string before = BytesOf(CurrentState(unit));
    for (Container container : {Container::kWav, Container::kFlac})
    {
        ExportSettings settings;
        settings.format = {container, SampleFormat::kPcm24, 1};
        settings.rate = 48000;
        const std::string file = path(std::string("sound") + ExtensionOf(container));
        const double gain = ExportSound(renders, unit, settings, file);
        const Read read = readAudio(file);
        ASSERT_EQ(read.info.channels, 1) << file;
        EXPECT_EQ(read.info.samplerate, 48000);
        EXPECT_EQ(read.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24);
        double peak = 0;
        for (double x : read.samples)
            peak = std::max(peak, std::fabs(x));
        EXPECT_NEAR(20 * std::log10(peak), kExportPeak, 0.01) << file;
        EXPECT_NE(gain, 1.0);

        unit.SetParameter(kOsc1Type, 0);
        OpenSound(bundle, unit, file);
        EXPECT_EQ(BytesOf(CurrentState(unit)), before) << file;
    }

    // A damaged code, a WAV of someone else's and a truncated file change nothing.
    std::string wav = slurp(path("sound.wav"));
    const size_t code = wav.rfind("bfs1:"); // in the chunk, which counts before the comment
    ASSERT_NE(code, std::string::npos);
    wav[code + 20] = wav[code + 20] == 'A' ? 'B' : 'A';
    std::ofstream(path("damaged.wav"), std::ios::binary) << wav;
    {
        // Someone else's WAV: a plain header and a few silent samples.
        SF_INFO info = {};
        info.samplerate = 44100;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* foreign = sf_open(path("foreign.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(foreign, nullptr);
        const short silence[64] = {};
        sf_write_short(foreign, silence, 64);
        sf_close(foreign);
    }
    std::ofstream(path("cut.wav"), std::ios::binary) << wav.substr(0, 30);
    unit.SetParameter(kOsc1Type, 1);
    const std::string kept = BytesOf(CurrentState(unit));
    for (const char* name : {"damaged.wav", "foreign.wav", "cut.wav"})
    {
        EXPECT_THROW(OpenSound(bundle, unit, path(name)), std::exception) << name;
        EXPECT_EQ(BytesOf(CurrentState(unit)), kept) << name;
    }
}

// What an audition plays is what Export writes, sample for sample: a fast
// attack (a hit, a jump) is not louder, the noise is the export's seeded
// noise, and the gain is the export's, mono or stereo, by peak or loudness.
TEST_F(SoundFilesTest, WhatIsHeardIsTheExportSampleForSample)
{
    const UInt32 seed = 3;
    unit.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    int files = 0;
    for (const char* kind : {"hit", "jump", "shoot"})
    {
        RunGenerator(unit, kind);
        ExportSettings settings;
        settings.format = {Container::kWav, SampleFormat::kFloat, files % 2 ? 2 : 1};
        settings.rate = 48000;
        settings.loudness = files == 2;
        const std::string file = path("export-" + std::to_string(files++) + ".wav");
        ExportSound(renders, unit, settings, file);
        const Clip heard = ClipOf(renders.Render(ExportJob(unit, 48000), settings));

        SF_INFO info = {};
        SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
        ASSERT_NE(sound, nullptr) << file;
        std::vector<float> written(static_cast<size_t>(info.frames * info.channels));
        sf_readf_float(sound, written.data(), info.frames);
        sf_close(sound);
        ASSERT_EQ(heard.samples.size(), static_cast<size_t>(info.frames)) << kind;
        size_t differing = 0;
        for (size_t i = 0; i < heard.samples.size(); ++i)
            for (int c = 0; c < info.channels; ++c)
                differing += heard.samples[i] != written[i * static_cast<size_t>(info.channels) + static_cast<size_t>(c)];
        EXPECT_EQ(differing, 0u) << kind;
        EXPECT_NE(heard.gain, 1.0) << kind;
    }
}

// Loudness export: normalising the written file again changes nothing (its
// loudness, or its true peak, is where asked), and it is not the peak export.
TEST_F(SoundFilesTest, LoudnessExportLandsWhereTheCommandLineWould)
{
    // A held square wave is loud for its peak, so the true-peak ceiling leaves
    // it at the loudness asked.
    ASSERT_EQ(unit.SetParameter(kOsc1Type, 3), noErr);
    ASSERT_EQ(unit.SetParameter(kAmpEnvHold, 1), noErr);
    ExportSettings settings;
    settings.format = {Container::kWav, SampleFormat::kFloat, 1};
    settings.loudness = true;
    const double loudnessGain = ExportSound(renders, unit, settings, path("loud.wav"));
    settings.loudness = false;
    const double peakGain = ExportSound(renders, unit, settings, path("peak.wav"));
    EXPECT_GT(std::fabs(GainInDecibels(loudnessGain / peakGain)), 0.1);

    const Read read = readAudio(path("loud.wav"));
    RenderResult again;
    again.left = read.samples;
    again.right = read.samples;
    // Measured as the mono file it is, not as two channels of it.
    const Leveling residue =
        LevelSound(again, read.info.samplerate, {Normalization::kLoudness, kExportLoudness}, 1);
    EXPECT_NEAR(GainInDecibels(residue.gain), 0.0, 0.05);
}

// The first block of a note of white noise, from a window's instance of the
// bundle seeded with 42 just before; what happens meanwhile may not change it.
template <class Meanwhile>
std::vector<float> noiseAfterSeeding(const AUBundle& bundle, Meanwhile meanwhile)
{
    AUInstance window(bundle);
    window.Configure(44100, 512);
    window.Initialize();
    const std::vector<AUParameterDescription> params = window.Parameters();
    ApplySetting(window, params, "Osc1 Level=-96");
    ApplySetting(window, params, "White Level=0");
    const UInt32 seed = 42;
    window.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    std::vector<float> left(512), right(512);
    meanwhile([&] {
        window.StartNote(60, 127, 0);
        window.Render({left.data(), right.data()}, 512, 0);
    });
    return left;
}

// The window's instance draws its noise and its generators from one random
// sequence. The strip's and Export's renders, even while the window draws,
// neither reset it nor take from it: a seed there gives the same draws.
TEST_F(SoundFilesTest, RendersNeverTouchTheWindowsRandomSequence)
{
    const std::vector<AUParameterDescription> params = unit.Parameters();
    ApplySetting(unit, params, "Osc1 Level=-96");
    ApplySetting(unit, params, "White Level=0");
    const HostRender job = ExportJob(unit, 44100);

    const std::vector<float> alone = noiseAfterSeeding(bundle, [](auto play) { play(); });
    ASSERT_GT(*std::max_element(alone.begin(), alone.end()), 0.01f);
    const std::vector<float> after = noiseAfterSeeding(bundle, [&](auto play) {
        renders.Render(job, {});
        play();
    });
    EXPECT_EQ(after, alone) << "a render reset the sequence";
    const std::vector<float> during = noiseAfterSeeding(bundle, [&](auto play) {
        std::thread strip([&] { renders.Render(job, {}); });
        play();
        strip.join();
    });
    EXPECT_EQ(during, alone) << "a render drew from the sequence";
}

std::string slotsOfValues(int32_t shown, const std::vector<double>& firstValues)
{
    std::string slots(reinterpret_cast<const char*>(&shown), sizeof shown);
    for (double first : firstValues)
    {
        std::vector<double> values(60, 0.25);
        values[0] = first;
        slots.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double));
    }
    return slots;
}

// Slots go into the instrument whole or not at all, and through their file
// come back byte for byte, the newest kKeptSlots of them.
TEST_F(SoundFilesTest, SlotsAreKeptWholeAndDamageIsCaught)
{
    const std::string three = slotsOfValues(2, {0.1, 0.2, 0.3});
    RestoreSlots(unit, three);
    EXPECT_EQ(SlotsOf(unit), three);
    EXPECT_THROW(RestoreSlots(unit, slotsOfValues(0, {0.5, 2.0})), std::exception);
    EXPECT_THROW(RestoreSlots(unit, slotsOfValues(4, {0.5})), std::exception); // shown beyond them
    EXPECT_THROW(RestoreSlots(unit, three.substr(0, three.size() - 8)), std::exception);
    EXPECT_EQ(SlotsOf(unit), three);

    const std::string file = SlotsFileBytes(three);
    EXPECT_EQ(SlotsFromFileBytes(file), three);
    for (size_t at : {size_t(0), size_t(5), size_t(100), file.size() - 1})
    {
        std::string damaged = file;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x40);
        EXPECT_THROW(SlotsFromFileBytes(damaged), std::runtime_error) << "byte " << at;
    }
    EXPECT_THROW(SlotsFromFileBytes(file.substr(0, 10)), std::runtime_error);

    std::vector<double> many(kKeptSlots + 3);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = static_cast<double>(i) / static_cast<double>(many.size());
    const std::string kept = SlotsFromFileBytes(SlotsFileBytes(slotsOfValues(10, many)));
    const std::vector<double> newest(many.begin() + 3, many.end());
    EXPECT_EQ(kept, slotsOfValues(7, newest));
}

TEST_F(SoundFilesTest, SuggestedNamesNeverReplaceAFile)
{
    EXPECT_EQ(SuggestExportName(mDir, "pickup", Container::kWav), "pickup-1.wav");
    std::ofstream(path("pickup-1.wav")) << "x";
    std::ofstream(path("pickup-2.wav")) << "x";
    EXPECT_EQ(SuggestExportName(mDir, "pickup", Container::kWav), "pickup-3.wav");
    EXPECT_EQ(SuggestExportName(mDir, "pickup", Container::kFlac), "pickup-1.flac");

    // A sound of the list is offered under its own name, numbered past files there.
    ListedSound coin;
    coin.name = "big coin/alt";
    EXPECT_EQ(SuggestExportName(mDir, coin, Container::kOgg), "big coin-alt.ogg");
    std::ofstream(path("big coin-alt.ogg")) << "x";
    EXPECT_EQ(SuggestExportName(mDir, coin, Container::kOgg), "big coin-alt (2).ogg");
    EXPECT_EQ(SuggestExportName(mDir, coin, Container::kWav), "big coin-alt.wav");
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Export several: each listed sound is the file Export writes of it, under its
// name, numbered past files already there, which stay as they were.
TEST_F(SoundFilesTest, ListedSoundsExportAsThemselvesUnderFreeNames)
{
    ExportSettings settings;
    settings.format = {Container::kFlac, SampleFormat::kPcm24, 1};
    settings.rate = 48000;
    ASSERT_EQ(unit.SetParameter(kAmpEnvHold, 0.05f), noErr);
    const std::string held = BytesOf(CurrentState(unit));
    ExportSound(renders, unit, settings, path("held.flac"));
    ASSERT_EQ(unit.SetParameter(kOsc1Type, 3), noErr);
    const std::string other = BytesOf(CurrentState(unit));
    ExportSound(renders, unit, settings, path("other.flac"));

    const std::string folder = path("set");
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/pickup 3.flac") << "mine";
    EXPECT_EQ(ExportListed(renders, held, "pickup 3", settings, folder), folder + "/pickup 3 (2).flac");
    EXPECT_EQ(ExportListed(renders, other, "pickup 3", settings, folder), folder + "/pickup 3 (3).flac");
    EXPECT_EQ(ExportListed(renders, other, "../../up", settings, folder), folder + "/-..-up.flac");
    EXPECT_EQ(slurp(folder + "/pickup 3 (2).flac"), slurp(path("held.flac")));
    EXPECT_EQ(slurp(folder + "/pickup 3 (3).flac"), slurp(path("other.flac")));
    EXPECT_EQ(slurp(folder + "/pickup 3.flac"), "mine");
    // Nothing else is left behind, and the window's sound is untouched.
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"-..-up.flac", "pickup 3 (2).flac",
                                                         "pickup 3 (3).flac", "pickup 3.flac"}));
    EXPECT_EQ(BytesOf(CurrentState(unit)), other);

    settings.format.sample = SampleFormat::kFloat; // FLAC cannot hold it
    EXPECT_THROW(ExportListed(renders, held, "float", settings, folder), std::exception);
    EXPECT_EQ(filesIn(folder).size(), 4u);
}

TEST(ExportNames, ListNamesBecomeNamesEveryDesktopTakes)
{
    EXPECT_EQ(FileNameFor("pickup 3"), "pickup 3");
    EXPECT_EQ(FileNameFor("a/b\\c"), "a-b-c");
    EXPECT_EQ(FileNameFor("what? <now>: \"yes\" | no*"), "what   now    yes    no");
    EXPECT_EQ(FileNameFor("line\nbreak\ttab"), "line break tab");
    EXPECT_EQ(FileNameFor(".hidden."), "hidden");
    EXPECT_EQ(FileNameFor(" .. "), "sound");
    EXPECT_EQ(FileNameFor(""), "sound");
    EXPECT_EQ(FileNameFor("pièce ★"), "pièce ★");
    EXPECT_EQ(FileNameFor(std::string("bad\xff") + "byte"), "bad\xef\xbf\xbd" "byte");
    // Each byte of a character cut short, an overlong form or a surrogate is one U+FFFD.
    EXPECT_EQ(FileNameFor("a\xe2\x98" "b"), "a\xef\xbf\xbd\xef\xbf\xbd" "b");
    EXPECT_EQ(FileNameFor("a\xc0\xafz"), "a\xef\xbf\xbd\xef\xbf\xbdz");
    EXPECT_EQ(FileNameFor("a\xed\xa0\x80z"), "a\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdz");
    EXPECT_EQ(FileNameFor("\xf4\x8f\xbf\xbf"), "\xf4\x8f\xbf\xbf");
    // A long name is cut between characters, never inside one.
    std::string stars;
    for (int i = 0; i < 100; ++i)
        stars += "★"; // three bytes each
    const std::string cut = FileNameFor(stars);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.size() % 3, 0u);
    EXPECT_EQ(stars.compare(0, cut.size(), cut), 0);

    // For a game: lower case ASCII, a run of anything else one underscore.
    EXPECT_EQ(GameFileNameFor("Coin: Gold ★ 2"), "coin_gold_2");
    EXPECT_EQ(GameFileNameFor("laser-v1.final"), "laser-v1.final");
    EXPECT_EQ(GameFileNameFor("★★"), "sound");
    EXPECT_EQ(GameFileNameFor(" .hidden_ "), "hidden");

    EXPECT_EQ(NumberedName("coin", 1, Container::kWav), "coin.wav");
    EXPECT_EQ(NumberedName("coin", 2, Container::kOgg), "coin (2).ogg");
}

// The Export dialog offers per file type what the writer takes, and nothing it refuses.
TEST_F(SoundFilesTest, FileTypesOfferTheSampleFormatsTheyWrite)
{
    for (Container container : {Container::kWav, Container::kFlac, Container::kOgg})
    {
        const std::vector<SampleFormat> offered = SampleFormatsOf(container);
        for (SampleFormat sample : {SampleFormat::kPcm16, SampleFormat::kPcm24, SampleFormat::kFloat})
        {
            ExportSettings settings;
            settings.format = {container, sample, 1};
            const bool isOffered = std::find(offered.begin(), offered.end(), sample) != offered.end();
            const std::string file = path("f" + std::to_string(static_cast<int>(sample)) +
                                          ExtensionOf(container));
            bool written = true;
            try
            {
                ExportSound(renders, unit, settings, file);
            }
            catch (const std::exception&)
            {
                written = false;
            }
            // Without a choice of its own every format writes the same kind of file.
            EXPECT_EQ(written, offered.empty() || isOffered) << file;
        }
    }
}

} // namespace

TEST(KeptSound, EveryUnreadableOneIsMovedAsideUnderItsOwnName)
{
    char pattern[] = "/tmp/bleepforge-kept-XXXXXX";
    const std::string dir = mkdtemp(pattern), kept = dir + "/last-sound.aupreset";
    for (const char* text : {"first", "second", "third"})
    {
        std::ofstream(kept) << text;
        EXPECT_FALSE(MoveAside(kept).empty());
    }
    EXPECT_EQ(slurp(kept + ".unreadable"), "first");
    EXPECT_EQ(slurp(kept + ".unreadable-2"), "second");
    EXPECT_EQ(slurp(kept + ".unreadable-3"), "third");
    EXPECT_EQ(MoveAside(kept), ""); // nothing left to move

    // A second app on the same folder does not get to keep its sound there.
    auto first = std::make_unique<KeepLock>(kept);
    EXPECT_TRUE(first->Held());
    EXPECT_FALSE(KeepLock(kept).Held());
    first.reset();
    EXPECT_TRUE(KeepLock(kept).Held());
    std::system(("rm -rf '" + dir + "'").c_str());
}
