// auhost against the built bundle: the same sound as bleepforge render, and
// presets that carry a sound from one run to the next.
#include "CommandTest.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

class AuhostTest : public CommandTest
{
protected:
    std::string auhost(const std::string& args) const
    {
        return std::string(BLEEPFORGE_AUHOST) + " " + args;
    }

    const std::string mBundle = BLEEPFORGE_BUNDLE;
};

} // namespace

TEST_F(AuhostTest, RendersWhatTheCommandLineRendersAndKeepsPresets)
{
    const std::string notes = " --note 60:120:0:0.2 --note 67:90:0.1:0.3 --set 'Osc1 Type=Square'"
                              " --set 'Pitch Jump Delay=0.125' --set 'White Level=-12' --seed 9"
                              " --format float";
    ASSERT_EQ(run(auhost("render " + mBundle + notes + " --save-preset '" + path("p.aupreset") +
                         "' -o '" + path("au.wav") + "'")),
              0)
        << read("err.txt");
    ASSERT_EQ(run(std::string(BLEEPFORGE_CLI) + " render" + notes + " -o '" + path("cli.wav") + "'"), 0);
    EXPECT_GT(read("au.wav").size(), 1000u);
    EXPECT_TRUE(read("au.wav") == read("cli.wav")); // the sound it carries too
    EXPECT_NE(read("p.aupreset").find("<key>data</key>"), std::string::npos);

    // Raw samples on standard output, as bleepforge render -o - writes them.
    ASSERT_EQ(run(auhost("render " + mBundle + notes + " -o - > '" + path("au.raw") + "'")), 0);
    ASSERT_EQ(run(std::string(BLEEPFORGE_CLI) + " render" + notes + " -o - > '" + path("cli.raw") + "'"), 0);
    EXPECT_FALSE(read("au.raw").empty());
    EXPECT_EQ(read("au.raw"), read("cli.raw"));

    // The preset alone brings the sound back.
    ASSERT_EQ(run(auhost("render " + mBundle + " --note 60:120:0:0.2 --seed 9 --format float --preset '" +
                         path("p.aupreset") + "' -o '" + path("again.wav") + "'")),
              0)
        << read("err.txt");
    ASSERT_EQ(run(auhost("render " + mBundle + " --note 60:120:0:0.2 --seed 9 --format float --set "
                         "'Osc1 Type=Square' --set 'Pitch Jump Delay=0.125' --set 'White Level=-12' -o '" +
                         path("direct.wav") + "'")),
              0);
    EXPECT_EQ(read("again.wav"), read("direct.wav"));

    std::ofstream(path("bad.aupreset")) << "not a property list";
    EXPECT_EQ(run(auhost("render " + mBundle + " --preset '" + path("bad.aupreset") + "' -o '" +
                         path("bad.wav") + "'")),
              1);
    EXPECT_EQ(run(auhost("info /nonexistent.component")), 1);
    EXPECT_NE(read("err.txt").find("auhost: "), std::string::npos);
}

// A state whose whole-number values carry fractions is saved as the whole
// values it plays, as the command line would have made it.
TEST_F(AuhostTest, APresetKeepsTheWholeValuesAStatePlays)
{
    const std::string cli = std::string(BLEEPFORGE_CLI) + " render --note 60:100:0:0.05 -o '" + path("w.wav") + "'";
    ASSERT_EQ(run(cli + " --set 'Osc1 Type=Square' --set 'Osc1 Octave=-1' --state-out '" + path("whole.state") + "'"),
              0);
    std::string fractional = read("whole.state");
    const double type = 3.7, octave = -1.5;
    std::memcpy(&fractional[4 + 8 * 1], &type, sizeof type);     // Osc1 Type
    std::memcpy(&fractional[4 + 8 * 9], &octave, sizeof octave); // Osc1 Octave
    std::ofstream(path("fractional.state"), std::ios::binary) << fractional;
    for (const char* name : {"whole", "fractional"})
    {
        ASSERT_EQ(run(auhost("render " + mBundle + " --note 60:100:0:0.05 --state '" + path(name) +
                             ".state' --save-preset '" + path(name) + ".aupreset' -o '" + path(name) + ".wav'")),
                  0)
            << read("err.txt");
    }
    EXPECT_EQ(read("fractional.aupreset"), read("whole.aupreset"));
    EXPECT_TRUE(read("fractional.wav") == read("whole.wav")); // the sound it carries too
}

// The command line opens a preset auhost saved as the sound it holds, and
// refuses one that holds none, saying why.
TEST_F(AuhostTest, TheCommandLineOpensAPresetAsItsSound)
{
    const std::string cli = std::string(BLEEPFORGE_CLI);
    ASSERT_EQ(run(auhost("render " + mBundle + " --set 'Osc1 Type=Saw' --set 'Amp Env Decay=0.3' --state-out '" +
                         path("s.state") + "' --save-preset '" + path("p.aupreset") + "' -o '" + path("au.wav") + "'")),
              0)
        << read("err.txt");
    ASSERT_EQ(run(cli + " render --state '" + path("p.aupreset") + "' -o '" + path("preset.wav") + "'"), 0)
        << read("err.txt");
    ASSERT_EQ(run(cli + " render --state '" + path("s.state") + "' -o '" + path("state.wav") + "'"), 0);
    EXPECT_TRUE(read("preset.wav") == read("state.wav"));
    EXPECT_TRUE(read("preset.wav") == read("au.wav"));
    EXPECT_EQ(run(cli + " show '" + path("p.aupreset") + "' > '" + path("shown.txt") + "'"), 0);
    EXPECT_NE(read("shown.txt").find("Osc1 Type=Saw"), std::string::npos);

    std::string other = read("p.aupreset");
    other.replace(other.find("<key>data</key>"), 15, "<key>dat</key>");
    std::ofstream(path("other.aupreset")) << other;
    EXPECT_EQ(run(cli + " render --state '" + path("other.aupreset") + "' -o '" + path("x.wav") + "'"), 1);
    EXPECT_NE(read("err.txt").find("is not a preset"), std::string::npos) << read("err.txt");
    std::string shorter = read("p.aupreset");
    const size_t data = shorter.find("<data>") + 6;
    shorter.replace(data, shorter.find("</data>") - data, "AAAB");
    std::ofstream(path("short.aupreset")) << shorter;
    EXPECT_EQ(run(cli + " render --state '" + path("short.aupreset") + "' -o '" + path("x.wav") + "'"), 1);
    EXPECT_NE(read("err.txt").find("holds no Bleepforge sound"), std::string::npos) << read("err.txt");
    EXPECT_NE(access(path("x.wav").c_str(), F_OK), 0);
}

namespace
{

// A copy of the built bundle with one edit made by a shell command run inside it.
std::string hostileBundle(const std::string& dir, const std::string& name, const std::string& edit,
                          const std::string& bundle)
{
    const std::string copy = dir + "/" + name + ".component";
    const std::string command = "cp -r '" + bundle + "' '" + copy + "' && cd '" + copy + "' && " + edit;
    return std::system(command.c_str()) == 0 ? copy : "";
}

} // namespace

// None of these may stop or hang the host: each is refused with a message.
TEST_F(AuhostTest, HostileBundlesAndPresetsAreRefusedCleanly)
{
    const std::string plist = "Contents/Info.plist";
    const std::pair<const char*, std::string> edits[] = {
        {"nul", "sed -i 's|<string>Bleepforge.so</string>|<string>Bleep\\x00forge.so</string>|' " + plist},
        {"fifo", "rm " + plist + " && mkfifo " + plist},
        {"abort", "sed -i 's|<string>Bleepforge_Entry</string>|<string>abort</string>|' " + plist},
        {"view", "sed -i 's|<string>Bleepforge_Entry</string>|<string>Bleepforge_ViewEntry</string>|' " + plist},
        {"outside", "sed -i 's|<string>Bleepforge.so</string>|<string>../../../x.component/Contents/"
                    "linux-x86_64/Bleepforge.so</string>|' " + plist},
        {"image", "head -c 3000 Contents/Resources/Background.png > b && mv b Contents/Resources/Background.png"},
    };
    for (const auto& [name, edit] : edits)
    {
        const std::string bundle = hostileBundle(mDir, name, edit, mBundle);
        ASSERT_FALSE(bundle.empty()) << name;
        EXPECT_EQ(run("timeout 20 " + auhost("info '" + bundle + "' >/dev/null")), 1) << name;
        EXPECT_EQ(read("err.txt").rfind("auhost: ", 0), 0u) << name << ": " << read("err.txt");
    }

    ASSERT_EQ(run(auhost("render '" + mBundle + "' --note 60 -o '" + path("a.wav") +
                         "' --save-preset '" + path("good.aupreset") + "'")),
              0);
    std::string preset = read("good.aupreset");
    const size_t name = preset.find("<string>-</string>");
    ASSERT_NE(name, std::string::npos);
    preset.replace(name, 18, std::string("<string>a\0b</string>", 20));
    std::ofstream(path("nul.aupreset"), std::ios::binary) << preset;
    ASSERT_EQ(mkfifo(path("fifo.aupreset").c_str(), 0600), 0);
    for (const char* hostile : {"nul.aupreset", "fifo.aupreset"})
    {
        EXPECT_EQ(run("timeout 20 " + auhost("render '" + mBundle + "' --note 60 --preset '" +
                                             path(hostile) + "' -o '" + path("b.wav") + "'")),
                  1)
            << hostile;
    }
    EXPECT_NE(read("err.txt").find("is not a regular file"), std::string::npos) << read("err.txt");
    EXPECT_FALSE(std::ifstream(path("b.wav")).good());
}

TEST_F(AuhostTest, APresetIsSavedOnlyBesideASuccessfulRender)
{
    EXPECT_EQ(run(auhost("render '" + mBundle + "' --note 60 -o '" + path("no/dir/a.wav") +
                         "' --save-preset '" + path("p.aupreset") + "'")),
              1);
    EXPECT_FALSE(std::ifstream(path("p.aupreset")).good());
    EXPECT_EQ(run(auhost("render '" + mBundle + "' --note 60 -o '" + path("same") +
                         "' --save-preset '" + path("same") + "'")),
              2);
    EXPECT_FALSE(std::ifstream(path("same")).good());
}

// INT, TERM or HUP (a closed terminal) in the middle of a render: the file in
// flight is removed.
TEST_F(AuhostTest, SignalsRemoveTheFileInFlight)
{
    expectSignalsRemoveTheFileInFlight(
        [this](const std::string& dir) -> std::vector<std::string>
        {
            return {BLEEPFORGE_AUHOST, "render", mBundle, "--note", "60:127:0:3600", "--length", "3600",
                    "-o", dir + "/a.wav"};
        });
}
