#include "CommandTest.h"

#include <ebur128.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

struct WrittenSound
{
    std::vector<double> samples; // interleaved
    int channels = 0;
    int rate = 0;
    long frames() const { return channels ? static_cast<long>(samples.size()) / channels : 0; }
};

WrittenSound readSound(const std::string& file)
{
    SF_INFO info = {};
    SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
    WrittenSound sound;
    if (!in)
        return sound;
    sound.channels = info.channels;
    sound.rate = info.samplerate;
    sound.samples.resize(static_cast<size_t>(info.frames * info.channels));
    sound.samples.resize(static_cast<size_t>(sf_readf_double(in, sound.samples.data(), info.frames) * info.channels));
    sf_close(in);
    return sound;
}

// What an outside meter reads in a file: its gated integrated loudness when it
// lasts 400 ms or more, else its highest momentary loudness with a second of
// silence after it, sampled every millisecond.
double outsideLoudness(const WrittenSound& sound)
{
    ebur128_state* meter = ebur128_init(static_cast<unsigned>(sound.channels),
                                        static_cast<unsigned long>(sound.rate), EBUR128_MODE_I);
    double lufs = -HUGE_VAL;
    if (sound.frames() * 10 >= sound.rate * 4)
    {
        ebur128_add_frames_double(meter, sound.samples.data(), static_cast<size_t>(sound.frames()));
        ebur128_loudness_global(meter, &lufs);
        ebur128_destroy(&meter);
        return lufs;
    }
    std::vector<double> padded = sound.samples;
    padded.resize(padded.size() + static_cast<size_t>(sound.rate * sound.channels), 0.0);
    const long step = sound.rate / 1000, frames = static_cast<long>(padded.size()) / sound.channels;
    for (long at = 0; at + step <= frames; at += step)
    {
        ebur128_add_frames_double(meter, padded.data() + at * sound.channels, static_cast<size_t>(step));
        double momentary = -HUGE_VAL;
        ebur128_loudness_momentary(meter, &momentary);
        lufs = std::max(lufs, momentary);
    }
    ebur128_destroy(&meter);
    return lufs;
}

// The line of stderr that names the file; "" when none does.
std::string lineNaming(const std::string& err, const std::string& file)
{
    std::istringstream lines(err);
    std::string line;
    while (std::getline(lines, line))
    {
        if (line.find("'" + file + "'") != std::string::npos)
            return line;
    }
    return "";
}

// The level a gain line says the file was brought to ("... to -16.0 LUFS").
double statedLevel(const std::string& line)
{
    const size_t to = line.rfind(" dB to ");
    return to == std::string::npos ? NAN : std::atof(line.c_str() + to + 7);
}

class LoudnessTest : public CommandTest
{
protected:
    int bleepforge(const std::string& args) { return run(std::string(BLEEPFORGE_CLI) + " " + args); }

    // The highest resident size, in KiB, of bleepforge run with the arguments.
    long peakKilobytes(const std::string& args)
    {
        const pid_t pid = fork();
        if (pid == 0)
        {
            const std::string command = std::string(BLEEPFORGE_CLI) + " " + args + " 2>/dev/null";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage = {};
        wait4(pid, &status, 0, &usage);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << args;
        return usage.ru_maxrss;
    }
};

} // namespace

// Most game sounds are shorter than a gating block, and mono files were
// measured on the stereo render they came from.
TEST_F(LoudnessTest, EveryLengthAndChannelCountReachesTheLevelAnOutsideMeterReads)
{
    const struct
    {
        const char* seconds;
        int channels;
        const char* measure;
    } cases[] = {{"0.05", 2, "momentary"}, {"0.12", 1, "momentary"}, {"0.399", 2, "momentary"},
                 {"0.401", 1, "integrated"}, {"1", 1, "integrated"}};
    for (const auto& c : cases)
    {
        const std::string file = path(std::string(c.seconds) + "-" + std::to_string(c.channels) + ".wav");
        ASSERT_EQ(bleepforge("render --note 60:127:0:2 --length " + std::string(c.seconds) +
                             " --channels " + std::to_string(c.channels) +
                             " --format float --normalize lufs:-23 -o '" + file + "'"),
                  0)
            << read("err.txt");
        const std::string line = lineNaming(read("err.txt"), file);
        EXPECT_NE(line.find(c.measure), std::string::npos) << line;
        EXPECT_NEAR(outsideLoudness(readSound(file)), -23.0, 0.1) << file << ": " << line;
    }
}

TEST_F(LoudnessTest, TheLineSaysWhenTheTruePeakCeilingHeldTheGain)
{
    const std::string file = path("laser.wav");
    ASSERT_EQ(bleepforge("generate laser --seed 3009 --format float --normalize lufs -o '" + file + "'"), 0);
    const std::string line = lineNaming(read("err.txt"), file);
    EXPECT_NE(line.find("ceiling"), std::string::npos) << line;
    const double stated = statedLevel(line);
    EXPECT_LT(stated, -16.5) << line;
    EXPECT_NEAR(outsideLoudness(readSound(file)), stated, 0.1) << line;
}

// Renders are measured and written in a second pass over a spool, so a long
// sound costs no more memory than a short one.
TEST_F(LoudnessTest, NormalisingALongRenderTakesNoMoreMemoryThanAShortOne)
{
    const std::string render = "render --note 60:127:0:30 --normalize ";
    const long shortSound = peakKilobytes(render + "lufs --length 1 -o '" + path("short.wav") + "'");
    // Held whole, 20 s of stereo doubles is 14 MB a copy.
    const long allowed = shortSound + 8 * 1024;
    EXPECT_LT(peakKilobytes(render + "lufs --length 20 -o '" + path("long.wav") + "'"), allowed);
    EXPECT_LT(peakKilobytes(render + "peak --length 20 -o '" + path("long.wav") + "'"), allowed);
}

// A game's sound set, as its build makes it: every file at the level asked as
// an outside meter reads it (or its line says the ceiling held it lower), and
// a second build gives the same bytes.
TEST_F(LoudnessTest, AGamesSoundSetIsLevelledAndBuildsTheSameTwice)
{
    const struct
    {
        const char* kind;
        int count;
    } sets[] = {{"blip", 20}, {"pickup", 10}, {"laser", 10}};
    std::string lines;
    for (const char* build : {"first", "second"})
    {
        ASSERT_EQ(run("mkdir '" + path(build) + "'"), 0);
        for (const auto& set : sets)
        {
            ASSERT_EQ(bleepforge("generate " + std::string(set.kind) + " --seed 100 --count " +
                                 std::to_string(set.count) + " --jobs 2 --channels 1 " +
                                 "--normalize lufs:-16 -o '" + path(build) + "/" + set.kind +
                                 "-%02d.ogg' > /dev/null"),
                      0)
                << read("err.txt");
            lines += read("err.txt");
        }
    }
    for (const auto& set : sets)
    {
        for (int k = 0; k < set.count; ++k)
        {
            char name[32];
            std::snprintf(name, sizeof name, "%s-%02d.ogg", set.kind, k);
            const std::string second = path(std::string("second/") + name);
            EXPECT_TRUE(read(std::string("first/") + name) == read(std::string("second/") + name))
                << name << " differs between the builds";
            const std::string line = lineNaming(lines, second);
            const double measured = outsideLoudness(readSound(second));
            if (line.find("ceiling") == std::string::npos)
            {
                EXPECT_NEAR(statedLevel(line), -16.0, 0.05) << line;
                EXPECT_NEAR(measured, -16.0, 0.5) << line;
                continue;
            }
            EXPECT_LT(statedLevel(line), -16.0) << line;
            EXPECT_LT(measured, -16.0 + 0.5) << line;
        }
    }
}
