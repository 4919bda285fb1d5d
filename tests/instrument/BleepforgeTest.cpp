#include "TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>


TEST(Params, EveryParameterStartsAtItsDefault)
{
    Host host;
    char text[IParam::kDisplaySize];
    IParam* gain = host.plug.GetParam(kOutputGain);
    gain->GetDisplayForHost(text);
    EXPECT_STREQ(text, "-6.0");
    EXPECT_STREQ(gain->GetLabelForHost(), "dB");
    host.plug.GetParam(kOsc1Type)->GetDisplayForHost(text);
    EXPECT_STREQ(text, "Triangle");
    EXPECT_EQ(host.plug.GetParam(kFilterLPCutoff)->Value(), 22050.0);
    host.plug.GetParam(kMutation)->GetDisplayForHost(text);
    EXPECT_STREQ(text, "5.0");
    for (int i = 0; i < kNumParams; ++i)
    {
        const double expected = i == kOsc1Type ? 1.0 : paramProperties[i].defaultValue;
        EXPECT_EQ(host.plug.GetParam(i)->Value(),
                  static_cast<double>(host.plug.GetParam(i)->Type() == IParam::kTypeDouble
                                          ? expected
                                          : static_cast<int>(expected)))
            << paramProperties[i].name;
    }
    EXPECT_EQ(host.plug.GetParam(kPitchLowNote)->GetStep(), 1.0);
    EXPECT_EQ(host.plug.GetParam(kBitCrushPosition)->Type(), IParam::kTypeEnum);
    EXPECT_STREQ(host.plug.GetParam(kPitchJumpTrigger)->GetDisplayText(2), "Both");
}

TEST(Params, CentredCurvesPutOneAtTheMiddleOfTheKnob)
{
    Host host;
    for (EParams p : {kPitchCurve, kPitchJumpDelay})
    {
        IParam* param = host.plug.GetParam(p);
        param->SetNormalized(0.5);
        EXPECT_NEAR(param->Value(), 1.0, 1e-12) << paramProperties[p].name;
    }
    EXPECT_NEAR(ParamShape(kPitchCurve), std::log2(9.0), 1e-12);
    EXPECT_NEAR(ParamShape(kPitchJumpDelay), std::log2(5.0), 1e-12);
}

TEST(Params, RandomNormalisedValuesStayBetweenTheirBounds)
{
    RandomSource random;
    random.seed(5);
    const int first = random.draw();
    const int second = random.draw();
    random.seed(5);
    EXPECT_DOUBLE_EQ(getNormalizado(kOsc1Type, 2, 2, random), 2.0 / 7.0);
    EXPECT_EQ(random.draw(), second); // exactly one draw was consumed
    EXPECT_NE(first, second);
    random.seed(5);
    EXPECT_DOUBLE_EQ(getNormalizado(kPitchCurve, 1.0, 1.0, random), 0.5);
    for (int i = 0; i < 100; ++i)
    {
        const double n = getNormalizado(kOsc1Level, -6.0, -60.0, random); // low above high
        EXPECT_GE(n, 36.0 / 96.0 - 1e-9);
        EXPECT_LE(n, 90.0 / 96.0 + 1e-9);
    }
}

TEST(Bleepforge, LevelsBelowMinusNinetyFiveAreSilence)
{
    auto render = [](const char* level)
    {
        Host host;
        host.set("Compression Factor=0"); // linear, so outputs compare as gains
        host.set(level);
        host.send(noteOn(69, 127, 0));
        return host.render(40);
    };
    const auto full = render("Osc1 Level=0");
    const auto quiet = render("Osc1 Level=-95");
    const auto silent = render("Osc1 Level=-95.5");
    EXPECT_EQ(peak(silent), 0.0);
    const double expected = std::pow(10.0, -95.0 / 20.0);
    for (size_t i = 100; i < full.size(); i += 37)
        ASSERT_NEAR(quiet[i], full[i] * expected, std::fabs(full[i]) * expected * 1e-9) << i;
}

TEST(Bleepforge, PitchJumpQueuesATransposedNoteAfterTheDelay)
{
    Host host(1);
    host.set("Pitch Jump Delay=0.5");
    host.set("Pitch Jump Time=0.2");
    host.set("Pitch Jump Transpose=12");
    host.send(noteOn(60, 100, 10));
    std::vector<int> changes;
    bool held = false;
    for (int frame = 0; frame < 31000; ++frame)
    {
        host.render(1);
        if (host.plug.GetKeyStatus(72) != held)
        {
            held = !held;
            changes.push_back(frame);
        }
    }
    EXPECT_EQ(changes, (std::vector<int>{22060, 30880}));
    EXPECT_TRUE(host.plug.GetKeyStatus(60));
}

TEST(Bleepforge, PitchJumpOnNoteOffAndNeverWithoutDelay)
{
    Host host(64);
    host.set("Pitch Jump Delay=0");
    host.set("Pitch Jump Trigger=Both");
    host.set("Pitch Jump Transpose=5");
    host.send(noteOn(60, 100, 0));
    host.render(2);
    EXPECT_EQ(host.plug.GetNumKeys(), 1);

    host.set("Pitch Jump Delay=0.001"); // 44 frames
    host.set("Pitch Jump Trigger=On NoteOff");
    host.send(noteOff(60, 0));
    host.render(1);
    EXPECT_TRUE(host.plug.GetKeyStatus(65));
    host.set("Pitch Jump Transpose=48");
    host.send(noteOn(100, 100, 0)); // 148 has no key: no second note
    host.send(noteOff(100, 1));
    host.render(1);
    EXPECT_EQ(host.plug.GetNumKeys(), 1);
}

TEST(Bleepforge, LoudSignalsAreClippedBeforeTheGain)
{
    Host host(256);
    for (const char* s : {"Osc2 Type=Sin", "Osc3 Type=Sin", "Osc1 Type=Sin", "Osc2 Level=0",
                          "Osc3 Level=0", "Compression Factor=0", "Output Gain=0"})
        host.set(s);
    host.send(noteOn(69, 127, 0));
    const auto out = host.render(100);
    EXPECT_NEAR(peak(out, 20000), 2.0, 1e-9);
    EXPECT_LE(peak(out), 2.0);
}

TEST(Bleepforge, SilenceIsPositiveZero)
{
    Host host(128);
    host.set("Osc1 Level=-96");
    host.send(noteOn(69, 127, 0));
    for (double v : host.render(10))
    {
        ASSERT_EQ(v, 0.0);
        ASSERT_FALSE(std::signbit(v));
    }
}

TEST(Bleepforge, DisconnectedRightChannelIsNotWritten)
{
    Host host(32);
    host.plug.SetOutputChannelConnections(1, 1, false);
    host.send(noteOn(69, 127, 0));
    std::vector<double> left(32, 7.0), right(32, 7.0);
    double* outputs[] = {left.data()};
    for (int b = 0; b < 20; ++b)
    {
        host.plug.AttachOutputBuffers(0, 2, outputs);
        host.plug.ProcessBuffers(0.0, 32);
    }
    EXPECT_NE(left[31], 7.0);
    EXPECT_EQ(right, std::vector<double>(32, 7.0));
    EXPECT_GT(host.plug.GetMeterL(), 0.0);
    EXPECT_EQ(host.plug.GetMeterR(), 0.0);
}

TEST(Bleepforge, BlockSizeDoesNotChangeTheAudio)
{
    RenderRequest request;
    request.notes = {{60, 100, 0.0, 0.2}, {67, 90, 0.05, 0.3}};
    request.settings = {"Pitch Jump Delay=0.1", "Pitch Jump Transpose=-5", "Osc1 Type=Square"};
    request.block = 64;
    const RenderResult small = Render(request);
    request.block = 1024;
    const RenderResult large = Render(request);
    request.block = 1;
    const RenderResult single = Render(request);
    ASSERT_GT(small.left.size(), 20000u);
    EXPECT_EQ(small.left, large.left);
    EXPECT_EQ(small.left, single.left);
    EXPECT_EQ(small.right, large.right);
}

TEST(Bleepforge, StateIsVersionThenParameters)
{
    Host host;
    ByteChunk chunk;
    EXPECT_TRUE(host.plug.SerializeState(&chunk));
    ASSERT_EQ(chunk.Size(), 484);
    const unsigned char head[] = {0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(std::memcmp(chunk.GetBytes(), head, 4), 0);
    double gain;
    std::memcpy(&gain, chunk.GetBytes() + 4, 8);
    EXPECT_EQ(gain, -6.0);
    EXPECT_TRUE(host.plug.CompareState(chunk.GetBytes(), 0));
    chunk.GetBytes()[0] = 1;
    EXPECT_FALSE(host.plug.CompareState(chunk.GetBytes(), 0));

    Host other;
    other.set("Output Gain=3");
    chunk.GetBytes()[0] = 0;
    EXPECT_EQ(other.plug.UnserializeState(&chunk, 0), 484);
    EXPECT_EQ(other.plug.GetParam(kOutputGain)->Value(), -6.0);
    ByteChunk shortChunk;
    shortChunk.PutBytes(chunk.GetBytes(), 100);
    EXPECT_EQ(other.plug.UnserializeState(&shortChunk, 0), -1);
}

TEST(Bleepforge, AdapterCoreIdentityAndBus)
{
    Host host;
    EXPECT_EQ(host.plug.NOutBuses(), 1);
    EXPECT_EQ(host.plug.NInBuses(), 0);
    EXPECT_EQ(host.plug.GetOutBus(0)->mNPlugChannels, 2);
    EXPECT_STREQ(host.plug.GetOutputBusLabel(0)->Get(), "output 1");
    EXPECT_STREQ(host.plug.GetEffectName(), "Bleepforge");
    EXPECT_STREQ(host.plug.GetMfrName(), "Vantrell");
    EXPECT_EQ(host.plug.GetUniqueID(), 0x73706770);
    EXPECT_EQ(host.plug.GetAPI(), kAPIAU);
    EXPECT_EQ(host.plug.GetHost(), kHostUnknown);
    IMidiMsg msg = noteOn(1, 1, 0);
    EXPECT_FALSE(host.plug.SendMidiMsg(&msg));
    EXPECT_EQ(host.plug.GetTempo(), 120.0);
}
