// lv2host against the built LV2 bundle: the samples bleepforge render makes,
// factory presets that are the generators' sounds, and clear refusals.
#include "CommandTest.h"

#include <cstring>
#include <sys/stat.h>

namespace
{

class LV2HostTest : public CommandTest
{
protected:
    std::string lv2host(const std::string& args) const
    {
        return "LV2_PATH='" BLEEPFORGE_LV2_PATH "' " BLEEPFORGE_LV2HOST " " + args;
    }
    std::string cli(const std::string& args) const { return BLEEPFORGE_CLI " " + args; }
    // Both programs' float WAV files for the same options: the same samples
    // and the same sound in the file.
    void expectSameFiles(const std::string& options)
    {
        ASSERT_EQ(run(lv2host("render " + options + " --format float -o '" + path("lv2.wav") + "'")), 0)
            << options << ": " << read("err.txt");
        ASSERT_EQ(run(cli("render " + options + " --format float -o '" + path("cli.wav") + "'")), 0)
            << options << ": " << read("err.txt");
        EXPECT_GT(read("lv2.wav").size(), 1000u) << options;
        EXPECT_TRUE(read("lv2.wav") == read("cli.wav")) << options;
    }
};

} // namespace

TEST_F(LV2HostTest, RendersWhatTheCommandLineRenders)
{
    ASSERT_EQ(run(cli("generate pickup --seed 3 -o '" + path("pickup.wav") + "' > /dev/null")), 0);
    ASSERT_EQ(run(cli("generate hit --seed 8 --state-out '" + path("hit.state") + "' -o '" +
                      path("hit.wav") + "' > /dev/null")),
              0);
    const std::string optionSets[] = {
        "",
        "--state '" + path("pickup.wav") + "' --rate 22050 --block 100",
        "--state '" + path("hit.state") + "' --seed 4 --rate 96000 --block 1",
        // Whole numbers, display texts and values single precision holds exactly.
        "--set 'Osc1 Type=Square' --set 'Osc2 Type=Saw' --set 'Osc2 Level=-12' --set 'Osc2 Octave=-1'"
        " --set 'Filter LP Cutoff=2048' --set 'Amp Env Decay=0.25' --note 60:127:0:0.3 --rate 48000",
        // Notes on and beside block edges, a same-frame restrike, noise.
        "--block 64 --seed 11 --set 'White Level=-6' --note 60:100:0:0.00145124716553288"
        " --note 64:90:0.00145124716553288:0.1 --note 64:80:0.1:0.05 --note 67:127:0.0029024943310657:0",
        "--block 4096 --rate 8000 --length 0.7 --note 48:64:0.25:0.2",
    };
    for (const std::string& options : optionSets)
        expectSameFiles(options);
}

// Hosts store the white noise's envelope depth under a plain symbol; the
// command line takes the plain spelling too, and the shown name stays.
TEST_F(LV2HostTest, TheWhiteNoiseEnvelopeDepthIsSpelledPlainlyWhereUsersTypeIt)
{
    ASSERT_EQ(run(lv2host("info > '" + path("info.txt") + "'")), 0) << read("err.txt");
    EXPECT_NE(read("info.txt").find("\twhite_envdepth\tWhiite EnvDepth\t"), std::string::npos);
    EXPECT_EQ(read("info.txt").find("whiite_"), std::string::npos);

    ASSERT_EQ(run(lv2host("render --set white_envdepth=0.25 --state-out '" + path("lv2.state") + "' -o '" +
                          path("lv2.wav") + "'")),
              0)
        << read("err.txt");
    for (const char* name : {"White EnvDepth", "Whiite EnvDepth"})
    {
        ASSERT_EQ(run(cli("render --set '" + std::string(name) + "=0.25' --state-out '" + path("cli.state") +
                          "' -o '" + path("cli.wav") + "'")),
                  0)
            << name << ": " << read("err.txt");
        EXPECT_TRUE(read("cli.state") == read("lv2.state")) << name;
    }
}

// A preset that holds only the plug-in's state, no port values, as another
// host or a user may write one: it plays its own sound, not the defaults the
// host's ports still show.
TEST_F(LV2HostTest, AStateOnlyPresetPlaysItsOwnSound)
{
    ASSERT_EQ(run(cli("generate jump --seed 5 --state-out '" + path("jump.state") + "' -o '" +
                      path("jump.wav") + "' > /dev/null")),
              0);
    const std::string bundle = path("presets/state-only.lv2");
    ASSERT_EQ(run("mkdir -p '" + bundle + "' && { printf '%s' '"
                  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> . "
                  "@prefix pset: <http://lv2plug.in/ns/ext/presets#> . "
                  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> . "
                  "@prefix state: <http://lv2plug.in/ns/ext/state#> . "
                  "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> . "
                  "<urn:bleepforge-test:state-only> a pset:Preset ; lv2:appliesTo <urn:vantrell:bleepforge> ; "
                  "rdfs:label \"State Only\" ; state:state [ <urn:vantrell:bleepforge#state> \"'; "
                  "base64 -w0 '" + path("jump.state") + "'; printf '%s\\n' '\"^^xsd:base64Binary ] .'; } > '" +
                  bundle + "/manifest.ttl'"),
              0);
    ASSERT_EQ(run("LV2_PATH='" + path("presets") + ":" BLEEPFORGE_LV2_PATH "' " BLEEPFORGE_LV2HOST
                  " render --preset 'State Only' --seed 2 --format float -o - > '" + path("preset.raw") + "'"),
              0)
        << read("err.txt");
    ASSERT_EQ(run(cli("render --state '" + path("jump.state") + "' --seed 2 --format float -o - > '" +
                      path("state.raw") + "'")),
              0);
    EXPECT_GT(read("state.raw").size(), 1000u);
    EXPECT_TRUE(read("preset.raw") == read("state.raw"));
}

TEST_F(LV2HostTest, FactoryPresetsAreTheGeneratorsSoundsAndBadRequestsAreRefused)
{
    ASSERT_EQ(run(lv2host("info > '" + path("info.txt") + "'")), 0) << read("err.txt");
    for (const char* label : {"Pickup", "Shoot", "Powerup", "Hit", "Jump", "Blip", "Slash"})
        EXPECT_NE(read("info.txt").find(std::string("preset\t") + label + "\t"), std::string::npos) << label;

    ASSERT_EQ(run(cli("generate jump --seed 1 -o '" + path("jump.wav") + "' > /dev/null")), 0);
    ASSERT_EQ(run(lv2host("render --preset Jump --seed 2 --format float -o - > '" + path("preset.raw") + "'")), 0)
        << read("err.txt");
    ASSERT_EQ(run(cli("render --state '" + path("jump.wav") + "' --seed 2 --format float -o - > '" +
                      path("state.raw") + "'")),
              0);
    EXPECT_TRUE(read("preset.raw") == read("state.raw"));

    const std::pair<std::string, int> refused[] = {
        {"render --preset Nothing -o x.wav", 2},
        {"render --set 'Osc1 Level=5' -o x.wav", 2},
        {"render --set 'Osc1 Octave=1.5' -o x.wav", 2},
        {"render --set 'No Such=1' -o x.wav", 2},
        {"render --state /nonexistent -o x.wav", 1},
        {"render --uri urn:nothing:here -o x.wav", 1},
    };
    // The plug-in needs none of the editor's images: a damaged one, or none
    // at all, changes nothing of what it plays (only its editor needs them).
    ASSERT_EQ(run("cp -r '" BLEEPFORGE_LV2_PATH "' '" + path("lv2") + "' && cd '" + path("lv2") +
                  "/Bleepforge.lv2/Resources' && head -c 3000 Background.png > b && mv b Background.png"),
              0);
    const std::string sound = " render --preset Slash --seed 3 -o '";
    ASSERT_EQ(run(lv2host(sound + path("whole.wav") + "'")), 0) << read("err.txt");
    EXPECT_EQ(run("LV2_PATH='" + path("lv2") + "' " BLEEPFORGE_LV2HOST + sound + path("damaged.wav") + "'"), 0)
        << read("err.txt");
    ASSERT_EQ(run("rm -r '" + path("lv2") + "/Bleepforge.lv2/Resources'"), 0);
    EXPECT_EQ(run("LV2_PATH='" + path("lv2") + "' " BLEEPFORGE_LV2HOST + sound + path("none.wav") + "'"), 0)
        << read("err.txt");
    EXPECT_FALSE(read("whole.wav").empty());
    EXPECT_TRUE(read("damaged.wav") == read("whole.wav"));
    EXPECT_TRUE(read("none.wav") == read("whole.wav"));
    for (const auto& [args, status] : refused)
    {
        EXPECT_EQ(run("cd '" + mDir + "' && " + lv2host(args)), status) << args;
        EXPECT_EQ(read("err.txt").rfind("lv2host: ", 0), 0u) << args << ": " << read("err.txt");
        EXPECT_NE(access(path("x.wav").c_str(), F_OK), 0) << args;
    }
}

// The plug-in renders single precision, so the files may differ in a last
// bit; what normalising measured and did may not.
TEST_F(LV2HostTest, NormalisesAsTheCommandLineDoes)
{
    // What a line says after naming its file.
    const auto leveling = [this](const std::string& file)
    {
        const std::string err = read("err.txt"), named = "'" + path(file) + "': ";
        const size_t at = err.find(named);
        return at == std::string::npos ? "no line names " + file + ": " + err : err.substr(at + named.size());
    };
    for (const std::string options : {"--length 0.12 --channels 1 --normalize lufs:-23",
                                      "--note 60:127:0:1 --normalize lufs:-23", "--normalize peak:-2"})
    {
        ASSERT_EQ(run(lv2host("render " + options + " -o '" + path("lv2.wav") + "'")), 0) << read("err.txt");
        const std::string fromPlugin = leveling("lv2.wav");
        ASSERT_EQ(run(cli("render " + options + " -o '" + path("cli.wav") + "'")), 0) << read("err.txt");
        EXPECT_EQ(fromPlugin, leveling("cli.wav")) << options;
    }
}

// INT, TERM or HUP (a closed terminal) in the middle of a render: the file in
// flight is removed.
TEST_F(LV2HostTest, SignalsRemoveTheFileInFlight)
{
    expectSignalsRemoveTheFileInFlight(
        [](const std::string& dir) -> std::vector<std::string>
        {
            return {"/usr/bin/env", "LV2_PATH=" BLEEPFORGE_LV2_PATH, BLEEPFORGE_LV2HOST, "render", "--note",
                    "60:127:0:3600", "--length", "3600", "-o", dir + "/l.wav"};
        });
}

// A host library reads its bundles' files itself: a FIFO among them, that
// nobody writes to, holds lv2host only until the first signal.
TEST_F(LV2HostTest, TheFirstSignalEndsAWaitOnABundleFile)
{
    ASSERT_EQ(mkdir(path("waiting.lv2").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(path("waiting.lv2/manifest.ttl").c_str(), 0644), 0);
    const pid_t pid = start({"/usr/bin/env", "LV2_PATH=" + mDir + ":" BLEEPFORGE_LV2_PATH,
                             BLEEPFORGE_LV2HOST, "render", "-o", path("l.wav")});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitForSleepIn(pid, "wait_for_partner"));
    kill(pid, SIGTERM);
    const int status = waitFor(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM) << "status " << status;
    EXPECT_NE(read("err.txt").find("interrupted"), std::string::npos) << read("err.txt");
    EXPECT_NE(access(path("l.wav").c_str(), F_OK), 0);
}
