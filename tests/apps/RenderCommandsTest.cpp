// bleepforge render, auhost render and lv2host render take the same options
// and write the same file, byte for byte, metadata included.
#include "CommandTest.h"

#include <string>
#include <vector>

namespace
{

class RenderCommandsTest : public CommandTest
{
protected:
    struct Program
    {
        const char* name;
        std::string command; // up to the render options
    };

    std::vector<Program> programs() const
    {
        return {{"bleepforge", std::string(BLEEPFORGE_CLI) + " render"},
                {"auhost", std::string(BLEEPFORGE_AUHOST) + " render '" BLEEPFORGE_BUNDLE "'"},
                {"lv2host", "LV2_PATH='" BLEEPFORGE_LV2_PATH "' " BLEEPFORGE_LV2HOST " render"}};
    }

    // Each program's file and state for the options, compared whole with the
    // command line's.
    void expectSameFiles(const std::string& options, const std::string& extension)
    {
        std::string first, firstState;
        for (const Program& program : programs())
        {
            const std::string file = std::string(program.name) + extension;
            const std::string state = std::string(program.name) + ".state";
            ASSERT_EQ(run(program.command + " " + options + " --state-out '" + path(state) +
                          "' -o '" + path(file) + "'"),
                      0)
                << program.name << " " << options << ": " << read("err.txt");
            const std::string bytes = read(file);
            if (first.empty())
            {
                first = bytes;
                firstState = read(state);
                EXPECT_GT(first.size(), 2000u) << options;
                continue;
            }
            EXPECT_TRUE(bytes == first) << program.name << " " << extension << " " << options;
            EXPECT_TRUE(read(state) == firstState) << program.name << " state " << options;
        }
    }
};

} // namespace

TEST_F(RenderCommandsTest, EveryProgramWritesTheSameFileForTheSameOptions)
{
    ASSERT_EQ(run(std::string(BLEEPFORGE_CLI) + " generate hit --seed 8 --state-out '" +
                  path("hit.state") + "' -o '" + path("hit.wav") + "' > /dev/null"),
              0);
    const std::string optionSets[] = {
        "",
        "--seed 3 --channels 1",
        "--note 60:120:0:0.2 --note 67:90:0.1:0.3 --seed 9 --format pcm24",
        // Whole numbers, list texts and values single precision holds exactly.
        "--set 'Osc1 Type=square' --set 'Osc2 Type=Saw' --set 'Osc2 Level=-12' --set 'Osc2 Octave=-1'"
        " --set 'White EnvDepth=0.25' --set 'White Level=-12' --set 'Filter LP Cutoff=2048' --seed 5",
        "--state '" + path("hit.state") + "' --seed 4 --rate 22050 --block 100",
        "--state '" + path("hit.state") + "' --set 'Amp Env Decay=0.125' --normalize peak:-3",
        "--seed 2 --channels 1 --normalize lufs",
    };
    for (const std::string& options : optionSets)
    {
        expectSameFiles(options, ".wav");
        expectSameFiles(options, ".flac");
    }
    expectSameFiles("--seed 6 --set 'Osc1 Type=Whistle'", ".ogg");
}

// The sound a file carries plays again as the file does, whichever program wrote it.
TEST_F(RenderCommandsTest, EveryProgramsFileCarriesItsSound)
{
    for (const Program& program : programs())
    {
        ASSERT_EQ(run(program.command + " --seed 1 --set 'Osc1 Type=Saw' -o '" + path("a.flac") + "'"), 0)
            << program.name << ": " << read("err.txt");
        ASSERT_EQ(run(std::string(BLEEPFORGE_CLI) + " render --seed 1 --state '" + path("a.flac") +
                      "' -o '" + path("again.flac") + "'"),
                  0)
            << program.name << ": " << read("err.txt");
        EXPECT_TRUE(read("again.flac") == read("a.flac")) << program.name;
    }
}

// Without --seed each run draws its own seed, even two started together, and
// says it: given again, it makes the same bytes.
TEST_F(RenderCommandsTest, AnUnseededRenderSaysTheSeedThatMakesItAgain)
{
    ASSERT_EQ(run(std::string(BLEEPFORGE_CLI) + " generate explosion --seed 5 -o '" + path("boom.wav") +
                  "' > /dev/null"),
              0);
    for (const Program& program : programs())
    {
        const std::string render = program.command + " --state '" + path("boom.wav") + "' -o '";
        // Each run says its seed on a standard error of its own.
        ASSERT_EQ(run("(" + render + path("a.wav") + "' 2>'" + path("a.err") + "' & " + render +
                      path("b.wav") + "' 2>'" + path("b.err") + "'; wait)"),
                  0)
            << program.name;
        const std::string prefix = std::string(program.name) + ": seed ";
        std::vector<std::string> seeds;
        for (const char* said : {"a.err", "b.err"})
        {
            const std::string text = read(said);
            const size_t at = text.find(prefix);
            ASSERT_NE(at, std::string::npos) << program.name << ": " << text;
            const size_t from = at + prefix.size();
            seeds.push_back(text.substr(from, text.find('\n', from) - from));
        }
        EXPECT_NE(seeds[0], seeds[1]) << program.name;
        EXPECT_FALSE(read("a.wav") == read("b.wav")) << program.name;
        const std::string made[] = {read("a.wav"), read("b.wav")};
        for (size_t k = 0; k < 2; ++k)
        {
            ASSERT_EQ(run(render + path("again.wav") + "' --seed " + seeds[k]), 0) << read("err.txt");
            EXPECT_TRUE(read("again.wav") == made[k]) << program.name << " seed " << seeds[k];
        }
    }
}

TEST_F(RenderCommandsTest, EveryProgramRefusesTheSameSettings)
{
    for (const Program& program : programs())
    {
        for (const char* refused : {"Osc1 Octave=1.5", "Osc1 Type=3.7", "Osc1 Level=nan",
                                    "Filter LP Cutoff=inf", "Amp Env Sustain=-1", "Osc1 Type=Warble",
                                    "Osc1 Lvl=0"})
        {
            EXPECT_EQ(run(program.command + " --set '" + refused + "' -o '" + path("x.wav") + "'"), 2)
                << program.name << " " << refused;
            EXPECT_EQ(read("err.txt").rfind(std::string(program.name) + ": --set", 0), 0u)
                << program.name << " " << refused << ": " << read("err.txt");
        }
        EXPECT_NE(access(path("x.wav").c_str(), F_OK), 0) << program.name;
    }
}
