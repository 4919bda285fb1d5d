// Kinds as recipes on the command line: found in the user's folder and the
// program's, listed, refused whole when damaged; and the explosion the
// program ships, checked by measurement over many seeds.
#include "CommandTest.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

namespace
{

class KindsTest : public CommandTest
{
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        mkdir(path("config").c_str(), 0755);
        mkdir(path("config/bleepforge").c_str(), 0755);
        mkdir(path("config/bleepforge/kinds").c_str(), 0755);
    }

    // bleepforge with the user's kinds folder in the scratch folder.
    int cli(const std::string& args)
    {
        return run("cd '" + mDir + "' && XDG_CONFIG_HOME='" + path("config") + "' " + BLEEPFORGE_CLI + " " +
                   args + " >'" + path("out.txt") + "'");
    }

    void userKind(const std::string& name, const std::string& text)
    {
        std::ofstream(path("config/bleepforge/kinds/" + name + ".toml")) << text;
    }

    bool exists(const std::string& name) const { return access(path(name).c_str(), F_OK) == 0; }
};

struct Sound
{
    std::vector<float> samples;
    double rate = 0.0;
};

Sound monoSound(const std::string& file)
{
    SF_INFO info{};
    SNDFILE* in = sf_open(file.c_str(), SFM_READ, &info);
    if (!in)
        return {};
    Sound sound{std::vector<float>(static_cast<size_t>(info.frames * info.channels)), double(info.samplerate)};
    sf_readf_float(in, sound.samples.data(), info.frames);
    sf_close(in);
    return sound;
}

using Spectrum = std::vector<double>;

// The power spectrum of a Hann-windowed frame (a power of two long).
Spectrum powerSpectrum(const float* samples, size_t n)
{
    std::vector<std::complex<double>> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = samples[i] * (0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n)));
    for (size_t i = 1, j = 0; i < n; ++i)
    {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1)
    {
        const std::complex<double> step = std::polar(1.0, -2.0 * M_PI / static_cast<double>(length));
        for (size_t start = 0; start < n; start += length)
        {
            std::complex<double> w = 1.0;
            for (size_t k = 0; k < length / 2; ++k, w *= step)
            {
                const std::complex<double> even = x[start + k], odd = w * x[start + k + length / 2];
                x[start + k] = even + odd;
                x[start + k + length / 2] = even - odd;
            }
        }
    }
    Spectrum power(n / 2);
    for (size_t k = 0; k < n / 2; ++k)
        power[k] = std::norm(x[k]);
    return power;
}

const size_t kFrame = 2048;

struct Measures
{
    double seconds;
    double flatness;     // of the loudest frame, 50 Hz ... 4 kHz: 1 for white noise, near 0 for tones
    double blastCentroid; // Hz, of the loudest frame
    double fallCentroid;  // of the first frame after it 20 dB down
};

Measures measure(const Sound& sound)
{
    const std::vector<float>& samples = sound.samples;
    const double rate = sound.rate;
    Measures m{static_cast<double>(samples.size()) / rate, 0.0, 0.0, 0.0};
    const size_t lo = static_cast<size_t>(50.0 * kFrame / rate), hi = static_cast<size_t>(4000.0 * kFrame / rate);
    struct Frame
    {
        double energy, centroid, flatness;
    };
    std::vector<Frame> frames;
    for (size_t at = 0; at + kFrame <= samples.size(); at += kFrame / 2)
    {
        const Spectrum power = powerSpectrum(&samples[at], kFrame);
        double energy = 0.0, moment = 0.0, logSum = 0.0;
        for (size_t k = lo; k < hi; ++k)
        {
            energy += power[k];
            moment += power[k] * static_cast<double>(k) * rate / kFrame;
            logSum += std::log(power[k] + 1e-30);
        }
        const double bins = static_cast<double>(hi - lo);
        frames.push_back({energy, moment / energy, std::exp(logSum / bins) / (energy / bins)});
    }
    if (frames.empty())
        return m;
    const auto loudest = std::max_element(frames.begin(), frames.end(),
                                          [](const Frame& a, const Frame& b) { return a.energy < b.energy; });
    m.flatness = loudest->flatness;
    m.blastCentroid = loudest->centroid;
    const auto fallen = std::find_if(loudest, frames.end(),
                                     [&loudest](const Frame& f) { return f.energy < loudest->energy / 100.0; });
    m.fallCentroid = fallen == frames.end() ? m.blastCentroid : fallen->centroid;
    return m;
}

TEST_F(KindsTest, RecipesAreFoundListedAndMadeLikeBuiltInKinds)
{
    userKind("click", "description = \"our UI click\"\nstart = \"blip\"\n[params]\n\"Output Gain\" = -3\n");
    ASSERT_EQ(cli("kinds"), 0);
    const std::string list = read("out.txt");
    EXPECT_NE(list.find("pickup (coin)"), std::string::npos) << list;
    EXPECT_NE(list.find("click  our UI click"), std::string::npos) << list;
    EXPECT_NE(list.find("explosion  a blast"), std::string::npos) << list;

    // A recipe kind by name, and by file, make the same sound for a seed.
    ASSERT_EQ(cli("generate click --seed 4 --state-out a.state -o a.wav"), 0) << read("err.txt");
    ASSERT_EQ(cli("generate --recipe config/bleepforge/kinds/click.toml --seed 4 --state-out b.state -o b.wav"), 0);
    EXPECT_EQ(read("a.wav"), read("b.wav"));
    EXPECT_EQ(read("a.state"), read("b.state"));
    ASSERT_EQ(cli("show a.wav"), 0);
    EXPECT_NE(read("out.txt").find("\"Output Gain=-3"), std::string::npos) << read("out.txt");
    ASSERT_EQ(cli("generate blip --seed 4 -o c.wav"), 0);
    EXPECT_NE(read("a.wav"), read("c.wav"));

    // Locks keep the starting sound's values through a recipe too.
    ASSERT_EQ(cli("generate explosion --seed 9 --state-out free.state -o free.wav"), 0);
    ASSERT_EQ(cli("generate explosion --seed 9 --set 'Pitch Low Note=100' --lock 'Pitch Low Note' "
                  "--state-out locked.state -o locked.wav"),
              0);
    ASSERT_EQ(cli("show locked.state"), 0);
    EXPECT_NE(read("out.txt").find("\"Pitch Low Note=100\""), std::string::npos);

    // A user's recipe comes before the program's of the same name.
    userKind("explosion", "[params]\n\"Output Gain\" = -20\n");
    ASSERT_EQ(cli("generate explosion --seed 9 --state-out mine.state -o mine.wav"), 0);
    ASSERT_EQ(cli("show mine.state"), 0);
    EXPECT_NE(read("out.txt").find("\"Output Gain=-20"), std::string::npos);
}

TEST_F(KindsTest, ADamagedRecipeWritesNothingAndSaysWhy)
{
    userKind("broken", "[params]\n\"Amp Env Decay\" = { range = [2, 1] }\n");
    EXPECT_EQ(cli("generate broken --count 3 -o 'x-%d.wav'"), 2);
    EXPECT_NE(read("err.txt").find("broken.toml:2: \"Amp Env Decay\": the range is upside down"), std::string::npos)
        << read("err.txt");
    EXPECT_FALSE(exists("x-0.wav"));
    EXPECT_EQ(cli("generate bogus -o y.wav"), 2);
    EXPECT_NE(read("err.txt").find("'bleepforge kinds' lists them"), std::string::npos) << read("err.txt");
    EXPECT_EQ(cli("generate pickup --recipe config/bleepforge/kinds/broken.toml -o y.wav"), 2);
    EXPECT_EQ(cli("generate -o y.wav"), 2);
    EXPECT_FALSE(exists("y.wav"));
    ASSERT_EQ(cli("kinds"), 0);
    EXPECT_NE(read("out.txt").find("broken  (damaged: "), std::string::npos) << read("out.txt");
}

// Names and texts from the kinds folder reach the terminal with their control
// characters escaped: none clears the screen, rings or splits a line.
TEST_F(KindsTest, NamesAndDescriptionsArePrintedWithTheirControlCharactersEscaped)
{
    userKind("ev\x1b[2Jil", "description = \"a \\u001b[31mred\\u0007 bell\\nsecond line\"\nstart = \"blip\"\n");
    userKind("new\nline", "description = \"fine\"\n");
    userKind("bad\x07", "[params]\n\"Wite \\u009b2J\" = 0\n");
    ASSERT_EQ(cli("kinds"), 0) << read("err.txt");
    const std::string list = read("out.txt");
    for (const char control : {'\x1b', '\x07'})
        EXPECT_EQ(list.find(control), std::string::npos) << list;
    EXPECT_EQ(list.find("\xc2\x9b"), std::string::npos) << list;
    EXPECT_NE(list.find("  ev\\x1b[2Jil  a \\x1b[31mred\\x07 bell\\nsecond line\n"), std::string::npos) << list;
    EXPECT_NE(list.find("  new\\nline  fine\n"), std::string::npos) << list;
    EXPECT_NE(list.find("kinds/new\\nline.toml\n"), std::string::npos) << list;
    EXPECT_NE(list.find("  bad\\x07  (damaged: "), std::string::npos) << list;
    EXPECT_NE(list.find("\\u009b2J"), std::string::npos) << list;
    // Errors quote them escaped too.
    EXPECT_EQ(cli("generate 'bad\x07' -o x.wav"), 2);
    EXPECT_EQ(read("err.txt").find('\x07'), std::string::npos) << read("err.txt");
    EXPECT_NE(read("err.txt").find("bad\\x07.toml:2"), std::string::npos) << read("err.txt");
}

// What is no regular file, or too large, in the kinds folder is listed as
// refused and makes nothing, at once: a FIFO nobody writes to, a link to a
// device that never ends, a folder, a file past the limit.
TEST_F(KindsTest, RecipesAreReadOnlyFromRegularFilesOfABoundedSize)
{
    const std::string kinds = path("config/bleepforge/kinds/");
    ASSERT_EQ(mkfifo((kinds + "waiting.toml").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", (kinds + "endless.toml").c_str()), 0);
    ASSERT_EQ(mkdir((kinds + "folder.toml").c_str(), 0755), 0);
    userKind("huge", "description = \"huge\"\n" + std::string(1 << 20, '#') + "\n");
    userKind("click", "description = \"our UI click\"\nstart = \"blip\"\n");
    const std::string env = "XDG_CONFIG_HOME=" + path("config");
    const std::vector<std::vector<std::string>> commands = {
        {"kinds"},
        {"generate", "waiting", "-o", path("a.wav")},
        {"generate", "--recipe", kinds + "waiting.toml", "-o", path("a.wav")},
        {"generate", "endless", "-o", path("a.wav")},
        {"generate", "folder", "-o", path("a.wav")},
        {"generate", "huge", "-o", path("a.wav")}};
    for (const std::vector<std::string>& command : commands)
    {
        std::vector<std::string> args = {"/usr/bin/env", env, BLEEPFORGE_CLI};
        args.insert(args.end(), command.begin(), command.end());
        std::string what;
        for (const std::string& word : command)
            what += word + " ";
        const int status = waitFor(start(args));
        ASSERT_TRUE(WIFEXITED(status)) << what << ": did not end";
        const std::string err = read("err.txt");
        if (command[0] == "kinds")
        {
            EXPECT_EQ(WEXITSTATUS(status), 0) << err;
            const std::string list = read("out.txt");
            for (const char* refused : {"waiting", "endless", "folder"})
                EXPECT_NE(list.find(std::string(refused) + "  (damaged: '" + kinds + refused +
                                    ".toml' is not a regular file)"),
                          std::string::npos)
                    << list;
            EXPECT_NE(
                list.find("huge  (damaged: '" + kinds + "huge.toml' is larger than 1048576 bytes)"),
                std::string::npos)
                << list;
            EXPECT_NE(list.find("click  our UI click"), std::string::npos) << list;
            continue;
        }
        EXPECT_EQ(WEXITSTATUS(status), 2) << what << ": " << err;
        EXPECT_TRUE(err.find("is not a regular file") != std::string::npos ||
                    err.find("is larger than") != std::string::npos)
            << what << ": " << err;
        EXPECT_FALSE(exists("a.wav")) << what;
    }
}

// Noise-led (the blast's spectrum is flat where a tonal kind's is not), a
// low-pass closing as it dies away (the centroid falls by the time it is
// 20 dB down), 0.4 to 2.5 s long: every one of 50 seeds.
TEST_F(KindsTest, TheExplosionIsABlastByMeasurement)
{
    ASSERT_EQ(cli("generate explosion --seed 100 --count 50 --channels 1 --format float -o 'boom-%02d.wav'"), 0)
        << read("err.txt");
    ASSERT_EQ(cli("generate pickup --seed 100 --count 10 --channels 1 --format float -o 'coin-%02d.wav'"), 0);
    for (int k = 0; k < 50; ++k)
    {
        char name[32];
        std::snprintf(name, sizeof name, "boom-%02d.wav", k);
        const Measures m = measure(monoSound(path(name)));
        EXPECT_GE(m.seconds, 0.4) << name;
        EXPECT_LE(m.seconds, 2.5) << name;
        EXPECT_GT(m.flatness, 0.05) << name;
        EXPECT_LT(m.fallCentroid, 0.7 * m.blastCentroid) << name;
    }
    for (int k = 0; k < 10; ++k)
    {
        char name[32];
        std::snprintf(name, sizeof name, "coin-%02d.wav", k);
        EXPECT_LT(measure(monoSound(path(name))).flatness, 0.05) << name;
    }
}

} // namespace
