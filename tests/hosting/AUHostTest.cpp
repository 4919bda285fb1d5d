#include "AUHost.h"
#include "ScratchTest.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string kBundle = BLEEPFORGE_BUNDLE;
const std::string kInfo = kBundle + "/Contents/Info.plist";

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

void ExpectRefused(const std::string& xml, const std::string& why)
{
    try
    {
        ParseBundleDescription(xml, "Info.plist");
        ADD_FAILURE() << "taken: " << why;
    }
    catch (const std::runtime_error& e)
    {
        EXPECT_NE(std::string::npos, std::string(e.what()).find(why)) << e.what();
    }
}

std::vector<float> RenderNote(AUInstance& unit, bool fast)
{
    const UInt32 block = 256;
    std::vector<float> left(block), right(block), all;
    EXPECT_EQ(noErr, unit.StartNote(60, 127, 0));
    for (int b = 0; b < 40; ++b)
    {
        const OSStatus status = fast ? unit.RenderFast({left.data(), right.data()}, block, b * 256.0)
                                     : unit.Render({left.data(), right.data()}, block, b * 256.0);
        EXPECT_EQ(noErr, status);
        all.insert(all.end(), left.begin(), left.end());
    }
    return all;
}

} // namespace

TEST(BundleDescription, WhatAHostCannotUseIsRefusedNamingTheFile)
{
    const std::string xml = ReadFile(kInfo);
    const BundleDescription d = ParseBundleDescription(xml, "Info.plist");
    EXPECT_EQ("aumu", FourCharCode(d.description.componentType));
    EXPECT_EQ("Bleepforge_Entry", d.factory);

    ExpectRefused("", "is not a property list");
    ExpectRefused(Replaced(xml, "<key>AudioComponents</key>", "<key>Other</key>"),
                  "describes no component");
    ExpectRefused(Replaced(xml, "<string>Bleepforge.so</string>", "<string>../evil.so</string>"),
                  "outside the bundle");
    ExpectRefused(Replaced(xml, "<string>spgp</string>", "<string>toolong</string>"),
                  "not a four-character code");
    ExpectRefused(Replaced(xml, "<key>factoryFunction</key>", "<key>other</key>"),
                  "no factory function");
}

class BundleFolder : public ScratchTest
{
protected:
    // A copy of the built bundle whose library is replaced by what the test makes.
    std::string CopyWithLibrary(const std::string& make)
    {
        const std::string copy = path("Copy" + std::to_string(++mCopies) + ".component");
        EXPECT_EQ(0, system(("cp -r '" + kBundle + "' '" + copy + "' && cd '" + copy +
                             "/Contents/linux-x86_64' && rm -f Bleepforge.so && " + make)
                                .c_str()));
        return copy;
    }
    void ExpectLoadRefused(const std::string& bundle, const std::string& why)
    {
        try
        {
            AUBundle loaded(bundle);
            ADD_FAILURE() << "loaded: " << why;
        }
        catch (const std::runtime_error& e)
        {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(why)) << e.what();
        }
    }
    int mCopies = 0;
};

TEST_F(BundleFolder, ALibraryThatIsMissingFoldedOrOutsideIsNeverLoaded)
{
    ExpectLoadRefused(path("Absent.component"), "cannot read");
    ExpectLoadRefused(CopyWithLibrary("true"), "has no library");
    ExpectLoadRefused(CopyWithLibrary("mkdir Bleepforge.so"), "not a regular file");
    ExpectLoadRefused(CopyWithLibrary("ln -s '" + kBundle +
                                      "/Contents/linux-x86_64/Bleepforge.so' Bleepforge.so"),
                      "lies outside the bundle");
}

// Instances of one bundle share its library but nothing of their sound, and a
// state carried between them (as a host's document does) brings the sound whole.
TEST(AUHostInstances, StatesMoveBetweenInstancesAndBothRenderPathsAgree)
{
    AUBundle bundle(kBundle);
    AUInstance first(bundle), second(bundle);
    for (AUInstance* unit : {&first, &second})
    {
        ASSERT_EQ(noErr, unit->Configure(44100.0, 256));
        ASSERT_EQ(noErr, unit->Initialize());
    }
    const std::vector<AUParameterDescription> params = first.Parameters();
    ASSERT_EQ(60u, params.size());
    const AudioUnitParameterID gain = params[0].id;
    float before = 0.0f, moved = 0.0f;
    ASSERT_EQ(noErr, second.GetParameter(gain, &before));
    ASSERT_EQ(noErr, first.SetParameter(gain, params[0].minValue));
    ASSERT_EQ(noErr, second.GetParameter(gain, &moved));
    EXPECT_EQ(before, moved);

    CFDictionaryRef saved = nullptr;
    ASSERT_EQ(noErr, first.SaveState(&saved));
    const std::string preset = AUPresetText(saved);
    CFRelease(saved);
    CFDictionaryRef parsed = ParseAUPreset(preset, "the preset");
    ASSERT_EQ(noErr, second.RestoreState(parsed));
    CFRelease(parsed);
    ASSERT_EQ(noErr, second.GetParameter(gain, &moved));
    EXPECT_EQ(params[0].minValue, moved);

    EXPECT_EQ(RenderNote(first, false), RenderNote(second, true));
}

// A host's single-precision value plays what the host shows: a whole-number
// parameter the nearest whole number (automation lands a hair off one), a
// fractional parameter the value as given.
TEST(AUHostInstances, AHostsValueForAWholeNumberParameterPlaysTheNearestOne)
{
    AUBundle bundle(kBundle);
    AUInstance unit(bundle);
    ASSERT_EQ(noErr, unit.Configure(44100.0, 256));
    ASSERT_EQ(noErr, unit.Initialize());
    std::map<std::string, AudioUnitParameterID> ids;
    for (const AUParameterDescription& p : unit.Parameters())
        ids[p.name] = p.id;
    const struct
    {
        const char* name;
        float set, plays;
    } cases[] = {{"Osc1 Type", 2.6f, 3.0f},         {"Osc1 Type", 1.99995f, 2.0f},
                 {"Osc1 Type", 4.4f, 4.0f},         {"Osc1 Octave", -1.00004f, -1.0f},
                 {"Osc1 Octave", -0.6f, -1.0f},     {"Osc1 Octave", 0.5f, 1.0f},
                 {"BitCrush Position", 1.7f, 2.0f}, {"Amp Env Attack", 0.123456f, 0.123456f}};
    for (const auto& c : cases)
    {
        ASSERT_EQ(1u, ids.count(c.name)) << c.name;
        ASSERT_EQ(noErr, unit.SetParameter(ids[c.name], c.set)) << c.name;
        float played = 0.0f;
        ASSERT_EQ(noErr, unit.GetParameter(ids[c.name], &played));
        EXPECT_EQ(c.plays, played) << c.name << " set to " << c.set;
    }
}
