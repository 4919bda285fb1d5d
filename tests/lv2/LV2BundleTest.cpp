// The plug-in as hosts load it, from a copy of its bundle: it needs none of
// the editor's images to play, and only its editor says they are missing.
#include "LV2Host.h"
#include "LV2Ports.h"
#include "Params.h"

#include <gtest/gtest.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

const int kBlock = 256;

// A copy of the built bundle, in a folder of its own.
class BundleCopy
{
public:
    BundleCopy()
    {
        char folder[] = "/tmp/bleepforge-lv2-XXXXXX";
        EXPECT_NE(mkdtemp(folder), nullptr);
        mFolder = folder;
        const std::string bundle = BLEEPFORGE_LV2_BUNDLE;
        EXPECT_EQ(std::system(("cp -r '" + bundle + "' '" + mFolder + "/'").c_str()), 0);
    }
    ~BundleCopy() { std::system(("rm -rf '" + mFolder + "'").c_str()); }
    std::string Folder() const { return mFolder; }
    std::string Bundle() const { return mFolder + "/Bleepforge.lv2"; }

private:
    std::string mFolder;
};

// A noisy sound for a seed, played from the bundles on the path.
std::vector<float> played(const std::string& lv2Path)
{
    setenv("LV2_PATH", lv2Path.c_str(), 1);
    LV2World world(BLEEPFORGE_LV2_URI);
    LV2Instance instance(world, 48000.0, kBlock);
    instance.SetControl(kWhiteLevel, -6.0f);
    instance.SetControl(kPinkLevel, -6.0f);
    instance.Seed(5);
    instance.QueueMidi(0, 0x90, 60, 100);
    std::vector<float> out;
    for (int b = 0; b < 20; ++b)
    {
        instance.Run(kBlock);
        out.insert(out.end(), instance.Output(0), instance.Output(0) + kBlock);
    }
    return out;
}

// What the editor binary says when a host asks it for an editor, and whether
// it made one.
bool editorOpens(const std::string& bundle, std::string* said)
{
    void* module = dlopen((bundle + "/bleepforge_ui.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(module, nullptr) << dlerror();
    if (!module)
        return false;
    auto describe = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(module, "lv2ui_descriptor"));
    URIDMap urids;
    const LV2_Feature map = {LV2_URID__map, urids.MapFeature()};
    const LV2_Feature* features[] = {&map, nullptr};
    const std::string log = bundle + "/../said.txt";
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int file = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, STDERR_FILENO);
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle ui = describe(0)->instantiate(describe(0), BLEEPFORGE_LV2_URI, (bundle + "/").c_str(),
                                               [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {},
                                               nullptr, &widget, features);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(file);
    std::ifstream in(log);
    said->assign(std::istreambuf_iterator<char>(in), {});
    if (ui)
        describe(0)->cleanup(ui);
    dlclose(module);
    return ui != nullptr;
}

} // namespace

TEST(LV2Bundle, WithoutItsImagesThePluginPlaysAndOnlyItsEditorRefuses)
{
    BundleCopy copy;
    ASSERT_EQ(std::system(("rm -r '" + copy.Bundle() + "/Resources'").c_str()), 0);
    const std::string built = BLEEPFORGE_LV2_BUNDLE;
    const std::vector<float> withImages = played(built.substr(0, built.rfind('/')));
    const std::vector<float> without = played(copy.Folder());
    EXPECT_GT(*std::max_element(withImages.begin(), withImages.end()), 0.01f);
    EXPECT_EQ(without, withImages);

    std::string said;
    EXPECT_FALSE(editorOpens(copy.Bundle(), &said));
    EXPECT_NE(said.find("cannot find the editor image"), std::string::npos) << said;
    EXPECT_NE(said.find(copy.Bundle() + "/Resources"), std::string::npos) << said;
    const std::string buildFolder = built.substr(0, built.rfind("/lv2/"));
    EXPECT_EQ(said.find(buildFolder), std::string::npos) << "looked outside its own bundle: " << said;
}

// Two instances in one world, run block by block in turn, each with its own
// seed and both noises up: each plays what it plays alone.
TEST(LV2Bundle, TwoInstancesRunInTurnEachPlayAsAlone)
{
    const std::string built = BLEEPFORGE_LV2_BUNDLE;
    setenv("LV2_PATH", built.substr(0, built.rfind('/')).c_str(), 1);
    LV2World world(BLEEPFORGE_LV2_URI);
    const auto start = [](LV2Instance& instance, uint32_t seed, uint8_t note)
    {
        instance.SetControl(kWhiteLevel, -6.0f);
        instance.SetControl(kPinkLevel, -6.0f);
        instance.Seed(seed);
        instance.QueueMidi(0, 0x90, note, 100);
    };
    const int kBlocks = 20;
    const auto alone = [&](uint32_t seed, uint8_t note)
    {
        LV2Instance instance(world, 48000.0, kBlock);
        start(instance, seed, note);
        std::vector<float> out;
        for (int b = 0; b < kBlocks; ++b)
        {
            instance.Run(kBlock);
            out.insert(out.end(), instance.Output(0), instance.Output(0) + kBlock);
        }
        return out;
    };
    const std::vector<float> first = alone(5, 60), second = alone(6, 67);

    LV2Instance a(world, 48000.0, kBlock), b(world, 48000.0, kBlock);
    start(a, 5, 60);
    start(b, 6, 67);
    std::vector<float> outA, outB;
    for (int block = 0; block < kBlocks; ++block)
    {
        a.Run(kBlock);
        outA.insert(outA.end(), a.Output(0), a.Output(0) + kBlock);
        b.Run(kBlock);
        outB.insert(outB.end(), b.Output(0), b.Output(0) + kBlock);
    }
    EXPECT_NE(first, second);
    EXPECT_EQ(outA, first);
    EXPECT_EQ(outB, second);
}
