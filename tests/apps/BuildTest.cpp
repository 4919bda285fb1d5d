// bleepforge build: a manifest's files made as generate and render make them,
// only what changed made again, --check naming what is missing, stale or
// different, and damaged manifests or failing entries named.
#include "CommandTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

class BuildTest : public CommandTest
{
protected:
    // Runs the command line in the scratch folder, or in a folder inside it;
    // one that would wait for ever is killed instead of holding up the tests.
    int cli(const std::string& args, const std::string& from = "")
    {
        return run("cd '" + path(from) + "' && timeout -s KILL 120 " + std::string(BLEEPFORGE_CLI) +
                   " " + args + " >'" + path("out.txt") + "'");
    }
    void put(const std::string& name, const std::string& text) const { std::ofstream(path(name)) << text; }
    void manifest(const std::string& text) { put("sounds.toml", text); }
    bool exists(const std::string& name) const { return access(path(name).c_str(), F_OK) == 0; }
    std::string out() const { return read("out.txt"); }
    bool said(const std::string& text) const { return out().find(text) != std::string::npos; }
};

const char kSmallSet[] = "[defaults]\nfolder = \"sfx\"\nchannels = 1\n"
                         "[[sound]]\nname = \"coin-%d\"\nkind = \"coin\"\nseed = 3\ncount = 2\n"
                         "[[sound]]\nname = \"fx/zap\"\nkind = \"shoot\"\nseed = 8\ncontainer = \"flac\"\n";

TEST_F(BuildTest, TheExampleBuildsWhatGenerateMakesAndThenNothing)
{
    ASSERT_EQ(run("cp '" + std::string(BLEEPFORGE_EXAMPLES) + "/game-sounds.toml' '" + path("") + "'"), 0);
    ASSERT_EQ(cli("build game-sounds.toml"), 0) << read("err.txt");
    EXPECT_TRUE(said("built 17, up to date 0, refused 0, failed 0, of 17 files")) << out();
    EXPECT_EQ(read("err.txt"), ""); // nothing replaced a setting, nothing said file by file
    // Mono Ogg at -16 LUFS, a count, a setting, a lock and a recipe kind, each
    // as generate writes it.
    const struct
    {
        const char* file;
        const char* generate;
    } made[] = {
        {"ui/blip-1.ogg", "blip --seed 11"},
        {"ui/confirm.ogg", "powerup --seed 7 --set 'Amp Env Decay=0.08' --lock 'Amp Env Decay'"},
        {"weapons/laser-2.ogg", "shoot --seed 32 --lock crusher"},
        {"combat/explosion-1.ogg", "explosion --seed 2"},
    };
    for (const auto& m : made)
    {
        ASSERT_EQ(cli(std::string("generate ") + m.generate + " --channels 1 --normalize lufs:-16 -o same.ogg"), 0);
        EXPECT_EQ(read("same.ogg"), read(std::string("game-sounds/") + m.file)) << m.file;
    }
    ASSERT_EQ(cli("build game-sounds.toml"), 0);
    EXPECT_TRUE(said("built 0, up to date 17, refused 0, failed 0, of 17 files")) << out();
    EXPECT_EQ(cli("build --check game-sounds.toml"), 0) << out();
    EXPECT_TRUE(said("17 of 17 files as the manifest says")) << out();
}

TEST_F(BuildTest, OnlyWhatChangedIsMadeAgain)
{
    manifest(kSmallSet);
    ASSERT_EQ(cli("build --jobs 2 sounds.toml"), 0) << read("err.txt");
    EXPECT_TRUE(exists("sfx/coin-0.wav") && exists("sfx/coin-1.wav") && exists("sfx/fx/zap.flac"));
    const std::string coin = read("sfx/coin-1.wav");

    // A changed entry makes its own files only.
    manifest(std::string(kSmallSet).replace(std::string(kSmallSet).find("seed = 8"), 8, "seed = 9"));
    ASSERT_EQ(cli("build sounds.toml"), 0);
    EXPECT_TRUE(said("built sfx/fx/zap.flac") && said("built 1, up to date 2")) << out();
    EXPECT_EQ(read("sfx/coin-1.wav"), coin);

    // A removed file is made again; one changed by hand is kept and refused
    // until --force, which makes everything.
    std::ofstream(path("sfx/coin-1.wav"), std::ios::app) << "x";
    std::remove(path("sfx/coin-0.wav").c_str());
    EXPECT_EQ(cli("build sounds.toml"), 1);
    EXPECT_TRUE(said("built 1, up to date 1, refused 1")) << out();
    EXPECT_NE(read("err.txt").find("sfx/coin-1.wav was changed since it was built; nothing was written to it "
                                   "(--force replaces it)"),
              std::string::npos)
        << read("err.txt");
    EXPECT_EQ(read("sfx/coin-1.wav"), coin + "x");
    ASSERT_EQ(cli("build --force sounds.toml"), 0);
    EXPECT_TRUE(said("built 3, up to date 0")) << out();
    EXPECT_EQ(read("sfx/coin-1.wav"), coin);

    // Without a record of what was built, files that are what their entries
    // make are taken as they are; another file in the way is refused.
    std::ofstream(path("sounds.toml.built")) << "garbage\n\x01\x02 line\n";
    ASSERT_EQ(cli("build sounds.toml"), 0);
    EXPECT_TRUE(said("built 0, up to date 3")) << out();
    std::remove(path("sounds.toml.built").c_str());
    ASSERT_EQ(cli("generate hit --seed 1 -o sfx/coin-0.wav"), 0);
    EXPECT_EQ(cli("build sounds.toml"), 1);
    EXPECT_NE(read("err.txt").find("sfx/coin-0.wav exists and is not what its entry 'coin-%d' (line 4) makes"),
              std::string::npos)
        << read("err.txt");
    EXPECT_TRUE(said("built 0, up to date 2, refused 1")) << out();

    // A file no entry makes any more is named and left alone.
    ASSERT_EQ(cli("build --force sounds.toml"), 0);
    manifest(std::string(kSmallSet).replace(std::string(kSmallSet).find("count = 2"), 9, "count = 1"));
    ASSERT_EQ(cli("build sounds.toml"), 0);
    EXPECT_TRUE(said("left over sfx/coin-1.wav: no entry makes it now")) << out();
    EXPECT_TRUE(exists("sfx/coin-1.wav"));
    EXPECT_EQ(cli("build --check sounds.toml"), 1);
    EXPECT_TRUE(said("left over sfx/coin-1.wav")) << out();
    std::remove(path("sfx/coin-1.wav").c_str());
    EXPECT_EQ(cli("build --check sounds.toml"), 0) << out();
}

TEST_F(BuildTest, CheckNamesWhatIsMissingStaleOrDifferentAndWritesNothing)
{
    manifest(kSmallSet);
    ASSERT_EQ(cli("build sounds.toml"), 0);
    std::remove(path("sfx/coin-0.wav").c_str());
    {
        std::ofstream damaged(path("sfx/coin-1.wav"), std::ios::binary | std::ios::in | std::ios::out);
        damaged.seekp(200);
        damaged << "ZZZZ";
    }
    manifest(std::string(kSmallSet).replace(std::string(kSmallSet).find("seed = 8"), 8, "seed = 9"));
    const std::string stamps = read("sounds.toml.built");
    EXPECT_EQ(cli("build --check sounds.toml"), 1);
    EXPECT_TRUE(said("missing sfx/coin-0.wav (entry 'coin-%d' (line 4))")) << out();
    EXPECT_TRUE(said("different sfx/coin-1.wav")) << out();
    EXPECT_TRUE(said("stale sfx/fx/zap.flac (entry 'fx/zap' (line 9))")) << out();
    EXPECT_TRUE(said("0 of 3 files as the manifest says, 3 not")) << out();
    EXPECT_FALSE(exists("sfx/coin-0.wav"));
    EXPECT_EQ(read("sounds.toml.built"), stamps);
}

TEST_F(BuildTest, ADamagedManifestIsRefusedBeforeAnythingIsWritten)
{
    const struct
    {
        const char* text;
        const char* refusal;
    } cases[] = {
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\n", "sounds.toml:1: the entry has no seed"},
        {"[[sound]]\nname = \"a\"\nkind = \"bang\"\nseed = 1\n", "sounds.toml:3: unknown kind 'bang'"},
        {"[[sound]]\nname = \"../a\"\nkind = \"coin\"\nseed = 1\n", "name '../a': expected a path inside"},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\ncontainer = \"mod\"\n", "sounds.toml:5: container expects wav"},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\nset = [\"Wite Level=0\"]\n", "unknown parameter \"Wite Level\""},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nstate = \"x.state\"\nseed = 1\n", "give one of kind, recipe, state, sound or layers"},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\ncolour = 2\n", "sounds.toml:5: unknown key \"colour\""},
        {"[[sound]]\nname = \"a-%d\"\nkind = \"coin\"\nseed = 1\ncount = 2\n[[sound]]\nname = \"a-1\"\nkind = \"hit\"\nseed = 1\n",
         "'a-1.wav' is made by 'a-%d' (line 1) already"},
        {"[defaults]\nnormalize = \"loud\"\n[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n", "sounds.toml:2: "},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n[[sound]]\nname = \"b\"\nkind = \"coin\"\n", "sounds.toml:5: the entry has no seed"},
        {"[[sound]]\nname = \"sounds.toml\\u0000\"\nkind = \"coin\"\nseed = 1\n", "sounds.toml:2: name holds a NUL character"},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\ncontainer = \"ogg\"\nrate = 300000\n", "sounds.toml:1: Ogg Vorbis holds sample rates up to 200000 Hz"},
        {"[defaults]\nrate = 65537\ncontainer = \"flac\"\n[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n", "sounds.toml:4: "},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\ncontainer = \"flac\"\nformat = \"float\"\n", "sounds.toml:6: FLAC holds 16- or 24-bit samples"},
        {"[[sound]]\nname = \"a-%d\"\nkind = \"coin\"\nseed = 1\n", "sounds.toml:2: name 'a-%d' is a pattern: give count = N"},
        {"[[sound]]\nname = \"a.wav\"\nkind = \"coin\"\nseed = 1\n", "name 'a.wav': give it without the extension"},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n\nset = [\"Output Gain=90\"]\n", "sounds.toml:6: set \"Output Gain\": expected -48 ... 12"},
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\nlock = [\"pich\"]\n", "sounds.toml:5: lock"},
        {"[[sound]]\nname = \"a\"\nkind = \"mykind\"\nseed = 1\n", "a manifest's kind is built in or ships with the program"},
        {"[[sound]]\nname = \"a\\nb\"\nkind = \"coin\"\nseed = 1\n", "sounds.toml:2: name holds a control character (code 10)"},
        {"[defaults]\nfolder = \"x\\ty\"\n[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n", "sounds.toml:2: folder holds a control character"},
        {"[defaults]\nfolder = \"/tmp\"\n[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n", "folder '/tmp': expected a path inside"},
    };
    for (const auto& c : cases)
    {
        manifest(c.text);
        EXPECT_EQ(cli("build sounds.toml"), 2) << c.text;
        EXPECT_NE(read("err.txt").find(c.refusal), std::string::npos) << c.text << "gave: " << read("err.txt");
        EXPECT_FALSE(exists("a.wav") || exists("a-0.wav") || exists("sounds.toml.built")) << c.text;
    }
}

TEST_F(BuildTest, EveryFileHasOneSpellingAndANameThatPrintsOnOneLine)
{
    const struct
    {
        const char* name;
        const char* refusal;
    } cases[] = {
        {"a/./b", "sounds.toml:6: name 'a/./b': expected a path inside"},
        {"a//b", "sounds.toml:6: name 'a//b': expected a path inside"},
        {"./a/b", "sounds.toml:6: name './a/b': expected a path inside"},
        {"a/b\u0085", "sounds.toml:6: name holds a control character (code 133)"},
        {"a/b\u009f", "sounds.toml:6: name holds a control character (code 159)"},
        {"a/b\u2028", "sounds.toml:6: name holds a control character (code 8232)"},
        {"a/b\u2029", "sounds.toml:6: name holds a control character (code 8233)"},
    };
    for (const auto& c : cases)
    {
        manifest(std::string("[[sound]]\nname = \"a/b\"\nkind = \"coin\"\nseed = 1\n[[sound]]\nname = \"") +
                 c.name + "\"\nkind = \"laser\"\nseed = 1\n");
        EXPECT_EQ(cli("build sounds.toml"), 2) << c.name;
        EXPECT_NE(read("err.txt").find(c.refusal), std::string::npos) << c.name << " gave: " << read("err.txt");
        EXPECT_FALSE(exists("a") || exists("sounds.toml.built")) << c.name;
    }
    // The folder the manifest is in is "."; inside it, a folder is spelt one way.
    manifest("[defaults]\nfolder = \"sfx/\"\n[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n");
    EXPECT_EQ(cli("build sounds.toml"), 2);
    EXPECT_NE(read("err.txt").find("sounds.toml:2: folder 'sfx/': expected a path inside"), std::string::npos)
        << read("err.txt");
    manifest("[defaults]\nfolder = \".\"\n[[sound]]\nname = \"a\"\nkind = \"coin\"\nseed = 1\n");
    EXPECT_EQ(cli("build sounds.toml"), 0) << read("err.txt");
    EXPECT_TRUE(exists("a.wav"));
}

TEST_F(BuildTest, APercentWrittenTwiceIsALiteralAndAPatternPadsWithZerosOnly)
{
    manifest("[[sound]]\nname = \"100%%\"\nkind = \"coin\"\nseed = 1\n"
             "[[sound]]\nname = \"c%%-%02d\"\nkind = \"coin\"\nseed = 2\ncount = 2\n");
    ASSERT_EQ(cli("build sounds.toml"), 0) << read("err.txt");
    EXPECT_TRUE(said("built 100%.wav") && said("built c%-01.wav")) << out();
    ASSERT_EQ(cli("generate coin --seed 1 -o same.wav"), 0);
    EXPECT_EQ(read("100%.wav"), read("same.wav"));

    for (const char* name : {"x%5d", "x%-3d"})
    {
        manifest(std::string("[[sound]]\nname = \"") + name + "\"\nkind = \"coin\"\nseed = 1\ncount = 2\n");
        EXPECT_EQ(cli("build sounds.toml"), 2) << name;
        EXPECT_NE(read("err.txt").find("sounds.toml:2: output pattern '" + std::string(name) +
                                       "': only %d, %0Nd and %% are allowed"),
                  std::string::npos)
            << read("err.txt");
        EXPECT_FALSE(exists("x    0.wav") || exists("x0.wav"));
    }
}

TEST_F(BuildTest, ABuildNeverWritesOverWhatItReads)
{
    ASSERT_EQ(cli("generate hit --seed 4 -o base.wav"), 0);
    const std::string base = read("base.wav");
    manifest("[[sound]]\nname = \"base\"\nstate = \"base.wav\"\nseed = 1\nset = [\"Output Gain=-9\"]\n");
    for (const char* build : {"build sounds.toml", "build --force sounds.toml", "build --check sounds.toml"})
    {
        EXPECT_EQ(cli(build), 2) << build;
        EXPECT_NE(read("err.txt").find("'base.wav' (entry 'base' (line 1)) is 'base.wav', which this build reads"),
                  std::string::npos)
            << build << ": " << read("err.txt");
        EXPECT_TRUE(read("base.wav") == base) << build;
        EXPECT_FALSE(exists("sounds.toml.built")) << build;
    }

    // The manifest itself, whatever it is called; and a file it reads through a link.
    put("x.wav", "[[sound]]\nname = \"x\"\nkind = \"coin\"\nseed = 1\n");
    EXPECT_EQ(cli("build --force x.wav"), 2);
    EXPECT_NE(read("err.txt").find("'x.wav' (entry 'x' (line 1)) is 'x.wav'"), std::string::npos) << read("err.txt");
    EXPECT_EQ(read("x.wav"), "[[sound]]\nname = \"x\"\nkind = \"coin\"\nseed = 1\n");
    ASSERT_EQ(symlink("base.wav", path("held.wav").c_str()), 0);
    manifest("[[sound]]\nname = \"base\"\nsound = \"held.wav\"\nseed = 1\n");
    EXPECT_EQ(cli("build --force sounds.toml"), 2);
    EXPECT_NE(read("err.txt").find("is 'held.wav', which this build reads"), std::string::npos) << read("err.txt");
    EXPECT_TRUE(read("base.wav") == base);
}

TEST_F(BuildTest, AFailingEntryIsNamedAndTheRestAreMade)
{
    manifest(kSmallSet);
    mkdir(path("sfx").c_str(), 0755);
    std::ofstream(path("sfx/fx")) << "a file where a folder must be";
    EXPECT_EQ(cli("build sounds.toml"), 1);
    EXPECT_NE(read("err.txt").find("sfx/fx/zap.flac, entry 'fx/zap' (line 9): "), std::string::npos) << read("err.txt");
    EXPECT_TRUE(said("built 2, up to date 0, refused 0, failed 1, of 3 files")) << out();
    EXPECT_TRUE(exists("sfx/coin-0.wav") && exists("sfx/coin-1.wav"));
    EXPECT_EQ(entries(path("sfx")).size(), 3u); // the two coins and the file in the way: nothing half-written
}

TEST_F(BuildTest, TwoNamesForOneFileThroughALinkAreRefusedAndAReplacedSettingIsSaid)
{
    mkdir(path("real").c_str(), 0755);
    ASSERT_EQ(symlink("real", path("link").c_str()), 0);
    manifest("[[sound]]\nname = \"real/y\"\nkind = \"coin\"\nseed = 1\n[[sound]]\nname = \"link/y\"\nkind = \"jump\"\nseed = 1\n");
    EXPECT_EQ(cli("build sounds.toml"), 2);
    EXPECT_NE(read("err.txt").find("are the same file"), std::string::npos) << read("err.txt");
    EXPECT_FALSE(exists("real/y.wav"));

    manifest("[[sound]]\nname = \"w\"\nkind = \"coin\"\nseed = 1\nset = [\"Osc1 Type=Saw\"]\n");
    ASSERT_EQ(cli("build sounds.toml"), 0);
    EXPECT_NE(read("err.txt").find("sounds.toml:5: entry 'w': its kind replaces set \"Osc1 Type=Saw\" with Sin (seed "
                                   "1); lock = [\"Osc1 Type\"] keeps it"),
              std::string::npos)
        << read("err.txt");
}

TEST_F(BuildTest, AStateEntryIsWrittenAsRenderWritesIt)
{
    ASSERT_EQ(cli("generate hit --seed 4 --state-out hit.state -o hit.wav"), 0);
    manifest("[[sound]]\nname = \"again\"\nstate = \"hit.state\"\nseed = 12\nset = [\"Output Gain=-9\"]\n");
    ASSERT_EQ(cli("build sounds.toml"), 0) << read("err.txt");
    ASSERT_EQ(cli("render --state hit.state --seed 12 --set 'Output Gain=-9' -o rendered.wav"), 0);
    EXPECT_EQ(read("again.wav"), read("rendered.wav"));
}

TEST_F(BuildTest, EveryInputThatShapesAFileMakesItAgainWhenItChanges)
{
    ASSERT_EQ(cli("generate hit --seed 4 --state-out base.state -o hit.wav"), 0);
    ASSERT_EQ(cli("generate jump --seed 5 --state-out other.state -o jump.wav"), 0);
    const auto codeOf = [&](const std::string& state)
    {
        EXPECT_EQ(cli("share " + state), 0);
        return out().substr(0, out().find('\n'));
    };
    const auto write = [&](const std::string& soundCode)
    {
        manifest("[[sound]]\nname = \"boom\"\nrecipe = \"boom.toml\"\nseed = 1\n"
                 "[[sound]]\nname = \"again\"\nstate = \"other.state\"\nseed = 2\n"
                 "[[sound]]\nname = \"pasted\"\nsound = \"" +
                 soundCode + "\"\nseed = 3\n");
    };
    put("boom.toml", "sound = \"base.state\"\n[params]\n\"Output Gain\" = -3\n");
    write(codeOf("hit.wav"));
    ASSERT_EQ(cli("build sounds.toml"), 0) << read("err.txt");
    const struct
    {
        const char* made;
        std::function<void()> change;
    } inputs[] = {
        {"boom.wav",
         [&] { EXPECT_EQ(cli("generate jump --seed 9 --state-out base.state -o /dev/null"), 0); }},
        {"boom.wav",
         [&] { put("boom.toml", "sound = \"base.state\"\n[params]\n\"Output Gain\" = -4\n"); }},
        {"again.wav",
         [&] { EXPECT_EQ(cli("generate jump --seed 6 --state-out other.state -o /dev/null"), 0); }},
        {"pasted.wav", [&] { write(codeOf("jump.wav")); }},
    };
    for (const auto& input : inputs)
    {
        input.change();
        ASSERT_EQ(cli("build sounds.toml"), 0) << read("err.txt");
        EXPECT_TRUE(said(std::string("built ") + input.made) && said("built 1, up to date 2"))
            << input.made << ": " << out();
    }

    // Another version may make other bytes; a record from before versions
    // were named is still taken as it is.
    const std::string record = read("sounds.toml.built");
    const std::string rest = record.substr(record.find('\n'));
    put("sounds.toml.built",
        "# bleepforge build: entry and bytes of each file made; kept by 'bleepforge build'" + rest);
    ASSERT_EQ(cli("build sounds.toml"), 0) << read("err.txt");
    EXPECT_TRUE(said("built 0, up to date 3")) << out();
    EXPECT_EQ(read("sounds.toml.built"), record);
    put("sounds.toml.built",
        "# bleepforge build 0.9.0: entry and bytes of each file made; kept by 'bleepforge build'" +
            rest);
    EXPECT_EQ(cli("build --check sounds.toml"), 1);
    EXPECT_TRUE(said("stale boom.wav") && said("stale again.wav") && said("stale pasted.wav"))
        << out();
    ASSERT_EQ(cli("build sounds.toml"), 0) << read("err.txt");
    EXPECT_TRUE(said("built 3, up to date 0")) << out();
}

TEST_F(BuildTest, NothingIsWrittenThroughALink)
{
    ASSERT_EQ(mkdir(path("outside").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("game").c_str(), 0755), 0);
    put("outside/kept.wav", "a person's file");
    put("game/sounds.toml", "[[sound]]\nname = \"coin\"\nkind = \"coin\"\nseed = 1\n"
                            "[[sound]]\nname = \"sfx/zap\"\nkind = \"shoot\"\nseed = 2\n");

    // A record that is a link (a clone can carry one) stops the build before
    // anything is made.
    ASSERT_EQ(symlink("../outside/kept.wav", path("game/sounds.toml.built").c_str()), 0);
    EXPECT_EQ(cli("build sounds.toml", "game"), 1);
    EXPECT_NE(read("err.txt").find("sounds.toml.built is a link"), std::string::npos)
        << read("err.txt");
    EXPECT_TRUE(said("built 0, up to date 0, refused 2, failed 0, of 2 files")) << out();
    EXPECT_FALSE(exists("game/coin.wav"));
    EXPECT_EQ(cli("build --check sounds.toml", "game"), 1);
    EXPECT_TRUE(said("0 of 2 files as the manifest says, 2 not")) << out();
    std::remove(path("game/sounds.toml.built").c_str());

    // An output that is a link, or is reached through a folder that is one,
    // is refused even with --force; the rest are made.
    ASSERT_EQ(symlink("../outside/kept.wav", path("game/coin.wav").c_str()), 0);
    ASSERT_EQ(symlink("../outside", path("game/sfx").c_str()), 0);
    for (const char* build : {"build sounds.toml", "build --force sounds.toml"})
    {
        EXPECT_EQ(cli(build, "game"), 1) << build;
        EXPECT_TRUE(said("built 0, up to date 0, refused 2")) << build << ": " << out();
        EXPECT_NE(read("err.txt").find("coin.wav, entry 'coin' (line 1): coin.wav is a link"),
                  std::string::npos)
            << read("err.txt");
        EXPECT_NE(read("err.txt").find("sfx/zap.wav, entry 'sfx/zap' (line 5): sfx is a link"),
                  std::string::npos)
            << read("err.txt");
    }
    EXPECT_EQ(cli("build --check sounds.toml", "game"), 1);
    EXPECT_TRUE(said("refused coin.wav (entry 'coin' (line 1)): coin.wav is a link")) << out();
    EXPECT_EQ(entries(path("outside")), std::vector<std::string>{"kept.wav"});
    EXPECT_EQ(read("outside/kept.wav"), "a person's file");
}

TEST_F(BuildTest, ARecordLineNamingAPathOutsideIsRefusedAndNeverActedOn)
{
    ASSERT_EQ(mkdir(path("game").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("game/sfx").c_str(), 0755), 0);
    put("x", "beside the game");
    put("game/sounds.toml", "[[sound]]\nname = \"coin\"\nkind = \"coin\"\nseed = 1\n");
    put("game/sounds.toml.built", "0123456789abcdef 0123456789abcdef /etc/passwd\n"
                                  "0123456789abcdef 0123456789abcdef ../x\n"
                                  "0123456789abcdef 0123456789abcdef sfx/\x1b[2Jx\n"
                                  "a line of its own\n"
                                  "0123456789abcdef 0123456789abcdef sfx\n"
                                  "0123456789abcdef 0123456789abcdef .\n"
                                  "0123456789abcdef 0123456789abcdef sfx\xc2\x9b" "2J\n");
    ASSERT_EQ(cli("build sounds.toml", "game"), 0);
    for (const char* refusal :
         {"sounds.toml.built:1: '/etc/passwd': expected a path inside the manifest's folder",
          "sounds.toml.built:2: '../x': expected a path inside",
          "sounds.toml.built:3: holds a control character (code 27)",
          "sounds.toml.built:4: not an entry",
          "sounds.toml.built:5: 'sfx' is a folder, not a file a build made",
          "sounds.toml.built:6: '.': expected a path inside",
          "sounds.toml.built:7: holds a control character (code 155)"})
        EXPECT_NE(read("err.txt").find(refusal), std::string::npos)
            << refusal << " in " << read("err.txt");
    EXPECT_EQ(read("err.txt").find('\x1b'), std::string::npos); // said, never echoed to a terminal
    EXPECT_EQ(read("err.txt").find("\xc2\x9b"), std::string::npos);
    EXPECT_FALSE(said("left over")) << out();
    EXPECT_EQ(cli("build --check sounds.toml", "game"), 0) << out();
    const std::string record = read("game/sounds.toml.built");
    EXPECT_TRUE(record.find("passwd") == std::string::npos &&
                record.find("../x") == std::string::npos)
        << record;
    EXPECT_EQ(read("x"), "beside the game");
}

TEST_F(BuildTest, ARecordThatCannotBeWrittenIsSaidAndTheRunStillEndsWithItsSummary)
{
    manifest("[[sound]]\nname = \"c-%02d\"\nkind = \"coin\"\nseed = 1\ncount = 40\n");
    ASSERT_EQ(cli("build --jobs 2 sounds.toml"), 0) << read("err.txt");
    const std::string record = read("sounds.toml.built");
    ASSERT_GT(record.size(), 1024u);
    // Files of at most 1 KiB, as on a disk that is full: only the record is
    // written, and its write fails.
    EXPECT_EQ(run("cd '" + path("") + "' && trap '' XFSZ && ulimit -f 1 && " + BLEEPFORGE_CLI +
                  " build sounds.toml >'" + path("out.txt") + "'"),
              1);
    EXPECT_NE(read("err.txt").find("sounds.toml.built"), std::string::npos) << read("err.txt");
    EXPECT_TRUE(said("built 0, up to date 40, refused 0, failed 0, of 40 files")) << out();
    EXPECT_EQ(read("sounds.toml.built"), record);
}

TEST_F(BuildTest, AFifoOrAFolderWhereAFileBelongsIsRefusedWithoutWaiting)
{
    manifest(kSmallSet);
    ASSERT_EQ(mkdir(path("sfx").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(path("sfx/coin-0.wav").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(path("sfx/coin-1.wav").c_str(), 0755), 0);
    for (const char* build : {"build sounds.toml", "build --force sounds.toml"})
    {
        EXPECT_EQ(cli(build), 1) << build;
        EXPECT_TRUE(said("built 1, up to date 0, refused 2")) << out();
        EXPECT_NE(read("err.txt").find("sfx/coin-0.wav is a FIFO where a build keeps a file"),
                  std::string::npos)
            << read("err.txt");
        EXPECT_NE(read("err.txt").find("sfx/coin-1.wav is a folder where"), std::string::npos)
            << read("err.txt");
    }
    EXPECT_EQ(cli("build --check sounds.toml"), 1);
    EXPECT_TRUE(said("refused sfx/coin-0.wav") && said("refused sfx/coin-1.wav") &&
                said("1 of 3 files"))
        << out();

    std::remove(path("sounds.toml.built").c_str());
    ASSERT_EQ(mkfifo(path("sounds.toml.built").c_str(), 0644), 0);
    for (const char* build : {"build sounds.toml", "build --check sounds.toml"})
    {
        EXPECT_EQ(cli(build), 1) << build;
        EXPECT_NE(read("err.txt").find("sounds.toml.built is a FIFO"), std::string::npos)
            << read("err.txt");
    }
}

TEST_F(BuildTest, AnInterruptedCheckRemovesItsScratchFolder)
{
    manifest("[[sound]]\nname = \"coin-%02d\"\nkind = \"coin\"\nseed = 1\ncount = 40\n"
             "[[sound]]\nname = \"waiting\"\nkind = \"hit\"\nseed = 1\n");
    ASSERT_EQ(mkfifo(path("waiting.wav").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(path("tmp").c_str(), 0755), 0);
    for (int k = 0; k < 40; ++k) // files there, which --check renders to compare
        put((k < 10 ? "coin-0" : "coin-") + std::to_string(k) + ".wav", "not yet built");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
    {
        const pid_t pid = start({"/usr/bin/env", "TMPDIR=" + path("tmp"), BLEEPFORGE_CLI, "build",
                                 "--check", "--jobs", "1", path("sounds.toml")});
        ASSERT_GT(pid, 0);
        for (int tries = 0; tries < 6000 && entries(path("tmp")).empty(); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_FALSE(entries(path("tmp")).empty()) << strsignal(signal) << ": no scratch folder";
        kill(pid, signal);
        const int status = waitFor(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal)
            << strsignal(signal) << ": " << status;
        EXPECT_TRUE(entries(path("tmp")).empty()) << strsignal(signal);
        EXPECT_NE(read("err.txt").find("interrupted; --check writes nothing, and wrote nothing"), std::string::npos)
            << read("err.txt");
        EXPECT_EQ(read("err.txt").find("the file in flight was removed"), std::string::npos) << read("err.txt");
        EXPECT_TRUE(said("interrupted: ") && said(" of 41 files as the manifest says, ") && said(" not checked; in "))
            << out();
    }
}

TEST_F(BuildTest, PathsAreFromTheManifestsFolderWhateverTheWorkingFolder)
{
    for (const char* folder : {"game", "game/states", "shared", "else", "else/sub"})
        ASSERT_EQ(mkdir(path(folder).c_str(), 0755), 0);
    ASSERT_EQ(cli("generate hit --seed 4 --state-out shared/base.state -o /dev/null"), 0);
    ASSERT_EQ(cli("generate jump --seed 4 --state-out game/states/jump.state -o /dev/null"), 0);
    put("shared/boom.toml", "sound = \"base.state\"\n[params]\n\"Output Gain\" = -3\n");
    // Inputs may lie above the manifest (../shared/) or be absolute; outputs stay inside.
    put("game/sounds.toml",
        "[defaults]\nfolder = \"sfx\"\n"
        "[[sound]]\nname = \"boom\"\nrecipe = \"../shared/boom.toml\"\nseed = 1\n"
        "[[sound]]\nname = \"far\"\nrecipe = \"" + path("shared/boom.toml") + "\"\nseed = 2\n"
        "[[sound]]\nname = \"jump\"\nstate = \"states/jump.state\"\nseed = 3\n"
        "[[sound]]\nname = \"hit\"\nsound = \"../shared/base.state\"\nseed = 4\n");
    const char* made[] = {"sfx/boom.wav", "sfx/far.wav", "sfx/jump.wav", "sfx/hit.wav",
                          "sounds.toml.built"};
    std::vector<std::string> first;
    const struct
    {
        const char* from;
        std::string manifest;
    } runs[] = {{"game", "sounds.toml"},
                {"", "game/sounds.toml"},
                {"else/sub", "../../game/./sounds.toml"},
                {"else", path("game/sounds.toml")}};
    for (const auto& run : runs)
    {
        ASSERT_EQ(cli("build " + run.manifest, run.from), 0)
            << run.manifest << ": " << read("err.txt");
        EXPECT_TRUE(said("built 4, up to date 0")) << run.manifest << ": " << out();
        for (size_t i = 0; i < std::size(made); ++i)
        {
            const std::string bytes = read(std::string("game/") + made[i]);
            if (first.size() < std::size(made))
                first.push_back(bytes);
            EXPECT_TRUE(!bytes.empty() && bytes == first[i]) << run.manifest << ": " << made[i];
            std::remove(path(std::string("game/") + made[i]).c_str());
        }
    }
}

} // namespace
