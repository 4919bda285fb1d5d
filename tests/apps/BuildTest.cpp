// bleepforge build: a manifest's files made as generate and render make them,
// only what changed made again, --check naming what is missing, stale or
// different, and damaged manifests or failing entries named.
#include "CommandTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>

namespace
{

class BuildTest : public CommandTest
{
protected:
    int cli(const std::string& args)
    {
        return run("cd '" + mDir + "' && " + std::string(BLEEPFORGE_CLI) + " " + args + " >'" + path("out.txt") + "'");
    }
    void manifest(const std::string& text) { std::ofstream(path("sounds.toml")) << text; }
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
        {"[[sound]]\nname = \"a\"\nkind = \"coin\"\nstate = \"x.state\"\nseed = 1\n", "give one of kind, recipe, state or sound"},
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
    };
    for (const auto& c : cases)
    {
        manifest(c.text);
        EXPECT_EQ(cli("build sounds.toml"), 2) << c.text;
        EXPECT_NE(read("err.txt").find(c.refusal), std::string::npos) << c.text << "gave: " << read("err.txt");
        EXPECT_FALSE(exists("a.wav") || exists("a-0.wav") || exists("sounds.toml.built")) << c.text;
    }
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

} // namespace
