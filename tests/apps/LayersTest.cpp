// Layered sounds on the command line: made from kinds, rendered, shown,
// shared and rendered again to the same bytes; the shipped layered kinds;
// and a manifest's layered entry, made again only when one of its layers'
// inputs changes.
#include "CommandTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace
{

class LayersTest : public CommandTest
{
protected:
    int cli(const std::string& args)
    {
        return run("cd '" + mDir + "' && XDG_CONFIG_HOME='" + path("config") +
                   "' timeout -s KILL 300 " + BLEEPFORGE_CLI + " " + args + " >'" +
                   path("out.txt") + "'");
    }
    void put(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name)) << text;
    }
    std::string out() const { return read("out.txt"); }
    std::string err() const { return read("err.txt"); }
};

// A blast, the shipped explosion under it, and debris falling in repeats.
const char kExplosion[] =
    "version = 1\n"
    "[[layer]]\nkind = \"hit\"\nseed = 3\ngain = -2\n"
    "[[layer]]\nkind = \"explosion\"\nseed = 8\nstart = 0.02\nnotes = [\"48:127:0:0.4\"]\n"
    "[[layer]]\nkind = \"hit\"\nseed = 21\nstart = 0.2\ngain = -9\npan = 0.4\n"
    "pattern = \"C6 - A5\"\nstep = 0.05\n"
    "repeat = { count = 4, interval = 0.11, gain = -3, transpose = -2 }\n";

TEST_F(LayersTest, AnExplosionOfThreeKindsRendersShowsAndRendersAgainToTheSameBytes)
{
    put("boom.toml", kExplosion);
    ASSERT_EQ(cli("render --layers boom.toml --channels 1 -o boom.wav"), 0) << err();
    ASSERT_EQ(cli("show boom.wav"), 0) << err();
    const std::string shown = out();
    put("shown.toml", shown);
    ASSERT_EQ(cli("render --layers shown.toml --channels 1 -o again.wav"), 0) << err();
    EXPECT_EQ(read("again.wav"), read("boom.wav"));
    // Every door takes it: --state, its code, the text --state-out wrote.
    ASSERT_EQ(cli("render --state boom.wav --channels 1 --state-out out.toml -o state.wav"), 0)
        << err();
    EXPECT_EQ(read("state.wav"), read("boom.wav"));
    EXPECT_EQ(read("out.toml"), shown);
    ASSERT_EQ(cli("share boom.toml"), 0) << err();
    const std::string code = out().substr(0, out().find('\n'));
    ASSERT_EQ(code.rfind("bfl1:", 0), 0u) << code;
    ASSERT_EQ(cli("render --state " + code + " --channels 1 -o code.wav"), 0) << err();
    EXPECT_EQ(read("code.wav"), read("boom.wav"));
    // A kind's layer is the sound generate makes of it for that seed.
    ASSERT_EQ(cli("generate hit --seed 21 --state-out hit.state -o /dev/null"), 0) << err();
    ASSERT_EQ(cli("share hit.state"), 0);
    EXPECT_NE(shown.find("sound = \"" + out().substr(0, out().find('\n')) + "\"\nseed = 21\n"),
              std::string::npos)
        << shown;
    // The layers' own settings are theirs.
    EXPECT_EQ(cli("render --layers boom.toml --seed 3 -o x.wav"), 2);
    EXPECT_EQ(cli("render --layers boom.toml --state boom.wav -o x.wav"), 2);
    EXPECT_EQ(cli("show --json boom.wav"), 2);
}

TEST_F(LayersTest, TheShippedLayeredKindsAreListedAndMakeTheSameFileForASeed)
{
    ASSERT_EQ(cli("kinds"), 0) << err();
    for (const char* kind : {"big-explosion", "level-up"})
    {
        const size_t at = out().find(std::string("  ") + kind + "  ");
        ASSERT_NE(at, std::string::npos) << out();
        EXPECT_NE(out().substr(at, out().find('\n', at) - at).find("(layered)"), std::string::npos)
            << out();
    }
    ASSERT_EQ(
        cli("generate big-explosion --seed 40 --count 2 --state-out boom-%d.toml -o boom-%d.flac"),
        0)
        << err();
    ASSERT_EQ(cli("generate big-explosion --seed 41 -o one.flac"), 0) << err();
    EXPECT_EQ(read("one.flac"), read("boom-1.flac")) << "sound k of a count is made with seed + k";
    EXPECT_NE(read("boom-0.flac"), read("boom-1.flac"));
    // Its text renders the same samples; only the file's comment names the kind.
    ASSERT_EQ(cli("generate big-explosion --seed 41 -o -"), 0) << err();
    const std::string made = out();
    ASSERT_EQ(cli("render --layers boom-1.toml -o -"), 0) << err();
    EXPECT_EQ(out(), made);
    ASSERT_EQ(cli("generate level-up --seed 2 -o up.wav"), 0) << err();
    ASSERT_EQ(cli("show up.wav"), 0);
    EXPECT_NE(out().find("pattern = "), std::string::npos) << out();
    EXPECT_EQ(cli("generate level-up --seed 2 --set 'Output Gain=-3' -o up.wav"), 2);
}

TEST_F(LayersTest, AManifestsLayeredEntryIsMadeAgainOnlyWhenALayersInputChanges)
{
    put("debris.toml", "start = \"hit\"\n[params]\n\"Amp Env Decay\" = { range = [0.05, 0.1] }\n");
    put("boom.toml", "version = 1\n"
                     "[[layer]]\nkind = \"explosion\"\nseed = 8\n"
                     "[[layer]]\nrecipe = \"debris.toml\"\nseed = 2\nstart = 0.1\n"
                     "repeat = { count = 3, interval = 0.1, gain = -4 }\n");
    put("sounds.toml",
        "[defaults]\nchannels = 1\n"
        "[[sound]]\nname = \"boom\"\nlayers = \"boom.toml\"\n"
        "[[sound]]\nname = \"levels/up-%d\"\nkind = \"level-up\"\nseed = 5\ncount = 2\n"
        "[[sound]]\nname = \"zap\"\nkind = \"shoot\"\nseed = 1\n");
    ASSERT_EQ(cli("build sounds.toml"), 0) << err();
    EXPECT_NE(out().find("built 4, up to date 0"), std::string::npos) << out();
    ASSERT_EQ(cli("render --layers boom.toml --channels 1 -o boom-rendered.wav"), 0) << err();
    EXPECT_EQ(read("boom-rendered.wav"), read("boom.wav"))
        << "a layered entry is what render --layers writes";
    ASSERT_EQ(cli("generate level-up --seed 6 --channels 1 -o up.wav"), 0) << err();
    EXPECT_EQ(read("up.wav"), read("levels/up-1.wav"));

    put("debris.toml", "start = \"hit\"\n[params]\n\"Amp Env Decay\" = { range = [0.2, 0.3] }\n");
    EXPECT_EQ(cli("build --check sounds.toml"), 1);
    EXPECT_NE(out().find("stale boom.wav"), std::string::npos) << out();
    ASSERT_EQ(cli("build sounds.toml"), 0) << err();
    EXPECT_NE(out().find("built boom.wav\nbuilt 1, up to date 3"), std::string::npos) << out();

    put("sounds.toml", "[[sound]]\nname = \"boom\"\nlayers = \"boom.toml\"\nseed = 3\n");
    EXPECT_EQ(cli("build sounds.toml"), 2);
    EXPECT_NE(
        err().find(
            "sounds.toml:4: seed shapes one sound or a kind's; the layers of a layered sound carry "
            "their own"),
        std::string::npos)
        << err();
}

} // namespace

// A text whose keys nest deeper than a parser's stack holds (400 KB, well
// under the size limit) is refused, naming its line, by every command that
// reads TOML, and listed among the kinds as damaged.
TEST_F(LayersTest, EveryReaderRefusesKeysNestedTooDeepNamingTheLine)
{
    std::string deep(2 * 200000 - 1, 'a'); // a.a.a...: 200,000 parts
    for (size_t dot = 1; dot < deep.size(); dot += 2)
        deep[dot] = '.';
    deep += " = 1\n";
    put("deep.toml", "description = \"deep\"\n" + deep);
    put("deep-layers.toml", "version = 1\n[[layer]]\nkind = \"hit\"\nseed = 1\n" + deep);
    const struct
    {
        const char* command;
        const char* where;
    } cases[] = {{"generate --recipe deep.toml -o x.wav", "deep.toml:2: not TOML: keys nested"},
                 {"build deep.toml", "deep.toml:2: not TOML: keys nested"},
                 {"render --layers deep-layers.toml -o x.wav", "deep-layers.toml:5: not TOML: keys nested"},
                 {"share deep-layers.toml", "deep-layers.toml:5: not TOML: keys nested"},
                 {"show deep-layers.toml", "deep-layers.toml:5: not TOML: keys nested"}};
    for (const auto& c : cases)
    {
        const int status = cli(c.command);
        EXPECT_TRUE(status == 1 || status == 2) << c.command << ": " << status;
        EXPECT_NE(err().find(c.where), std::string::npos) << c.command << ": " << err();
    }
    mkdir(path("config").c_str(), 0755);
    mkdir(path("config/bleepforge").c_str(), 0755);
    mkdir(path("config/bleepforge/kinds").c_str(), 0755);
    put("config/bleepforge/kinds/deep.toml", read("deep.toml"));
    ASSERT_EQ(cli("kinds"), 0) << err();
    EXPECT_NE(out().find("deep  (damaged: " + path("config/bleepforge/kinds/deep.toml") + ":2: not TOML"),
              std::string::npos)
        << out().substr(0, 2000);
    EXPECT_NE(cli("generate deep -o x.wav"), 0);
    EXPECT_NE(err().find("deep.toml:2: not TOML: keys nested"), std::string::npos) << err();
}

// What a command says is about what it was given: a layered text's syntax
// error (a text longer than a state), a layered sound named as a recipe's one
// sound, a full device.
TEST_F(LayersTest, ALayeredSoundsProblemIsSaidAsWhatItIs)
{
    std::string broken = "version = 1\n# " + std::string(600, '-') + "\n[[layer]]\nkind = \"hit\"\nseed = = 1\n";
    put("broken.toml", broken);
    for (const char* command : {"show broken.toml", "share broken.toml", "render --state broken.toml -o x.wav",
                                "render --layers broken.toml -o x.wav"})
    {
        EXPECT_NE(cli(command), 0) << command;
        EXPECT_NE(err().find("broken.toml:5: not TOML: "), std::string::npos) << command << ": " << err();
        EXPECT_EQ(err().find("state file"), std::string::npos) << command << ": " << err();
    }

    put("boom.toml", kExplosion);
    ASSERT_EQ(cli("share boom.toml"), 0) << err();
    const std::string code = out().substr(0, out().find('\n'));
    put("from-code.toml", "description = \"x\"\nsound = \"" + code + "\"\n");
    put("from-text.toml", "description = \"x\"\nsound = \"boom.toml\"\n");
    for (const char* recipe : {"from-code.toml", "from-text.toml"})
    {
        EXPECT_EQ(cli(std::string("generate --recipe ") + recipe + " -o x.wav"), 2) << recipe;
        EXPECT_NE(err().find(std::string(recipe) + ":2: sound: a recipe's sound is one sound, and a layered "
                                                   "sound cannot be one"),
                  std::string::npos)
            << err();
        EXPECT_EQ(err().find(code), std::string::npos) << "the whole code: " << err();
    }
}
