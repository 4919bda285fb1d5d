#include "IGraphicsContext.h"
#include "TestPlug.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

TEST(IPluginBase, ChannelTextGivesConfigurationsAndChannels)
{
    TestPlug plug;
    EXPECT_EQ(plug.NChannelIO(), 2);
    EXPECT_EQ(plug.NInChannels(), 0);
    EXPECT_EQ(plug.NOutChannels(), 2);
    EXPECT_TRUE(plug.LegalIO(0, 2));
    EXPECT_TRUE(plug.LegalIO(-1, 1));
    EXPECT_TRUE(plug.LegalIO(0, -1));
    EXPECT_FALSE(plug.LegalIO(1, 2));
    EXPECT_FALSE(plug.LegalIO(0, 3));

    TestPlug mono(false, "1-1");
    EXPECT_EQ(mono.NInChannels(), 1);
    EXPECT_EQ(mono.NOutChannels(), 1);
    TestPlug both(false, "2-2 1-1");
    EXPECT_EQ(both.NInChannels(), 2);
    EXPECT_EQ(both.NOutChannels(), 2);
}

TEST(IPluginBaseDeathTest, MalformedChannelTextStops)
{
    EXPECT_DEATH(TestPlug(false, "stereo"), "channelIOStrValid");
}

TEST(IPluginBase, IdentityAndVersions)
{
    TestPlug plug;
    char text[32];
    EXPECT_EQ(plug.GetEffectVersion(false), 0x10203);
    EXPECT_EQ(plug.GetEffectVersion(true), 10203);
    EXPECT_STREQ(plug.GetEffectVersionStr(text), "v1.2.3D");
    GetVersionStr(0x10000, text);
    EXPECT_STREQ(text, "v1.0.0");
    EXPECT_STREQ(plug.GetAPIString(), "AU");
    EXPECT_EQ(plug.GetHost(), static_cast<EHost>(-1));
    plug.SetHost("REAPER", 0x60000);
    EXPECT_EQ(plug.GetHost(), kHostReaper);
    EXPECT_EQ(plug.GetHostVersion(true), 60000);
    EXPECT_EQ(plug.GetParam(60), nullptr);
    EXPECT_EQ(plug.GetParam(-1), nullptr);
    EXPECT_DOUBLE_EQ(plug.GetSamplesPerBeat(), 44100.0 / 2.0);
    plug.tempo = 0.0;
    EXPECT_EQ(plug.GetSamplesPerBeat(), 0.0);

    const std::string longName(300, 'e');
    TestPlug named;
    EXPECT_EQ(std::strlen(named.GetEffectName()), std::strlen("Test Effect"));
}

TEST(IPluginBase, UnconnectedInputsReadZeroedScratchAndTakeNoPointer)
{
    TestPlug plug(false, "2-2");
    plug.SetBlockSize(16);
    plug.SetInputChannelConnections(0, 1, false);
    plug.SetInputChannelConnections(1, 1, true);
    double host[16] = {};
    double* data[] = {host};
    plug.AttachInputBuffers(0, 2, data, 16);
    EXPECT_FALSE(plug.IsInChannelConnected(0));
    EXPECT_TRUE(plug.IsInChannelConnected(1));
    EXPECT_FALSE(plug.IsInChannelConnected(5));

    // The base's own pass-through reveals where each input slot points.
    host[3] = 0.75;
    double out0[16], out1[16];
    double* outs[] = {out0, out1};
    plug.SetOutputChannelConnections(0, 2, true);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.PassThroughBuffers(0.0, 16);
    EXPECT_EQ(out0[3], 0.0);
    EXPECT_EQ(out1[3], 0.75);
}

TEST(IPluginBase, AccumulatingAddsToTheHostsBuffers)
{
    TestPlug plug;
    plug.SetBlockSize(8);
    plug.SetOutputChannelConnections(0, 2, true);
    float left[8] = {}, right[8] = {};
    float* outs[] = {left, right};
    for (int block = 0; block < 2; ++block)
    {
        plug.AttachOutputBuffers(0, 2, outs);
        plug.ProcessBuffersAccumulating(0.0f, 8);
    }
    EXPECT_EQ(left[7], 0.5f);
    EXPECT_EQ(right[0], 0.5f);
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(0.0f, 8);
    EXPECT_EQ(left[0], 0.25f);
}

TEST(IPluginBase, RightChannelDisconnectedWritesOnlyTheLeft)
{
    TestPlug plug;
    plug.SetBlockSize(8);
    plug.SetOutputChannelConnections(0, 1, true);
    plug.SetOutputChannelConnections(1, 1, false);
    double left[8] = {};
    double* outs[] = {left};
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(0.0, 8);
    EXPECT_EQ(left[5], 0.25);
}

TEST(IPluginBase, BlocksLongerThanTheBlockSizeAreCut)
{
    TestPlug plug;
    plug.SetBlockSize(4);
    double left[8] = {}, right[8] = {};
    double* outs[] = {left, right};
    plug.SetOutputChannelConnections(0, 1, true); // right stays on its 4-sample scratch
    plug.AttachOutputBuffers(0, 2, outs);
    plug.ProcessBuffers(0.0, 8);
    EXPECT_EQ(left[3], 0.25);
    EXPECT_EQ(left[4], 0.0);
    plug.SetBlockSize(0);
    plug.ProcessBuffers(0.0, 8);
}

TEST(IPluginBase, CompareStateToleratesSinglePrecisionRounding)
{
    TestPlug plug;
    std::vector<unsigned char> state(4 + 60 * sizeof(double));
    std::vector<double> values = plug.values();
    values[10] += 2e-6;
    std::memcpy(state.data() + 4, values.data(), 60 * sizeof(double));
    EXPECT_TRUE(plug.CompareState(state.data(), 4));
    values[59] += 1e-4;
    std::memcpy(state.data() + 4, values.data(), 60 * sizeof(double));
    EXPECT_FALSE(plug.CompareState(state.data(), 4));
}

TEST(IPluginBase, GuiChangesSetInformAndNotifyUnderOneRecursiveLock)
{
    TestPlug plug;
    plug.SetParameterFromGUI(0, 0.5);
    EXPECT_EQ(plug.GetParam(0)->Value(), 5.0);
    EXPECT_EQ(plug.calls, (std::vector<std::string>{"inform 0 0.500000", "change 0"}));
    plug.SetParameterFromGUI(99, 0.5); // no such parameter: ignored
    EXPECT_EQ(plug.calls.size(), 2u);
    plug.OnParamReset();
    EXPECT_EQ(plug.calls.size(), 62u);
    EXPECT_EQ(plug.calls.back(), "change 59");
}

// Values given as a user gives them to a knob, without an editor: what the
// knob already holds is not given again, so a state's exact values survive;
// what it would hold to 0 ... 1 it holds; what a host echoes meanwhile stays.
TEST(IPluginBase, UserInputWithoutAnEditorActsAsTheControlWould)
{
    TestPlug plug;
    plug.RedrawParamControls();
    EXPECT_EQ(plug.GetShownValue(5), plug.GetParam(5)->GetNormalized());
    plug.GetParam(5)->Set(42.123456789); // a loaded value the knob was not shown
    const double shownBefore = plug.GetShownValue(5);
    EXPECT_FALSE(plug.SetParameterAsUserInput(5, shownBefore));
    EXPECT_EQ(plug.GetParam(5)->Value(), 42.123456789);
    EXPECT_TRUE(plug.calls.empty());

    EXPECT_TRUE(plug.SetParameterAsUserInput(0, 1.7)); // held to the top
    EXPECT_EQ(plug.GetShownValue(0), 1.0);
    EXPECT_EQ(plug.GetParam(0)->Value(), 10.0);
    EXPECT_EQ(plug.calls, (std::vector<std::string>{"inform 0 1.000000", "change 0"}));
    EXPECT_TRUE(plug.SetParameterAsUserInput(0, 1.2)); // held to what it holds: given again
    EXPECT_EQ(plug.calls.size(), 4u);
    EXPECT_FALSE(plug.SetParameterAsUserInput(0, 1.0));
    EXPECT_FALSE(plug.SetParameterAsUserInput(60, 0.5));
    EXPECT_EQ(plug.calls.size(), 4u);

    plug.SetParameterFromHost(2, 50.0);
    EXPECT_EQ(plug.GetShownValue(2), plug.GetParam(2)->GetNormalized(50.0));
}

namespace
{
// A host that answers each change by setting the value back rounded, as a
// single-precision port does.
struct EchoingPlug : TestPlug
{
    void InformHostOfParamChange(int idx, double value) override
    {
        TestPlug::InformHostOfParamChange(idx, value);
        SetParameterFromHost(idx, static_cast<float>(GetParam(idx)->Value()));
    }
};
} // namespace

TEST(IPluginBase, AnEchoDuringUserInputIsWhatTheControlKeeps)
{
    EchoingPlug plug;
    plug.RedrawParamControls();
    ASSERT_TRUE(plug.SetParameterAsUserInput(3, 0.3));
    const double echoed = static_cast<float>(plug.GetParam(3)->Value());
    EXPECT_EQ(plug.GetParam(3)->Value(), echoed);
    EXPECT_EQ(plug.GetShownValue(3), plug.GetParam(3)->GetNormalized(echoed));
}

namespace
{
struct FakeGraphics : IGraphicsContext
{
    void SetAllControlsDirty() override {}
    void SetParameterFromGUI(int, double) override {}
    void* OpenWindow(void*) override { return nullptr; }
    void* OpenWindow(void*, void*, short, short) override { return nullptr; }
    void CloseWindow() override {}
    explicit FakeGraphics(bool* deleted) : mDeleted(deleted) {}
    ~FakeGraphics() override { *mDeleted = true; }
    void SetParameterFromPlug(int idx, double value, bool normalized) override
    {
        pushes.push_back({idx, value, normalized});
    }
    void PrepDraw() override { preparedAfter = static_cast<int>(pushes.size()); }
    struct Push
    {
        int idx;
        double value;
        bool normalized;
    };
    std::vector<Push> pushes;
    int preparedAfter = -1;
    bool* mDeleted;
};
} // namespace

TEST(IPluginBase, AttachedGraphicsGetEveryValueAndBelongToThePlugIn)
{
    bool deleted = false;
    {
        TestPlug plug;
        plug.AttachGraphics(nullptr);
        EXPECT_EQ(plug.GetGUI(), nullptr);
        plug.RedrawParamControls(); // no editor: only the values shown are kept
        auto* graphics = new FakeGraphics(&deleted);
        plug.AttachGraphics(graphics);
        ASSERT_EQ(plug.GetGUI(), graphics);
        ASSERT_EQ(graphics->pushes.size(), 60u);
        EXPECT_EQ(graphics->preparedAfter, 60);
        EXPECT_TRUE(graphics->pushes[5].normalized);
        EXPECT_DOUBLE_EQ(graphics->pushes[5].value, plug.GetParam(5)->GetNormalized());
        plug.RedrawParamControls();
        ASSERT_EQ(graphics->pushes.size(), 120u);
        EXPECT_FALSE(graphics->pushes[65].normalized);
        EXPECT_EQ(graphics->pushes[65].value, 15.0);
    }
    EXPECT_TRUE(deleted);
}

TEST(IPluginBase, BusLabelsReplaceRatherThanAccumulate)
{
    TestPlug plug;
    plug.SetOutputBusLabel(0, "output 1");
    plug.SetOutputBusLabel(0, "output 1");
    EXPECT_STREQ(plug.GetOutputBusLabel(0)->Get(), "output 1");
    EXPECT_EQ(plug.GetOutputBusLabel(1), nullptr);
    plug.SetInputBusLabel(2, "ignored");
    plug.SetInputBusLabel(-1, "ignored");
    EXPECT_EQ(plug.GetInputBusLabel(0), nullptr);
    plug.SetOutputBusLabel(5, "far"); // appended after the last
    EXPECT_STREQ(plug.GetOutputBusLabel(1)->Get(), "far");
}

TEST(IPluginBase, MidiPassesThroughAndHostsAreToldOfEveryParameter)
{
    TestPlug plug;
    KIT_TypedBuf<IMidiMsg> msgs;
    msgs.Resize(3);
    EXPECT_TRUE(plug.SendMidiMsgs(&msgs));
    plug.sendResult = false;
    EXPECT_FALSE(plug.SendMidiMsgs(&msgs));
    plug.DirtyParameters();
    EXPECT_EQ(plug.calls.size(), 60u);
    char name[8];
    EXPECT_FALSE(plug.MidiNoteName(60, name));
    EXPECT_STREQ(name, "");
}
