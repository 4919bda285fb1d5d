#include "CommandTest.h"
#include "PIX.h"
#include "qxDSP.h"

#include <ebur128.h>
#include <sndfile.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

struct CliRun
{
    int status;
    std::string out;
    std::string err;
};

class CliTest : public CommandTest
{
protected:
    // bleepforge (or a copy of it) with the arguments: its status, standard
    // output and error.
    CliRun run(const std::string& args, const std::string& program = BLEEPFORGE_CLI)
    {
        const std::string err = path("stderr.txt");
        const std::string command = "'" + program + "' " + args + " 2>'" + err + "'";
        CliRun result;
        FILE* pipe = popen(command.c_str(), "r");
        std::array<char, 4096> buffer;
        size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            result.out.append(buffer.data(), n);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream in(err);
        result.err.assign(std::istreambuf_iterator<char>(in), {});
        return result;
    }

    bool exists(const std::string& name) const { return access(path(name).c_str(), F_OK) == 0; }

    // generate KIND --seed SEED, into NAME.state and NAME.EXTENSION.
    bool generated(const std::string& kind, int seed, const std::string& name, const std::string& extension)
    {
        return run("generate " + kind + " --seed " + std::to_string(seed) + " --state-out '" +
                   path(name + ".state") + "' -o '" + path(name + "." + extension) + "'")
                   .status == 0;
    }
};

// What a shell command prints.
std::string shellOutput(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[256];
    size_t n;
    while (pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    if (pipe)
        pclose(pipe);
    return out;
}

std::string slurp(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<double> readWav(const std::string& file, SF_INFO* info)
{
    SNDFILE* in = sf_open(file.c_str(), SFM_READ, info);
    if (!in)
        return {};
    std::vector<double> samples(static_cast<size_t>(info->frames * info->channels));
    sf_readf_double(in, samples.data(), info->frames);
    sf_close(in);
    return samples;
}

} // namespace

TEST_F(CliTest, RendersASineAtTheEnginesPitchForNote69)
{
    const CliRun r = run("render --note 69 --set \"Osc1 Type=Sin\" -o '" + path("a.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    SF_INFO info = {};
    const std::vector<double> samples = readWav(path("a.wav"), &info);
    ASSERT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // 0.5 s note, 0.2 s release, 50 ms of tail.
    EXPECT_NEAR(info.frames, 44100 * 0.75, 441);

    // Rising zero crossings over the held part give the frequency.
    int crossings = 0, first = -1, last = -1;
    for (int i = 4410; i < 22050; ++i)
    {
        if (samples[2 * (i - 1)] < 0.0 && samples[2 * i] >= 0.0)
        {
            if (first < 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    const double frequency = 44100.0 * (crossings - 1) / (last - first);
    // The voice tunes every source through CentsToHerz, 0 cents included.
    EXPECT_NEAR(frequency, qxDSP::CentsToHerz(qxDSP::MIDItoHz(69), 0.0), 0.05);

    const CliRun sox = run("render --note 60 -o '" + path("b.wav") + "'");
    ASSERT_EQ(sox.status, 0);
    if (std::system("command -v soxi >/dev/null 2>&1") == 0)
    {
        const std::string soxi = "soxi -c '" + path("b.wav") + "' > '" + path("c.txt") + "'";
        ASSERT_EQ(std::system(soxi.c_str()), 0);
        std::ifstream in(path("c.txt"));
        int channels = 0;
        in >> channels;
        EXPECT_EQ(channels, 2);
    }
}

TEST_F(CliTest, RawOutputMatchesTheWavSamples)
{
    const std::string args = "render --note 64:100:0:0.1 --length 0.2 --format double";
    ASSERT_EQ(run(args + " -o '" + path("d.wav") + "'").status, 0);
    const CliRun raw = run(args + " -o -");
    ASSERT_EQ(raw.status, 0) << raw.err;
    SF_INFO info = {};
    const std::vector<double> samples = readWav(path("d.wav"), &info);
    EXPECT_EQ(info.frames, 8820);
    ASSERT_EQ(raw.out.size(), samples.size() * sizeof(double));
    std::vector<double> fromPipe(samples.size());
    std::memcpy(fromPipe.data(), raw.out.data(), raw.out.size());
    EXPECT_EQ(fromPipe, samples);
}

namespace
{

// A file's samples as the whole numbers it stores, read by libsndfile as ints.
std::vector<long> storedIntegers(const std::string& file, int bits)
{
    SF_INFO info = {};
    SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
    if (!in)
        return {};
    std::vector<int> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_int(in, samples.data(), info.frames);
    sf_close(in);
    std::vector<long> whole;
    for (const int sample : samples)
        whole.push_back(sample / (1L << (32 - bits)));
    return whole;
}

} // namespace

// pcm16 and pcm24 hold the nearest whole step of the rendered (single-precision)
// sample, the same in every container and in a raw stream.
TEST_F(CliTest, EveryContainerStoresTheNearestWholeStepOfTheRender)
{
    const char* kinds[] = {"pickup", "shoot", "powerup", "hit", "jump", "blip", "slash", "random"};
    for (const int bits : {16, 24})
        for (int sound = 0; sound < (bits == 16 ? 20 : 4); ++sound)
        {
            const std::string what = std::to_string(bits) + " bits, sound " + std::to_string(sound);
            const std::string make = std::string("generate ") + kinds[sound % 8] + " --seed " +
                                     std::to_string(sound) + " --format ";
            ASSERT_EQ(run(make + "float -o '" + path("f.wav") + "'").status, 0) << what;
            SF_INFO info = {};
            const std::vector<double> rendered = readWav(path("f.wav"), &info);
            std::vector<long> nearest;
            for (const double sample : rendered)
            {
                const double top = std::ldexp(1.0, bits - 1);
                nearest.push_back(
                    static_cast<long>(std::clamp(std::nearbyint(sample * top), -top, top - 1)));
            }
            const std::string pcm = "pcm" + std::to_string(bits);
            for (const std::string container : {"wav", "aiff", "flac"})
            {
                ASSERT_EQ(run(make + pcm + " -o '" + path("i." + container) + "'").status, 0)
                    << what;
                EXPECT_EQ(storedIntegers(path("i." + container), bits), nearest)
                    << what << ", " << container;
            }
            const CliRun raw = run(make + pcm + " -o -");
            ASSERT_EQ(raw.status, 0) << what << ": " << raw.err;
            std::vector<long> streamed;
            const size_t width = static_cast<size_t>(bits / 8);
            for (size_t at = 0; at + width <= raw.out.size(); at += width)
            {
                long value = static_cast<signed char>(raw.out[at + width - 1]);
                for (size_t byte = width - 1; byte-- > 0;)
                    value = value * 256 + static_cast<unsigned char>(raw.out[at + byte]);
                streamed.push_back(value);
            }
            EXPECT_EQ(streamed, nearest) << what << ", raw";
        }
}

TEST_F(CliTest, StateRoundTripsAndSeedMakesNoiseReproducible)
{
    const std::string state = path("s.state");
    ASSERT_EQ(run("render --set \"White Level=0\" --set \"Osc1 Level=-96\" --state-out '" + state +
                  "' --length 0.1 -o '" + path("n1.wav") + "' --seed 9")
                  .status,
              0);
    std::ifstream in(state, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<int>(in.tellg()), 484);
    ASSERT_EQ(run("render --state '" + state + "' --note 60 --length 0.1 --seed 9 -o '" +
                  path("n2.wav") + "'")
                  .status,
              0);
    ASSERT_EQ(run("render --state '" + state + "' --note 60 --length 0.1 --seed 9 -o '" +
                  path("n3.wav") + "'")
                  .status,
              0);
    SF_INFO a = {}, b = {};
    const auto first = readWav(path("n2.wav"), &a);
    EXPECT_EQ(first, readWav(path("n3.wav"), &b));
    double energy = 0.0;
    for (double v : first)
        energy += v * v;
    EXPECT_GT(energy, 1.0); // the white noise from the state sounds
}

// Without --note a state sounds as generate rendered it, not as silence.
TEST_F(CliTest, AStateWithoutNotesRendersAsGenerateDid)
{
    ASSERT_TRUE(generated("pickup", 4, "g", "wav"));
    const CliRun r = run("render --state '" + path("g.state") + "' -o '" + path("r.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    SF_INFO a = {}, b = {};
    const std::vector<double> generated = readWav(path("g.wav"), &a);
    EXPECT_GT(generated.size(), 2u * 4410);
    EXPECT_EQ(readWav(path("r.wav"), &b), generated);
    EXPECT_NE(run("render --help").out.find("as generate plays it"), std::string::npos);
}

// The extension picks the container; channels and sample format hold.
TEST_F(CliTest, EachContainerReadsBackAsAsked)
{
    struct Case
    {
        const char* name;
        const char* options;
        int major, subtype, channels;
    };
    const Case cases[] = {{"a.wav", "", SF_FORMAT_WAV, SF_FORMAT_PCM_16, 2},
                          {"a.flac", "--format pcm24 --channels 1", SF_FORMAT_FLAC, SF_FORMAT_PCM_24, 1},
                          {"a.ogg", "--channels 1", SF_FORMAT_OGG, SF_FORMAT_VORBIS, 1},
                          {"a.AIFF", "--format float", SF_FORMAT_AIFF, SF_FORMAT_FLOAT, 2},
                          {"a.mp3", "--channels 1", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III, 1}};
    for (const Case& c : cases)
    {
        const CliRun r = run(std::string("render --note 60 ") + c.options + " -o '" + path(c.name) + "'");
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        SF_INFO info = {};
        EXPECT_FALSE(readWav(path(c.name), &info).empty()) << c.name;
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, c.major) << c.name;
        EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, c.subtype) << c.name;
        EXPECT_EQ(info.channels, c.channels) << c.name;
    }
    CliRun r = run("render -o '" + path("a.mp4") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(".wav, .flac, .ogg"), std::string::npos) << r.err;
    EXPECT_EQ(run("render --format float -o '" + path("b.flac") + "'").status, 2);
    EXPECT_EQ(run("render --channels 3 -o '" + path("b.wav") + "'").status, 2);
    EXPECT_FALSE(exists("a.mp4") || exists("b.flac") || exists("b.wav"));
}

// A game's assets under version control: the same seed rebuilds the same
// bytes in every container, and each file opens again as its sound.
TEST_F(CliTest, EveryContainerIsTheSameBytesForTheSameSeedAndOpensAsItsSound)
{
    for (const std::string extension : {"wav", "flac", "ogg", "aiff", "mp3"})
    {
        ASSERT_TRUE(generated("pickup", 11, "a", extension)) << extension;
        ASSERT_TRUE(generated("pickup", 11, "b", extension)) << extension;
        EXPECT_EQ(read("a." + extension), read("b." + extension)) << extension;
        const CliRun shown = run("show '" + path("a." + extension) + "'");
        EXPECT_EQ(shown.status, 0) << extension << ": " << shown.err;
        EXPECT_EQ(shown.out, run("show '" + path("a.state") + "'").out) << extension;
    }
}

// A rate the container cannot carry is refused before the render, naming the
// limit, normalised or not.
TEST_F(CliTest, ARateTheContainerCannotCarryIsRefusedBeforeRendering)
{
    const std::string cases[] = {"render --rate 250000 -o '" + path("a.ogg") + "'",
                                 "render --rate 250000 --normalize peak -o '" + path("a.ogg") + "'",
                                 "generate coin --seed 1 --rate 96000 -o '" + path("a.mp3") + "'",
                                 "render --rate 96001 -o '" + path("a.flac") + "'"};
    for (const std::string& command : cases)
    {
        const CliRun r = run(command);
        EXPECT_EQ(r.status, 2) << command << ": " << r.err;
        EXPECT_NE(r.err.find(" Hz"), std::string::npos) << r.err;
    }
    EXPECT_NE(run(cases[0]).err.find("up to 200000 Hz"), std::string::npos);
    EXPECT_FALSE(exists("a.ogg") || exists("a.mp3") || exists("a.flac"));
}

// What render and generate write carries the sound: show reads it back from
// the file as settings that make the very same audio, also from a state whose
// whole-number values carry fractions (they play as their whole part).
TEST_F(CliTest, ShowGivesSettingsThatMakeTheSameAudio)
{
    ASSERT_TRUE(generated("hit", 3, "g", "flac"));
    const CliRun fromFile = run("show '" + path("g.flac") + "'");
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    EXPECT_EQ(fromFile.out, run("show '" + path("g.state") + "'").out);

    std::string fractional = read("g.state");
    const double octave = 1.5, type = 3.7;
    std::memcpy(&fractional[4 + 8 * 9], &octave, sizeof octave); // Osc1 Octave
    std::memcpy(&fractional[4 + 8 * 1], &type, sizeof type);     // Osc1 Type
    std::ofstream(path("f.state"), std::ios::binary) << fractional;

    for (const std::string sound : {"g.flac", "f.state"})
    {
        const CliRun shown = run("show '" + path(sound) + "'");
        ASSERT_EQ(shown.status, 0) << shown.err;
        std::istringstream lines(shown.out);
        std::string line, settings;
        int count = 0;
        for (; std::getline(lines, line); ++count)
            settings += " " + line;
        EXPECT_EQ(count, 60);
        const CliRun set = run("render --seed 7" + settings + " -o '" + path("set.wav") + "'");
        ASSERT_EQ(set.status, 0) << sound << ": " << set.err;
        ASSERT_EQ(run("render --seed 7 --state '" + path(sound) + "' -o '" + path("state.wav") + "'").status, 0);
        SF_INFO a = {}, b = {};
        const std::vector<double> fromSettings = readWav(path("set.wav"), &a);
        EXPECT_GT(fromSettings.size(), 1000u);
        EXPECT_EQ(fromSettings, readWav(path("state.wav"), &b)) << sound;
        EXPECT_EQ(read("set.wav"), read("state.wav")) << sound;
    }
    const std::string shown = run("show '" + path("f.state") + "'").out;
    EXPECT_NE(shown.find("--set \"Osc1 Type=Square\"\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("--set \"Osc1 Octave=1\"\n"), std::string::npos) << shown;
    const CliRun json = run("show --json '" + path("g.state") + "'");
    EXPECT_NE(json.out.find("\"Osc1 Type\": \""), std::string::npos) << json.out;
    EXPECT_EQ(run("show '" + path("set.wav") + "x'").status, 1);
}

// Measured on the written file, as a pipeline downstream would measure it.
TEST_F(CliTest, NormalizingLandsWhereAskedAndClippingIsSaid)
{
    ASSERT_EQ(run("generate pickup --seed 1 --format float -o '" + path("peak.wav") + "' --normalize peak:-3").status, 0);
    SF_INFO info = {};
    const std::vector<double> peakSamples = readWav(path("peak.wav"), &info);
    double peak = 0;
    for (double x : peakSamples)
        peak = std::max(peak, std::fabs(x));
    EXPECT_NEAR(20 * std::log10(peak), -3.0, 0.01);

    // A second of sound, so that loudness and not the true-peak ceiling sets the gain.
    const CliRun r = run("render --note 60:127:0:1 --format float -o '" + path("lufs.wav") +
                         "' --normalize lufs:-23");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("normalised by"), std::string::npos) << r.err;
    const std::vector<double> frames = readWav(path("lufs.wav"), &info);
    ebur128_state* meter = ebur128_init(2, static_cast<unsigned long>(info.samplerate),
                                        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_double(meter, frames.data(), frames.size() / 2);
    double lufs = 0, truePeak = 0, channelPeak = 0;
    ebur128_loudness_global(meter, &lufs);
    for (unsigned c = 0; c < 2; ++c)
    {
        ebur128_true_peak(meter, c, &channelPeak);
        truePeak = std::max(truePeak, channelPeak);
    }
    ebur128_destroy(&meter);
    EXPECT_NEAR(lufs, -23.0, 0.1);
    EXPECT_LE(20 * std::log10(truePeak), -1.0 + 0.05);

    const CliRun loud = run("render --note 60 --set 'Output Gain=12' --set 'Osc1 Type=Square' -o '" + path("loud.wav") + "'");
    EXPECT_EQ(loud.status, 0);
    EXPECT_NE(loud.err.find("reach full scale"), std::string::npos) << loud.err;
    EXPECT_NE(loud.err.find("--normalize"), std::string::npos);
    EXPECT_TRUE(run("render --note 60 --seed 1 -o '" + path("quiet.wav") + "'").err.empty());
    EXPECT_EQ(run("render --normalize peak:5 -o '" + path("no.wav") + "'").status, 2);
}

// Locked values come through the generator; every other value is the seed's.
TEST_F(CliTest, LocksKeepTheirValuesAndLeaveTheRestToTheSeed)
{
    ASSERT_TRUE(generated("pickup", 3, "free", "wav"));
    ASSERT_EQ(run("generate pickup --seed 3 --set 'Osc1 Type=Whistle' --lock 'Osc1 Type' --lock "
                  "amp-env --state-out '" + path("locked.state") + "' -o '" + path("locked.wav") + "'")
                  .status,
              0);
    std::istringstream free(run("show '" + path("free.state") + "'").out),
        locked(run("show '" + path("locked.state") + "'").out);
    std::string a, b;
    int kept = 0, lines = 0;
    while (std::getline(free, a) && std::getline(locked, b))
    {
        ++lines;
        const bool lockedLine = b.find("Osc1 Type=") != std::string::npos ||
                                b.find("Amp Env ") != std::string::npos;
        if (lockedLine)
            ++kept;
        else
            EXPECT_EQ(a, b);
    }
    EXPECT_EQ(lines, 60);
    EXPECT_EQ(kept, 6);
    EXPECT_NE(run("show '" + path("locked.state") + "'").out.find("Osc1 Type=Whistle"), std::string::npos);
    EXPECT_NE(run("show '" + path("locked.state") + "'").out.find("Amp Env Sustain=1\""), std::string::npos);
    EXPECT_EQ(run("generate pickup --lock bogus -o '" + path("no.wav") + "'").status, 2);
    EXPECT_FALSE(exists("no.wav"));
}

// A --set the generator draws over is said, with the way to keep it; a
// locked one stays and is not.
TEST_F(CliTest, GenerateWarnsOfSettingsItReplaces)
{
    const std::string decay = " --seed 1007 --set 'Amp Env Decay=0.25' --set 'Osc1 Type=Square'";
    CliRun r = run("generate blip" + decay + " -o '" + path("b.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\"Amp Env Decay=0.25\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--lock \"Amp Env Decay\""), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Osc1 Type"), std::string::npos) << r.err; // blip makes a square itself
    EXPECT_EQ(run("show '" + path("b.wav") + "'").out.find("Amp Env Decay=0.25\""),
              std::string::npos);

    r = run("generate blip" + decay + " --lock amp-env -o '" + path("kept.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Amp Env Decay"), std::string::npos) << r.err;
    EXPECT_NE(run("show '" + path("kept.wav") + "'").out.find("Amp Env Decay=0.25\""),
              std::string::npos);

    // A batch says it once, not once a sound.
    r = run("generate blip" + decay + " --count 3 --jobs 2 -o '" + path("s%d.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Decay=0.25"), r.err.rfind("Decay=0.25")) << r.err;
}

// Workers make a batch's sounds at once; every file is the one a single
// process makes.
TEST_F(CliTest, BatchesOnSeveralJobsWriteTheSameFiles)
{
    ASSERT_EQ(mkdir(path("one").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("three").c_str(), 0755), 0);
    const std::string batch = "generate random --seed 10 --count 7 ";
    const CliRun one = run(batch + "--jobs 1 -o '" + path("one/s%d.wav") + "' --state-out '" +
                           path("one/s%d.state") + "'");
    const CliRun three = run(batch + "--jobs 3 -o '" + path("three/s%d.wav") + "' --state-out '" +
                             path("three/s%d.state") + "'");
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(three.status, 0) << three.err;
    EXPECT_EQ(std::count(three.out.begin(), three.out.end(), '\n'), 7);
    for (int k = 0; k < 7; ++k)
        for (const char* kind : {".wav", ".state"})
        {
            const std::string name = "s" + std::to_string(k) + kind;
            EXPECT_FALSE(slurp(path("one/" + name)).empty()) << name;
            EXPECT_EQ(slurp(path("three/" + name)), slurp(path("one/" + name))) << name;
        }
}

TEST_F(CliTest, FriendlierEdges)
{
    // Bare, it shows what --help shows: the subcommands too.
    CliRun r = run("");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage"), std::string::npos) << r.err;
    const CliRun help = run("--help");
    for (const char* command : {"generate", "render", "show", "share", "params", "snapshot"})
        EXPECT_NE(r.err.find(std::string("  ") + command + " "), std::string::npos)
            << command << "\n"
            << r.err;
    EXPECT_EQ(r.err, help.out);
    r = run("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("bleepforge ", 0), 0u) << r.out;

    // Kinds in any case and by their common names; the sound is the same.
    ASSERT_EQ(run("generate pickup --seed 2 -o '" + path("p.wav") + "'").status, 0);
    ASSERT_EQ(run("generate COIN --seed 2 -o '" + path("c.wav") + "'").status, 0);
    EXPECT_EQ(slurp(path("c.wav")), slurp(path("p.wav")));
    EXPECT_EQ(run("generate Laser --seed 2 -o '" + path("l.wav") + "'").status, 0);

    // Values outside a range, or not whole where they must be, are refused.
    for (const char* bad : {"Osc1 Type=9", "Osc1 Octave=2.5", "Output Gain=20", "Osc1 Level=-97"})
    {
        r = run(std::string("render --set \"") + bad + "\" -o '" + path("bad.wav") + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find(" ... "), std::string::npos) << r.err;
        EXPECT_FALSE(exists("bad.wav")) << bad;
    }

    // The state on standard output; a batch says each file once, on stdout.
    r = run("render --note 60 --state-out - -o '" + path("s.wav") + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.size(), 484u);
    EXPECT_FALSE(exists("-"));
    r = run("generate blip --seed 1 --count 3 -o '" + path("b%d.wav") + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(CliTest, BadInputGivesClearErrorsAndNoFile)
{
    CliRun r = run("render --set \"Osc1 Tpye=Sin\" -o '" + path("x.wav") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("bleepforge: "), std::string::npos);
    EXPECT_NE(r.err.find("\"Osc1 Type\""), std::string::npos) << r.err;

    r = run("render --set \"Output Gain=loud\" -o '" + path("x.wav") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Output Gain"), std::string::npos);

    r = run("render --note 200 -o '" + path("x.wav") + "'");
    EXPECT_EQ(r.status, 2);
    r = run("render --block 0 -o '" + path("x.wav") + "'");
    EXPECT_EQ(r.status, 2);
    r = run("render");
    EXPECT_EQ(r.status, 2);

    std::ofstream(path("short.state")) << "not a state";
    r = run("render --state '" + path("short.state") + "' -o '" + path("x.wav") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a complete state"), std::string::npos) << r.err;
    r = run("render --state '" + path("missing.state") + "' -o '" + path("x.wav") + "'");
    EXPECT_EQ(r.status, 1);
    r = run("render --note 60 -o '" + path("no/such/dir/x.wav") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(exists("x.wav"));
    EXPECT_FALSE(exists("x.wav.part"));
}

TEST_F(CliTest, ParamsListsAllSixty)
{
    const CliRun r = run("params");
    ASSERT_EQ(r.status, 0);
    int lines = 0;
    for (char c : r.out)
        lines += c == '\n';
    EXPECT_EQ(lines, 60);
    EXPECT_NE(r.out.find("Osc1 Type\tdefault 1\trange 0 ... 7\tvalues 0=Off, 1=Triangle"),
              std::string::npos);
    EXPECT_EQ(run("render --help").status, 0);
}

// Every bound and default that params lists, or a refusal names, is one --set
// takes: printed at the display's precision a minimum of 1e-06 reads 0.000 and
// one of 0.7071... (also the resonances' default) reads 0.707, below the range.
TEST_F(CliTest, PrintedBoundsAreAccepted)
{
    const CliRun params = run("params");
    ASSERT_EQ(params.status, 0);
    std::string sets, defaults;
    std::istringstream lines(params.out);
    int bounds = 0;
    for (std::string line; std::getline(lines, line);)
    {
        const size_t nameAt = line.find('\t') + 1, rangeAt = line.find("\trange ");
        const std::string name = line.substr(nameAt, line.find('\t', nameAt) - nameAt);
        const size_t defaultAt = line.find("\tdefault ") + 9;
        defaults += " --set \"" + name + "=" + line.substr(defaultAt, rangeAt - defaultAt) + "\"";
        const size_t dots = line.find(" ... ", rangeAt);
        const size_t end = line.find('\t', dots + 5);
        ASSERT_NE(dots, std::string::npos) << line;
        for (const std::string& bound :
             {line.substr(rangeAt + 7, dots - rangeAt - 7), line.substr(dots + 5, end - dots - 5)})
        {
            sets += " --set \"" + name + "=" + bound + "\"";
            ++bounds;
        }
    }
    EXPECT_EQ(bounds, 120);
    const std::string out = " --length 0.01 -o /dev/null";
    CliRun r = run("render" + sets + out);
    EXPECT_EQ(r.status, 0) << r.err;
    r = run("render" + defaults + out);
    EXPECT_EQ(r.status, 0) << r.err;

    for (const char* refused :
         {"Amp Env Sustain=-1", "Filter LP Resonance=0.7", "Filter HP Resonance=9"})
    {
        const std::string setting = refused;
        const std::string name = setting.substr(0, setting.find('='));
        r = run("render --set \"" + setting + "\"" + out);
        ASSERT_EQ(r.status, 2) << refused;
        const size_t from = r.err.find("expected ") + 9, dots = r.err.find(" ... ", from);
        ASSERT_NE(dots, std::string::npos) << r.err;
        const std::string lo = r.err.substr(from, dots - from);
        const std::string hi = r.err.substr(dots + 5, r.err.find('\n') - dots - 5);
        r = run("render --set \"" + name + "=" + lo + "\" --set \"" + name + "=" + hi + "\"" + out);
        EXPECT_EQ(r.status, 0) << refused << ": " << r.err;
    }
}

TEST_F(CliTest, NumbersMustBeFiniteAndWhereNeededWhole)
{
    const std::string out = " -o '" + path("x.wav") + "'";
    for (const char* bad : {"--rate nan", "--rate inf", "--rate 1000.5", "--rate 999",
                            "--length 0.00001", "--note 60:", "--note 60::0", "--note nan"})
    {
        const CliRun r = run(std::string("render ") + bad + out);
        EXPECT_EQ(r.status, 2) << bad << ": " << r.err;
        EXPECT_EQ(r.err.rfind("bleepforge: ", 0), 0u) << bad;
    }
    EXPECT_FALSE(exists("x.wav"));
}

TEST_F(CliTest, OutputsReplaceOnlyOnSuccessFollowLinksAndSpareDevices)
{
    std::ofstream(path("keep.state")) << "precious";
    std::ofstream(path("out.wav.part")) << "unrelated";
    CliRun r = run("render --set 'Output Gain=loud' --state-out '" + path("keep.state") + "' -o '" +
                   path("out.wav") + "'");
    EXPECT_EQ(r.status, 2);
    r = run("render --note 60 --state-out '" + path("keep.state") + "' -o '" +
            path("no/dir/x.wav") + "'");
    EXPECT_EQ(r.status, 1);
    std::ifstream state(path("keep.state"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(state), {}), "precious");

    ASSERT_EQ(symlink("real.wav", path("link.wav").c_str()), 0);
    r = run("render --note 60 -o '" + path("link.wav") + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    SF_INFO info = {};
    EXPECT_FALSE(readWav(path("real.wav"), &info).empty());
    std::ifstream part(path("out.wav.part"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(part), {}), "unrelated");

    EXPECT_EQ(run("render --note 60 -o /dev/null").status, 0);
    struct stat devNull;
    ASSERT_EQ(stat("/dev/null", &devNull), 0);
    EXPECT_TRUE(S_ISCHR(devNull.st_mode));

    r = run("render --state /dev/zero -o '" + path("z.wav") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err;
    // A full device: said once, naming it once.
    if (access("/dev/full", W_OK) == 0)
    {
        r = run("render --note 60 --seed 1 --state-out /dev/full -o '" + path("full.wav") + "'");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "bleepforge: cannot write '/dev/full': No space left on device\n");
    }
}

TEST_F(CliTest, ZeroLengthNotesEndAndRestrikesSoundInAnyOrder)
{
    CliRun r = run("render --note 60:127:0:0 -o '" + path("zero.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    SF_INFO info = {};
    readWav(path("zero.wav"), &info);
    EXPECT_LT(info.frames, 44100); // not held for the 30 s maximum

    std::vector<double> renders[2];
    for (int order = 0; order < 2; ++order)
    {
        const std::string first = " --note 60:127:0:0.1", second = " --note 60:127:0.1:0.1";
        r = run("render" + (order ? second + first : first + second) + " -o '" + path("r.wav") +
                "'");
        ASSERT_EQ(r.status, 0) << r.err;
        SF_INFO restrike = {};
        renders[order] = readWav(path("r.wav"), &restrike);
    }
    EXPECT_GT(renders[0].size(), 0.2 * 44100 * 2);
    EXPECT_EQ(renders[0], renders[1]);
}

TEST_F(CliTest, SnapshotDrawsTheEditorAtOneOrTwoTimesAndAloneChecksItsImages)
{
    CliRun r = run("snapshot -o '" + path("one.png") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = run("snapshot --scale 2 --note 60 --about -o '" + path("two.png") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::unique_ptr<PIX_IBitmap> one(PIX_LoadPNG(path("one.png").c_str(), nullptr));
    std::unique_ptr<PIX_IBitmap> two(PIX_LoadPNG(path("two.png").c_str(), nullptr));
    ASSERT_TRUE(one && two);
    EXPECT_EQ(one->getWidth(), 846);
    EXPECT_EQ(one->getHeight(), 768);
    EXPECT_EQ(two->getWidth(), 1692);
    EXPECT_EQ(two->getHeight(), 1536);
    auto px = [](PIX_IBitmap* b, int x, int y) { return b->getBits()[y * b->getRowSpan() + x]; };
    const int cx = 100, cy = 50; // above the about box, which darkens what it covers
    EXPECT_EQ(px(two.get(), 2 * cx, 2 * cy), px(two.get(), 2 * cx + 1, 2 * cy + 1));
    EXPECT_NE(px(two.get(), 2 * cx, 2 * cy), px(one.get(), cx, cy));

    EXPECT_EQ(run("snapshot --scale 3 -o '" + path("x.png") + "'").status, 2);
    mkdir(path("empty").c_str(), 0755);
    setenv("BLEEPFORGE_RESOURCES", path("empty").c_str(), 1);
    const CliRun rendered = run("render --note 60 -o '" + path("x.wav") + "'");
    r = run("snapshot -o '" + path("x.png") + "'");
    unsetenv("BLEEPFORGE_RESOURCES");
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_TRUE(exists("x.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bleepforge: cannot find the editor image"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(path("empty")), std::string::npos) << r.err;
    EXPECT_FALSE(exists("x.png"));
}

// A program copied alone, with no bundle anywhere it could find one, still
// makes and renders every sound as the installed one does: only drawing the
// editor needs its images.
TEST_F(CliTest, CopiedAloneItGeneratesAndRendersWithoutTheEditorsImages)
{
    const std::string alone = path("alone");
    ASSERT_EQ(mkdir(alone.c_str(), 0755), 0);
    ASSERT_EQ(shellOutput("cp '" + std::string(BLEEPFORGE_CLI) + "' '" + alone + "/' && echo ok"), "ok\n");
    const std::string copy = alone + "/bleepforge";
    mkdir(path("empty").c_str(), 0755);
    for (const char* resources : {"", "empty"})
    {
        if (*resources)
            setenv("BLEEPFORGE_RESOURCES", path(resources).c_str(), 1); // no image is there
        for (const std::string& command :
             {std::string("generate slash --seed 9 --state-out '") + path("%s.state") + "' -o '" + path("%s.wav") + "'",
              std::string("render --seed 4 --set \"Pink Level=0\" --note 50 -o '") + path("%s-r.wav") + "'"})
        {
            const auto named = [&](const std::string& who)
            {
                std::string text = command;
                for (size_t at; (at = text.find("%s")) != std::string::npos;)
                    text.replace(at, 2, who);
                return text;
            };
            const CliRun byCopy = run(named("copy"), copy);
            ASSERT_EQ(byCopy.status, 0) << byCopy.err;
            ASSERT_EQ(run(named("built")).status, 0);
        }
        unsetenv("BLEEPFORGE_RESOURCES");
        EXPECT_EQ(slurp(path("copy.wav")), slurp(path("built.wav"))) << resources;
        EXPECT_EQ(slurp(path("copy.state")), slurp(path("built.state")));
        EXPECT_EQ(slurp(path("copy-r.wav")), slurp(path("built-r.wav")));
    }
}

TEST_F(CliTest, GenerateIsReproduciblePerSeedAndBatchesRefuseToOverwrite)
{
    const std::string a = path("a.wav"), b = path("b.wav"), c = path("c.wav");
    ASSERT_EQ(run("generate slash --seed 42 -o '" + a + "'").status, 0);
    ASSERT_EQ(run("generate slash --seed 42 -o '" + b + "'").status, 0);
    ASSERT_EQ(run("generate slash --seed 43 -o '" + c + "'").status, 0);
    SF_INFO info = {};
    const std::vector<double> first = readWav(a, &info), again = readWav(b, &info),
                              other = readWav(c, &info);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fa), {}),
              std::string(std::istreambuf_iterator<char>(fb), {})); // byte for byte

    CliRun r = run("generate jump -o '" + path("clock.wav") + "'");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("bleepforge: seed "), std::string::npos); // so it can be made again

    const std::string pattern = "'" + path("hit-%02d.wav") + "' --state-out '" + path("hit-%02d.state") + "'";
    r = run("generate hit --count 3 --seed 7 -o " + pattern);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("hit-02.wav\tseed 9"), std::string::npos) << r.out;
    EXPECT_TRUE(exists("hit-00.state"));
    r = run("generate hit --seed 8 -o '" + path("single.wav") + "' --state-out '" + path("s.state") + "'");
    ASSERT_EQ(r.status, 0);
    SF_INFO i1 = {}, i2 = {};
    EXPECT_EQ(readWav(path("hit-01.wav"), &i1), readWav(path("single.wav"), &i2)); // seed N0 + k
    r = run("generate hit --count 3 --seed 7 -o " + pattern);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exists"), std::string::npos);
    EXPECT_EQ(run("generate hit --count 3 --seed 7 --force -o " + pattern).status, 0);
    EXPECT_EQ(run("generate hit --count 3 -o '" + path("no-number.wav") + "'").status, 2);
    EXPECT_EQ(run("generate hit --count 2 -o '" + path("x-%s.wav") + "'").status, 2);
    EXPECT_EQ(run("generate whistle -o '" + path("x.wav") + "'").status, 2);
}

TEST_F(CliTest, ShareCodesRenderLikeTheirFileAndRefuseDamage)
{
    ASSERT_TRUE(generated("powerup", 5, "p", "wav"));
    CliRun r = run("share '" + path("p.state") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string code = r.out.substr(0, r.out.find('\n'));
    EXPECT_EQ(code.rfind("bfs1:", 0), 0u);
    ASSERT_EQ(run("render --note 60 --state '" + code + "' -o '" + path("code.wav") + "'").status, 0);
    ASSERT_EQ(run("render --note 60 --state '" + path("p.state") + "' -o '" + path("file.wav") + "'").status, 0);
    std::ifstream x(path("code.wav"), std::ios::binary), y(path("file.wav"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(x), {}),
              std::string(std::istreambuf_iterator<char>(y), {}));

    std::string damaged = code, spareBits = code;
    damaged[40] = damaged[40] == 'Q' ? 'R' : 'Q';
    char& last = spareBits[spareBits.size() - 2]; // before the one '=': two spare bits
    last = last == 'A' ? 'B' : static_cast<char>(last ^ 1);
    const std::pair<std::string, std::string> bad[] = {
        {damaged, "checksum"}, {spareBits, "damaged"}, {"bfs2:" + code.substr(5), "newer"},
        {"bfs1:" + code.substr(5, 40), "bytes"}, {"bfs1:" + code.substr(5) + "*", "base64"},
        {"bfx1:" + code.substr(5), "cannot read state file"}};
    for (const auto& [text, reason] : bad)
    {
        r = run("render --note 60 --state '" + text + "' -o '" + path("bad.wav") + "'");
        EXPECT_EQ(r.status, 1) << text;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    }
    EXPECT_FALSE(exists("bad.wav"));
}

namespace
{

int countEntries(const std::string& dir)
{
    return std::atoi(shellOutput("ls -A '" + dir + "' | wc -l").c_str());
}

} // namespace

TEST_F(CliTest, TwoOutputsOntoOneFileAreRefusedBeforeAnythingIsWritten)
{
    ASSERT_EQ(mkdir(path("out").c_str(), 0755), 0);
    ASSERT_EQ(symlink("same.wav", path("out/link.wav").c_str()), 0);
    const std::string out = path("out/");
    const std::string clashes[] = {
        "-o '" + out + "same.wav' --state-out '" + out + "same.wav'",
        "-o '" + out + "same.wav' --state-out '" + out + "link.wav'",
        "--count 3 -o '" + out + "b%d.wav' --state-out '" + out + "b%d.wav'",
        // Sound 10's WAV and sound 0's state would both be a10.
        "--count 11 -o '" + out + "a%d' --state-out '" + out + "a1%d'",
    };
    for (const std::string& clash : clashes)
    {
        const CliRun r = run("generate pickup --seed 1 " + clash);
        EXPECT_EQ(r.status, 2) << clash;
        EXPECT_NE(r.err.find("are the same file"), std::string::npos) << r.err;
        EXPECT_EQ(countEntries(path("out")), 1) << clash; // the link alone
    }
    EXPECT_EQ(run("render --note 60 -o '" + out + "x.wav' --state-out '" + out + "x.wav'").status, 2);
    EXPECT_EQ(countEntries(path("out")), 1);
}

TEST_F(CliTest, SeedsAndCountsAreDecimalAndBatchesStayInRange)
{
    ASSERT_EQ(run("generate pickup --seed 010 -o '" + path("a.wav") + "'").status, 0);
    ASSERT_EQ(run("generate pickup --seed 10 -o '" + path("b.wav") + "'").status, 0);
    EXPECT_EQ(slurp(path("a.wav")), slurp(path("b.wav")));
    const std::pair<std::string, std::string> refused[] = {
        {"--seed ''", "0 ... 4294967295"},       {"--seed 0x10", "0 ... 4294967295"},
        {"--seed -1", "0 ... 4294967295"},       {"--seed 4294967296", "0 ... 4294967295"},
        {"--seed 1 --count 0x10", "1 ... 100000"}, {"--seed 4294967295 --count 2", "largest seed"}};
    for (const auto& [bad, said] : refused)
    {
        const CliRun r = run("generate pickup " + bad + " -o '" + path("c%d.wav") + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find(said), std::string::npos) << bad << ": " << r.err;
    }
    EXPECT_FALSE(exists("c0.wav"));
    EXPECT_EQ(run("generate pickup --seed 4294967294 --count 2 -o '" + path("d%d.wav") + "'").status, 0);
}

TEST_F(CliTest, ABatchPatternPadsWithZerosOrNotAtAll)
{
    for (const char* bad : {"g%5d.wav", "g%-3d.wav"})
    {
        const CliRun r = run("generate pickup --seed 1 --count 2 -o '" + path(bad) + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("only %d, %0Nd and %% are allowed"), std::string::npos) << bad << ": " << r.err;
    }
    EXPECT_FALSE(exists("g    0.wav") || exists("g0  .wav") || exists("g0.wav"));
}

TEST_F(CliTest, AWavWrittenIntoAPipeIsWhole)
{
    ASSERT_EQ(run("generate pickup --seed 3 -o '" + path("file.wav") + "'").status, 0);
    const CliRun piped = run("generate pickup --seed 3 -o /dev/stdout");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, slurp(path("file.wav")));
}

TEST_F(CliTest, ShareRefusesStatesThatNothingAcceptsAndCodesMayCarryBlanks)
{
    ASSERT_TRUE(generated("jump", 4, "j", "wav"));
    std::string state = slurp(path("j.state"));
    const CliRun code = run("share '" + path("j.state") + "'");
    ASSERT_EQ(code.status, 0);
    // A terminal copy brings blanks and the line end along.
    const CliRun padded = run("render --state '  " + code.out + "  ' --note 60 -o '" +
                              path("p.wav") + "' --state-out '" + path("p.state") + "'");
    ASSERT_EQ(padded.status, 0) << padded.err;
    EXPECT_EQ(slurp(path("p.state")), state);

    const double nan = std::nan("");
    std::memcpy(&state[4 + 8 * 7], &nan, sizeof nan);
    std::ofstream(path("nan.state"), std::ios::binary) << state;
    const CliRun refused = run("share '" + path("nan.state") + "'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.out.empty());
    EXPECT_NE(refused.err.find("parameter 7"), std::string::npos) << refused.err;
}

TEST_F(CliTest, DamagedEditorImagesAreRefusedByTheSnapshotNamingTheFile)
{
    const std::string resources = path("res");
    ASSERT_EQ(shellOutput("cp -r '" + std::string(BLEEPFORGE_BUNDLE) + "/Contents/Resources' '" +
                            resources + "' && echo ok"),
              "ok\n");
    const std::string background = resources + "/Background.png";
    const std::string whole = slurp(background);
    // A PNG header that promises 60000 x 60000 pixels.
    std::string huge = whole.substr(0, 33);
    const unsigned char side[4] = {0x00, 0x00, 0xEA, 0x60};
    huge.replace(16, 4, reinterpret_cast<const char*>(side), 4);
    huge.replace(20, 4, reinterpret_cast<const char*>(side), 4);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17);
    for (int i = 0; i < 4; ++i)
        huge[static_cast<size_t>(29 + i)] = static_cast<char>(crc >> (24 - 8 * i));
    setenv("BLEEPFORGE_RESOURCES", resources.c_str(), 1);
    for (const std::string& damaged : {whole.substr(0, whole.size() / 2), std::string(5000, 'x'), huge})
    {
        std::ofstream(background, std::ios::binary) << damaged;
        const CliRun r = run("snapshot -o '" + path("s.png") + "'");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(background), std::string::npos) << r.err;
        for (const std::string& command : {std::string("params"), "render --note 60 -o '" + path("r.wav") + "'"})
            EXPECT_EQ(run(command).status, 0) << command; // they never look at the images
    }
    unsetenv("BLEEPFORGE_RESOURCES");
    EXPECT_FALSE(exists("s.png"));
}

// Ctrl-C at any moment of a batch: every WAV that stays has its state, has its
// line on stdout, and reads whole; nothing hidden is left behind.
TEST_F(CliTest, AnInterruptedBatchLeavesOnlyWholePairs)
{
    for (const int milliseconds : {300, 700, 1100})
    {
        const std::string dir = path("batch" + std::to_string(milliseconds));
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            if (!freopen((dir + ".out").c_str(), "w", stdout) || !freopen("/dev/null", "w", stderr))
                _exit(3);
            const std::string audio = dir + "/s%03d.wav", state = dir + "/s%03d.state";
            execl(BLEEPFORGE_CLI, BLEEPFORGE_CLI, "generate", "pickup", "--seed", "1", "--count",
                  "400", "-o", audio.c_str(), "--state-out", state.c_str(), nullptr);
            _exit(4);
        }
        usleep(static_cast<useconds_t>(milliseconds) * 1000);
        kill(child, SIGINT);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);

        const int wavs = std::atoi(shellOutput("ls '" + dir + "' | grep -c 'wav$'").c_str());
        EXPECT_EQ(shellOutput("ls -A '" + dir + "' | grep -c '^\\.'"), "0\n") << milliseconds;
        EXPECT_EQ(std::atoi(shellOutput("wc -l < '" + dir + ".out'").c_str()), wavs);
        EXPECT_EQ(countEntries(dir), 2 * wavs);
        // Workers finish sounds out of order: every file there is whole, with its state.
        std::istringstream names(shellOutput("ls '" + dir + "' | grep 'wav$' | sed 's/.wav$//'"));
        for (std::string name; std::getline(names, name);)
        {
            SF_INFO info = {};
            EXPECT_FALSE(readWav(dir + "/" + name + ".wav", &info).empty()) << name;
            EXPECT_EQ(slurp(dir + "/" + name + ".state").size(), 484u) << name;
        }
    }
}

// INT, TERM or HUP (a closed terminal), to the program alone or to its whole
// process group as a terminal sends them: the files in flight are removed,
// in one process and in each worker of a batch.
TEST_F(CliTest, SignalsRemoveTheFilesInFlight)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        for (const int jobs : {1, 2})
            for (const bool group : {false, true})
            {
                const std::string what = std::string(strsignal(signal)) + ", jobs " +
                                         std::to_string(jobs) + (group ? ", group" : ", alone");
                const std::string dir =
                    path(std::to_string(signal) + "-" + std::to_string(jobs) + (group ? "g" : "a"));
                ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
                std::vector<std::string> args = {BLEEPFORGE_CLI,  "generate", "pickup",
                                                 "--seed",        "1",        "--note",
                                                 "60:127:0:3600", "--length", "3600"};
                if (jobs > 1)
                    args.insert(args.end(), {"--count", "4", "--jobs", "2", "--state-out",
                                             dir + "/s%d.state", "-o", dir + "/s%d.wav"});
                else
                    args.insert(args.end(), {"-o", dir + "/s.wav"});
                const pid_t pid = start(args);
                ASSERT_GT(pid, 0);
                ASSERT_TRUE(waitForHidden(dir, static_cast<size_t>(jobs))) << what;
                kill(group ? -pid : pid, signal);
                const int status = waitFor(pid);
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal)
                    << what << ": status " << status;
                const std::vector<std::string> left = entries(dir);
                EXPECT_TRUE(left.empty()) << what << ": " << left.front();
            }
}

// A FIFO as the output waits for a reader, and then for it to read; the first
// INT, TERM or HUP ends either wait, as it ends a render.
TEST_F(CliTest, TheFirstSignalEndsAWaitOnAnOutput)
{
    const std::string fifo = path("out.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const bool reader : {false, true})
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        {
            const std::string what =
                std::string(reader ? "a reader that never reads, " : "no reader, ") +
                strsignal(signal);
            // Opened without reading: a writer may open, and fills the pipe.
            const int readEnd = reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
            const pid_t pid = start({BLEEPFORGE_CLI, "render", "--length", "2", "-o", fifo});
            ASSERT_GT(pid, 0);
            EXPECT_TRUE(waitForSleepIn(pid, reader ? "pipe_write" : "wait_for_partner")) << what;
            kill(pid, signal);
            const int status = waitFor(pid);
            if (readEnd >= 0)
                close(readEnd);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal)
                << what << ": status " << status;
            EXPECT_NE(read("err.txt").find("interrupted"), std::string::npos)
                << what << ": " << read("err.txt");
        }
    for (const std::string& name : entries(mDir))
        EXPECT_TRUE(name == "out.wav" || name == "out.txt" || name == "err.txt") << name;
}

// A second signal ends the program at once, and still removes the file in
// flight. Both are sent while it is stopped, so they come one right after the
// other.
TEST_F(CliTest, ASecondSignalEndsAtOnceAndLeavesNothing)
{
    const pid_t pid = start({BLEEPFORGE_CLI, "render", "--note", "60:127:0:3600", "--length",
                             "3600", "-o", path("s.wav")});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitForHidden(mDir, 1));
    kill(pid, SIGSTOP);
    kill(pid, SIGINT);
    kill(pid, SIGTERM);
    kill(pid, SIGCONT);
    const int status = waitFor(pid);
    EXPECT_TRUE(WIFSIGNALED(status)) << status;
    for (const std::string& name : entries(mDir))
        EXPECT_TRUE(name == "out.txt" || name == "err.txt") << name;
}

namespace
{

std::vector<pid_t> childrenOf(pid_t pid)
{
    std::istringstream list(
        slurp("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children"));
    std::vector<pid_t> children;
    for (pid_t child; list >> child;)
        children.push_back(child);
    return children;
}

// Gone, or a zombie that nobody has reaped yet.
bool ended(pid_t pid)
{
    const std::string stat = slurp("/proc/" + std::to_string(pid) + "/stat");
    const size_t name = stat.rfind(')');
    return name == std::string::npos || stat.compare(name + 2, 1, "Z") == 0;
}

} // namespace

// A batch's parent killed by a signal it cannot pass on: its workers end
// with it and leave no file in flight.
TEST_F(CliTest, WorkersEndWithTheirParent)
{
    for (const int signal : {SIGKILL, SIGUSR1})
    {
        const std::string dir = path(std::to_string(signal));
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
        const pid_t pid = start({BLEEPFORGE_CLI, "generate", "pickup", "--seed", "1", "--note",
                                 "60:127:0:3600", "--length", "3600", "--count", "4", "--jobs", "2",
                                 "--state-out", dir + "/s%d.state", "-o", dir + "/s%d.wav"});
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(waitForHidden(dir, 2)) << strsignal(signal);
        const std::vector<pid_t> workers = childrenOf(pid);
        ASSERT_EQ(workers.size(), 2u);
        kill(pid, signal);
        EXPECT_TRUE(WIFSIGNALED(waitFor(pid)));
        for (const pid_t worker : workers)
        {
            for (int tries = 0; tries < 3000 && !ended(worker); ++tries)
                usleep(10000);
            EXPECT_TRUE(ended(worker)) << strsignal(signal);
            if (!ended(worker))
                kill(worker, SIGKILL); // a survivor is not left running
        }
        const std::vector<std::string> left = entries(dir);
        EXPECT_TRUE(left.empty()) << strsignal(signal) << ": " << left.front();
    }
}
