// The render session against a backend that records what it is told: one
// reading of settings, one order, the sound's own note, one writer.
#include "RenderSession.h"
#include "SoundWriting.h"

#include "AudioFile.h"
#include "Params.h"
#include "ScratchTest.h"
#include "SoundState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

std::vector<ParamInfo> fakeParams()
{
    std::vector<ParamInfo> params(kNumParams);
    for (int i = 0; i < kNumParams; ++i)
    {
        params[i].name = "Param " + std::to_string(i);
        params[i].minimum = 0.0;
        params[i].maximum = 10.0;
    }
    params[kOsc1Type].name = "Osc1 Type";
    params[kOsc1Type].whole = true;
    params[kOsc1Type].maximum = 2.0;
    params[kOsc1Type].texts = {{0, "Off"}, {1, "Triangle"}, {2, "Sin"}};
    params[kOsc1Octave].name = "Osc1 Octave";
    params[kOsc1Octave].whole = true;
    params[kOsc1Octave].minimum = -6.0;
    params[kWhiteEnvDepth].name = "Whiite EnvDepth";
    params[kWhiteEnvDepth].symbol = "white_envdepth";
    params[kAmpEnvAttack].name = "Amp Env Attack";
    params[kAmpEnvAttack].minimum = static_cast<float>(0.001);
    params[kAmpEnvAttack].single = true;
    params[kAmpEnvDecay].name = "Amp Env Decay";
    params[kAmpEnvSustain].name = "Amp Env Sustain";
    params[kAmpEnvSustain].minimum = 1e-06;
    params[kAmpEnvSustain].maximum = 1.0;
    return params;
}

ByteChunk stateOf(const std::vector<double>& values)
{
    ByteChunk state;
    const int version = 1;
    state.Put(&version);
    for (double value : values)
        state.Put(&value);
    return state;
}

// Plays a steady level while any note is held; records what it is told.
class FakeBackend : public RenderBackend
{
public:
    std::vector<std::string> log;
    std::vector<double> values = std::vector<double>(kNumParams, 0.0);
    std::vector<NoteEvent> notes;

    void Open(double rate, int block, std::optional<unsigned> seed) override
    {
        log.push_back("open " + std::to_string(static_cast<int>(rate)) + " " + std::to_string(block) +
                      (seed ? " seed " + std::to_string(*seed) : ""));
    }
    std::vector<ParamInfo> Params() override { return fakeParams(); }
    void TakeState(const ByteChunk& state) override
    {
        log.push_back("state");
        values = StateValues(state);
    }
    void TakeSetting(const ResolvedSetting& setting) override
    {
        log.push_back("set " + std::to_string(setting.index));
        values[static_cast<size_t>(setting.index)] = setting.value;
    }
    ByteChunk State() override { return stateOf(values); }
    RenderTarget Target() override
    {
        RenderTarget target;
        target.sendNote = [this](const NoteEvent& e, int offset)
        {
            NoteEvent at = e;
            at.frame = mRendered + offset;
            notes.push_back(at);
            mHeld += e.rank == kOn ? 1 : -1;
        };
        target.renderBlock = [this](double* left, double* right, int frames)
        {
            std::fill(left, left + frames, mHeld > 0 ? 0.5 : 0.0);
            std::fill(right, right + frames, mHeld > 0 ? 0.5 : 0.0);
            mRendered += frames;
        };
        target.idleFrames = [] { return 0L; };
        return target;
    }

private:
    long mRendered = 0;
    int mHeld = 0;
};

RenderRequest request()
{
    RenderRequest r;
    r.rate = 1000;
    r.block = 16;
    r.lengthSeconds = 1.0;
    r.generatedNoteWhenNone = true;
    return r;
}

std::string refusal(const std::string& assignment)
{
    try
    {
        ResolveSetting(fakeParams(), assignment);
    }
    catch (const UsageError& e)
    {
        return e.what();
    }
    return "";
}

class RenderSessionTest : public ScratchTest
{
};

} // namespace

TEST(ResolveSetting, NamesListTextsAndNumbersFollowOneSetOfRules)
{
    const std::vector<ParamInfo> params = fakeParams();
    EXPECT_EQ(ResolveSetting(params, "Osc1 Type= sIN ").value, 2.0);
    EXPECT_EQ(ResolveSetting(params, " Osc1 Octave =-6").value, -6.0);
    for (const char* name : {"White EnvDepth", "Whiite EnvDepth", "white_envdepth"})
    {
        const ResolvedSetting s = ResolveSetting(params, std::string(name) + "=0.25");
        EXPECT_EQ(s.index, kWhiteEnvDepth) << name;
        EXPECT_EQ(s.value, 0.25) << name;
    }
    // A bound the backend holds in single precision is accepted as written.
    EXPECT_EQ(ResolveSetting(params, "Amp Env Attack=0.001").value, 0.001);

    for (const char* refused : {"Osc1 Octave=1.5", "Osc1 Type=1.5", "Osc1 Type=3", "Osc1 Type=Saw",
                                "Param 5=nan", "Param 5=inf", "Param 5=-1e-300", "Param 5=",
                                "Amp Env Sustain=0", "Amp Env Attack=0.0009", "Param 5", "Nothing=1"})
        EXPECT_EQ(refusal(refused).rfind("--set", 0), 0u) << refused;
    EXPECT_NE(refusal("Osc1 Type=Saw").find("is none of Off, Triangle, Sin (nor a number)"), std::string::npos);
    EXPECT_NE(refusal("Osc1 Octave=1.5").find("a whole number -6 ... 10"), std::string::npos)
        << refusal("Osc1 Octave=1.5");
    EXPECT_NE(refusal("Whte EnvDepth=1").find("did you mean \"White EnvDepth\""), std::string::npos)
        << refusal("Whte EnvDepth=1");

    // The range a refusal names is taken back as it is written.
    for (const char* name : {"Amp Env Sustain", "Amp Env Attack"})
    {
        const std::string said = refusal(std::string(name) + "=-1");
        const size_t from = said.find("expected ") + 9, dots = said.find(" ... ", from);
        ASSERT_NE(dots, std::string::npos) << said;
        EXPECT_NO_THROW(ResolveSetting(params, name + ("=" + said.substr(from, dots - from)))) << said;
        EXPECT_NO_THROW(ResolveSetting(params, name + ("=" + said.substr(dots + 5)))) << said;
    }
}

TEST_F(RenderSessionTest, AppliesInOrderAndPlaysTheSoundsOwnNoteWhenNoneIsGiven)
{
    std::vector<double> sound(kNumParams, 0.0);
    sound[kAmpEnvAttack] = 0.1;
    sound[kAmpEnvHold] = 0.05;
    sound[kAmpEnvDecay] = 0.25;
    std::ofstream(path("s.state"), std::ios::binary) << BytesOf(stateOf(sound));
    RenderRequest asked = request();
    asked.stateIn = path("s.state");
    asked.seeded = true;
    asked.seed = 7;
    asked.settings = {"Amp Env Decay=0.5", "Param 3=4", "Amp Env Decay=0.35"};

    FakeBackend backend;
    RenderSession session(backend, asked);
    EXPECT_EQ(session.Prepare(), (std::vector<int>{kAmpEnvDecay, 3, kAmpEnvDecay}));
    const std::string decay = "set " + std::to_string(kAmpEnvDecay);
    EXPECT_EQ(backend.log, (std::vector<std::string>{"open 1000 16 seed 7", "state", decay, "set 3", decay}));
    ByteChunk settled;
    long frames = 0;
    session.Render([&frames](const double*, const double*, long n) { frames += n; },
                   [&settled](const ByteChunk& state) { settled = state; });
    EXPECT_EQ(frames, 1000);
    EXPECT_EQ(StateValues(settled)[kAmpEnvDecay], 0.35);
    // Held through attack, hold and the last decay set: 0.5 s.
    ASSERT_EQ(backend.notes.size(), 2u);
    EXPECT_EQ(backend.notes[0].note, 60);
    EXPECT_EQ(backend.notes[0].velocity, 127);
    EXPECT_EQ(backend.notes[0].frame, 0);
    EXPECT_EQ(backend.notes[1].frame, 500);

    asked.notes = {NoteSpec{64, 90, 0.1, 0.2}};
    FakeBackend given;
    RenderSession withNote(given, asked);
    withNote.Prepare();
    withNote.Render([](const double*, const double*, long) {});
    ASSERT_EQ(given.notes.size(), 2u);
    EXPECT_EQ(given.notes[0].note, 64);
    EXPECT_EQ(given.notes[0].frame, 100);
}

TEST_F(RenderSessionTest, AStateThatCannotBeReadIsRefusedBeforeTheBackendOpens)
{
    RenderRequest asked = request();
    asked.stateIn = path("missing.state");
    FakeBackend backend;
    EXPECT_THROW(RenderSession(backend, asked), std::exception);
    EXPECT_TRUE(backend.log.empty());
}

// The file carries the sound it plays, mono is the channels' mean, and the
// companion is the state after the render.
TEST_F(RenderSessionTest, WritesTheFileWithItsSoundAndCompanion)
{
    RenderRequest asked = request();
    asked.settings = {"Amp Env Decay=0.2"};
    FakeBackend backend;
    RenderSession session(backend, asked);
    session.Prepare();
    SoundFile file;
    file.path = path("a.wav");
    file.format = AudioFormat{Container::kWav, SampleFormat::kFloat, 1};
    file.companions = {{path("a.state"), nullptr}};
    file.program = "test";
    const ByteChunk state = WriteSession(session, file);

    EXPECT_EQ(BytesOf(ReadSoundFromAudio(path("a.wav"))), BytesOf(state));
    std::ifstream companion(path("a.state"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(companion), {}), BytesOf(state));
    std::ifstream wav(path("a.wav"), std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(wav), {});
    const size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    EXPECT_EQ(bytes.size() - data - 8, 1000u * sizeof(float));
    float first = 0.0f;
    std::memcpy(&first, &bytes[data + 8], sizeof first);
    EXPECT_EQ(first, 0.5f);
}
