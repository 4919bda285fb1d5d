// auhost against the built bundle: the same sound as bleepforge render, and
// presets that carry a sound from one run to the next.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

class AuhostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bleepforge-auhost-XXXXXX";
        mDir = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + mDir + "'").c_str()); }
    std::string path(const std::string& name) const { return mDir + "/" + name; }
    int run(const std::string& command)
    {
        const int status = std::system((command + " 2>'" + path("err.txt") + "'").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string auhost(const std::string& args) const
    {
        return std::string(BLEEPFORGE_AUHOST) + " " + args;
    }

    std::string mDir;
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
    EXPECT_FALSE(read("au.wav").empty());
    EXPECT_EQ(read("au.wav"), read("cli.wav"));
    EXPECT_NE(read("p.aupreset").find("<key>data</key>"), std::string::npos);

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
