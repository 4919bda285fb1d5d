#include "PIX.h"
#include "qxDSP.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
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

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bleepforge-cli-XXXXXX";
        mDir = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + mDir + "'").c_str()); }

    std::string path(const std::string& name) const { return mDir + "/" + name; }

    CliRun run(const std::string& args)
    {
        const std::string err = path("stderr.txt");
        const std::string command = std::string(BLEEPFORGE_CLI) + " " + args + " 2>'" + err + "'";
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

    std::string mDir;
};

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
    EXPECT_NE(r.err.find("more than 484"), std::string::npos) << r.err;
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

TEST_F(CliTest, SnapshotDrawsTheEditorAtOneOrTwoTimesAndChecksItsImages)
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
    r = run("render --note 60 -o '" + path("x.wav") + "'");
    unsetenv("BLEEPFORGE_RESOURCES");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bleepforge: cannot find the editor image"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(path("empty")), std::string::npos) << r.err;
    EXPECT_FALSE(exists("x.wav"));
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
    ASSERT_EQ(run("generate powerup --seed 5 --state-out '" + path("p.state") + "' -o '" +
                  path("p.wav") + "'")
                  .status,
              0);
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
