// The instrument facing bad input: non-finite values, short states, files that
// must survive a round trip, and the silence after the last note.
#include "TestHost.h"

#include "ShareCode.h"
#include "SoundState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace
{

std::vector<double> stateValues(Bleepforge& plug)
{
    return paramValues(plug);
}

std::string tempPath(const char* suffix)
{
    char pattern[] = "/tmp/bleepforge-hard-XXXXXX";
    const int fd = mkstemp(pattern);
    close(fd);
    std::remove(pattern);
    return std::string(pattern) + suffix;
}

} // namespace

TEST(Hardening, SoundEndsInExactSilenceWhileDecayingSoundIsKept)
{
    RenderRequest loud;
    loud.settings = {"Compression Factor=1", "Output Gain=12", "Osc1 Type=Square"};
    loud.notes = {{60, 127, 0.0, 0.1}};
    loud.lengthSeconds = 3.0;
    const RenderResult audio = Render(loud);
    ASSERT_EQ(audio.left.size(), 3u * 44100u);
    EXPECT_GT(peak(audio.left), 0.1);
    for (size_t i = 2 * 44100; i < audio.left.size(); ++i)
        ASSERT_EQ(audio.left[i], 0.0) << i;

    KIT_BesselFilterStage stage;
    KIT_BesselFilterCoeffs design;
    design.Calc(0.5 / 16);
    stage.Process(1.0, design.Coeffs());
    stage.Process(0.0, design.Coeffs());
    const double decaying = stage.Output();
    stage.FlushIfBelow(std::fabs(decaying)); // one value not below: nothing is cut
    EXPECT_EQ(stage.Output(), decaying);
    stage.FlushIfBelow(1.0);
    EXPECT_EQ(stage.Output(), 0.0);
}

TEST(Hardening, NonFiniteValuesNeverBecomeParameterValues)
{
    Host host;
    IParam* gain = host.plug.GetParam(kOutputGain);
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL})
    {
        gain->Set(bad);
        gain->SetNormalized(bad);
        EXPECT_EQ(gain->Value(), -6.0);
    }

    ByteChunk state;
    host.plug.SerializeState(&state);
    const double nan = std::nan("");
    std::memcpy(state.GetBytes() + 4 + 8 * kOutputGain, &nan, sizeof nan);
    host.set("Output Gain=3");
    const std::vector<double> before = stateValues(host.plug);
    EXPECT_EQ(host.plug.UnserializeState(&state, 0), -1);
    EXPECT_EQ(stateValues(host.plug), before);

    ByteChunk good;
    host.plug.SerializeState(&good);
    ByteChunk cut;
    cut.PutBytes(good.GetBytes(), 483);
    host.set("Output Gain=-20");
    EXPECT_EQ(host.plug.UnserializeState(&cut, 0), -1);
    EXPECT_EQ(host.plug.GetParam(kOutputGain)->Value(), -20.0);
    EXPECT_EQ(host.plug.GetParam(kMutation)->Value(), before[kMutation]);
}

// A fraction of a whole-number parameter in a state or a sound code is kept
// as the whole value the engine plays, so what is stored, shown and heard
// agree; the sound itself does not change.
TEST(Hardening, WholeNumberParametersKeepTheValueTheyPlay)
{
    ByteChunk whole, fractional;
    Host reference;
    reference.set("Osc1 Octave=1");
    reference.set("Osc1 Transpose=-3");
    reference.plug.SerializeState(&whole);
    fractional.PutChunk(&whole);
    const double octave = 1.5, transpose = -3.75;
    std::memcpy(fractional.GetBytes() + 4 + 8 * kOsc1Octave, &octave, sizeof octave);
    std::memcpy(fractional.GetBytes() + 4 + 8 * kOsc1Transpose, &transpose, sizeof transpose);
    const std::string path = tempPath(".state");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    ASSERT_EQ(std::fwrite(fractional.GetBytes(), 1, static_cast<size_t>(fractional.Size()), file),
              static_cast<size_t>(fractional.Size()));
    std::fclose(file);
    for (const std::string& sound : {path, EncodeShareCode(fractional)})
    {
        RenderRequest asStored, asWhole;
        asStored.stateIn = sound;
        asWhole.stateIn = EncodeShareCode(whole);
        asStored.notes = asWhole.notes = {{60, 127, 0.0, 0.05}};
        const RenderResult stored = Render(asStored), played = Render(asWhole);
        EXPECT_EQ(StateValues(stored.state), StateValues(whole)) << sound;
        EXPECT_EQ(stored.left, played.left) << sound;
        const auto settings = SettingsOf(sound);
        EXPECT_EQ(settings[kOsc1Octave].second, "1") << sound;
        EXPECT_EQ(settings[kOsc1Transpose].second, "-3") << sound;
    }
    std::remove(path.c_str());
}

TEST(Hardening, ResetStartsTheGainSmootherAfresh)
{
    auto firstBlock = [](Host& host)
    {
        host.send(noteOn(69, 127, 0));
        return host.render(4);
    };
    Host fresh, reused;
    firstBlock(reused);
    reused.send(noteOff(69, 0));
    reused.render(200);
    reused.plug.Reset();
    EXPECT_EQ(firstBlock(reused), firstBlock(fresh));

    Host extreme(64, 1e9); // pitch-jump offsets far beyond the int range
    extreme.set("Pitch Jump Delay=5");
    extreme.send(noteOn(60, 100, 63));
    extreme.render(1);
    EXPECT_TRUE(extreme.plug.GetKeyStatus(60));
}

TEST(Hardening, ProgramAndBankFilesRoundTripOnTheInstrument)
{
    Host host;
    host.set("Osc1 Type=Square");
    host.set("Output Gain=-12");
    host.set("Amp Env Decay=0.7");
    host.set("Pitch Jump Transpose=7");
    host.plug.ModifyCurrentPreset();
    const std::vector<double> saved = stateValues(host.plug);

    for (bool bank : {false, true})
    {
        KIT_String path;
        path.Set(tempPath(bank ? ".fxb" : ".fxp").c_str());
        ASSERT_TRUE(bank ? host.plug.SaveBankAsFXB(&path) : host.plug.SaveProgramAsFXP(&path));
        Host other;
        ASSERT_TRUE(bank ? other.plug.LoadBankFromFXB(&path) : other.plug.LoadProgramFromFXP(&path));
        const std::vector<double> loaded = stateValues(other.plug);
        for (int i = 0; i < kNumParams; ++i)
        {
            const double range = host.plug.GetParam(i)->GetMax() - host.plug.GetParam(i)->GetMin();
            EXPECT_NEAR(loaded[i], saved[i], range * 1e-6) << (bank ? "bank " : "program ") << i;
        }
        std::remove(path.Get());
    }
    EXPECT_EQ(stateValues(host.plug), saved); // saving a bank leaves the live state alone
}

// Long renders must not be held in memory: frames leave the loop as they
// render, at most two blocks behind, and the automatic end is still exact.
TEST(RenderLoop, FramesLeaveAsTheyRenderAndTheEndIsKept)
{
    RenderRequest request;
    request.rate = kMaxRate;
    request.lengthSeconds = 60.0;
    long rendered = 0, delivered = 0, mostBehind = 0;
    RenderTarget target;
    target.sendNote = [](const NoteEvent&, int) {};
    target.renderBlock = [&](double* left, double* right, int frames)
    {
        std::fill(left, left + frames, 0.25);
        std::fill(right, right + frames, -0.25);
        rendered += frames;
        mostBehind = std::max(mostBehind, rendered - delivered);
    };
    target.idleFrames = [] { return 0L; };
    const long total = RunRenderLoop(request, target,
                                     [&](const double* left, const double* right, long frames)
                                     {
                                         ASSERT_LE(frames, request.block);
                                         EXPECT_EQ(left[frames - 1], 0.25);
                                         EXPECT_EQ(right[0], -0.25);
                                         delivered += frames;
                                     });
    EXPECT_EQ(total, static_cast<long>(60.0 * kMaxRate));
    EXPECT_EQ(delivered, total);
    EXPECT_LE(mostBehind, 2L * request.block);

    // Automatic length: a note that ends mid-block, found a block later.
    request.rate = 44100;
    request.lengthSeconds = -1.0;
    request.block = 512;
    request.notes = {{60, 127, 0.0, 0.1}};
    // The note, the default 0.2 s release and the 50 ms tail.
    EXPECT_NEAR(static_cast<double>(Render(request).left.size()), 44100 * 0.35, 600);
}
