// The standalone app's file work against the built bundle: sounds survive a
// save and an open in both formats, a damaged file changes nothing, and an
// export is the sound bleepforge render makes of the same note.
#include "SoundFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace
{

const AudioUnitParameterID kOsc1Type = 0;

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SoundFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bleepforge-sounds-XXXXXX";
        mDir = mkdtemp(pattern);
        ASSERT_EQ(unit.Configure(44100, 512), noErr);
        ASSERT_EQ(unit.Initialize(), noErr);
    }
    void TearDown() override { std::system(("rm -rf '" + mDir + "'").c_str()); }
    std::string path(const std::string& name) const { return mDir + "/" + name; }
    float osc1Type()
    {
        float value = -1;
        unit.GetParameter(kOsc1Type, &value);
        return value;
    }

    std::string mDir;
    AUBundle bundle{BLEEPFORGE_BUNDLE};
    AUInstance unit{bundle};
};

TEST_F(SoundFilesTest, BothFormatsBringTheSoundBackAndDamageChangesNothing)
{
    ASSERT_EQ(unit.SetParameter(kOsc1Type, 2), noErr);
    SaveSound(unit, path("square.bin"));
    SaveSound(unit, path("square.aupreset"));
    EXPECT_EQ(slurp(path("square.bin")).size(), 484u);
    for (const char* name : {"square.bin", "square.aupreset"})
    {
        unit.SetParameter(kOsc1Type, 0);
        OpenSound(bundle, unit, path(name));
        EXPECT_EQ(osc1Type(), 2) << name;
    }

    const std::string whole = slurp(path("square.bin"));
    std::ofstream(path("short.bin"), std::ios::binary) << whole.substr(0, 300);
    std::ofstream(path("bad.aupreset"), std::ios::binary) << "<plist>";
    unit.SetParameter(kOsc1Type, 1);
    EXPECT_THROW(OpenSound(bundle, unit, path("short.bin")), std::exception);
    EXPECT_THROW(OpenSound(bundle, unit, path("bad.aupreset")), std::exception);
    EXPECT_THROW(OpenSound(bundle, unit, path("missing.bin")), std::exception);
    EXPECT_EQ(osc1Type(), 1);
    EXPECT_THROW(SaveSound(unit, path("no-such-folder/x.bin")), std::exception);
}

TEST_F(SoundFilesTest, ExportIsTheHeldNoteBleepforgeRenders)
{
    // The default envelope: attack 0.01 s, hold and decay 0.001 s each.
    ExportWav(bundle, unit, path("export.wav"));
    const std::string command = std::string(BLEEPFORGE_CLI) + " render --note 60:127:0:0.012 -o '" +
                                path("render.wav") + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string exported = slurp(path("export.wav")), rendered = slurp(path("render.wav"));
    ASSERT_EQ(exported.size(), rendered.size());
    ASSERT_GT(exported.size(), 44u + 4 * 4410); // more than a tenth of a second
    EXPECT_EQ(exported.substr(0, 44), rendered.substr(0, 44));
    // A host hears single precision, so a 16-bit sample may round one step apart.
    int worst = 0;
    for (size_t at = 44; at + 1 < exported.size(); at += 2)
    {
        const auto sample = [at](const std::string& wav)
        {
            return static_cast<int16_t>(static_cast<uint8_t>(wav[at]) |
                                        (static_cast<uint8_t>(wav[at + 1]) << 8));
        };
        worst = std::max(worst, std::abs(sample(exported) - sample(rendered)));
    }
    EXPECT_LE(worst, 1);
}

} // namespace

TEST(KeptSound, EveryUnreadableOneIsMovedAsideUnderItsOwnName)
{
    char pattern[] = "/tmp/bleepforge-kept-XXXXXX";
    const std::string dir = mkdtemp(pattern), kept = dir + "/last-sound.aupreset";
    for (const char* text : {"first", "second", "third"})
    {
        std::ofstream(kept) << text;
        EXPECT_FALSE(MoveAside(kept).empty());
    }
    EXPECT_EQ(slurp(kept + ".unreadable"), "first");
    EXPECT_EQ(slurp(kept + ".unreadable-2"), "second");
    EXPECT_EQ(slurp(kept + ".unreadable-3"), "third");
    EXPECT_EQ(MoveAside(kept), ""); // nothing left to move

    // A second app on the same folder does not get to keep its sound there.
    auto first = std::make_unique<KeepLock>(kept);
    EXPECT_TRUE(first->Held());
    EXPECT_FALSE(KeepLock(kept).Held());
    first.reset();
    EXPECT_TRUE(KeepLock(kept).Held());
    std::system(("rm -rf '" + dir + "'").c_str());
}
