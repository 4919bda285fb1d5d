// The LV2 adapter itself: states taken whole or refused whole, exact values
// kept across single-precision ports, and MIDI at its frame however a host
// cuts the blocks.
#include "LV2PluginHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace
{

struct Stored
{
    LV2_URID key = 0, type = 0;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> saved(LV2PluginHarness& h)
{
    Stored stored;
    auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                    uint32_t)
    {
        auto* s = static_cast<Stored*>(handle);
        s->key = key;
        s->type = type;
        s->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
        return LV2_STATE_SUCCESS;
    };
    EXPECT_EQ(h.plugin->Save(store, &stored), LV2_STATE_SUCCESS);
    EXPECT_EQ(stored.key, h.urids.Map(BLEEPFORGE_LV2_STATE_URI));
    EXPECT_EQ(stored.type, h.urids.Map(LV2_ATOM__Chunk));
    return stored.bytes;
}

LV2_State_Status restore(LV2PluginHarness& h, const std::vector<uint8_t>& bytes, LV2_URID type)
{
    Stored offered{h.urids.Map(BLEEPFORGE_LV2_STATE_URI), type, bytes};
    auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* t, uint32_t* flags)
        -> const void*
    {
        auto* s = static_cast<Stored*>(handle);
        if (key != s->key)
            return nullptr;
        *size = s->bytes.size();
        *t = s->type;
        *flags = 0;
        return s->bytes.data();
    };
    return h.plugin->Restore(retrieve, &offered);
}

void setValue(std::vector<uint8_t>& state, int param, double value)
{
    std::memcpy(state.data() + 4 + 8 * param, &value, sizeof value);
}

double valueOf(const std::vector<uint8_t>& state, int param)
{
    double value = 0.0;
    std::memcpy(&value, state.data() + 4 + 8 * param, sizeof value);
    return value;
}

} // namespace

TEST(LV2Plugin, StatesAreTakenWholeOrRefusedWholeAndKeepTheirExactValues)
{
    LV2PluginHarness h;
    const std::vector<uint8_t> original = saved(h);
    Bleepforge fresh{IPluginInstanceInfo()};
    ByteChunk state;
    fresh.SerializeState(&state);
    ASSERT_EQ(original, std::vector<uint8_t>(state.GetBytes(), state.GetBytes() + state.Size()));
    const LV2_URID chunk = h.urids.Map(LV2_ATOM__Chunk);

    std::vector<uint8_t> nan = original, shorter(original.begin(), original.end() - 8),
                         longer = original;
    setValue(nan, kPinkLevel, std::numeric_limits<double>::quiet_NaN());
    longer.push_back(0);
    EXPECT_NE(restore(h, nan, chunk), LV2_STATE_SUCCESS);
    EXPECT_NE(restore(h, shorter, chunk), LV2_STATE_SUCCESS);
    EXPECT_NE(restore(h, longer, chunk), LV2_STATE_SUCCESS);
    EXPECT_NE(restore(h, original, h.urids.Map(LV2_ATOM__String)), LV2_STATE_SUCCESS);
    EXPECT_EQ(saved(h), original);

    // Values single precision cannot hold survive ports that carry them rounded.
    std::vector<uint8_t> exact = original;
    setValue(exact, kAmpEnvAttack, 0.0123456789);
    setValue(exact, kFilterLPCutoff, 1000.3);
    ASSERT_EQ(restore(h, exact, chunk), LV2_STATE_SUCCESS);
    h.controls[kAmpEnvAttack] = 0.01234568f; // as a host keeps it, to eight decimals
    h.controls[kFilterLPCutoff] = static_cast<float>(1000.3);
    h.controls[kPinkLevel] = std::numeric_limits<float>::quiet_NaN();
    h.run(64);
    EXPECT_EQ(saved(h), exact);

    // A port that moves reaches the instrument as the port carries it.
    h.controls[kFilterLPCutoff] = 500.25f;
    h.run(64);
    std::vector<uint8_t> moved = exact;
    setValue(moved, kFilterLPCutoff, 500.25);
    EXPECT_EQ(saved(h), moved);
}

// A whole-number port plays the whole number a host shows for its value (the
// nearest, a hair off one from automation included); a state keeps the rule
// stored sounds were made by.
TEST(LV2Plugin, WholeNumberPortsAndStatesKeepTheValueTheyPlay)
{
    LV2PluginHarness h;
    std::vector<uint8_t> played = saved(h);
    h.controls[kOsc1Octave] = 1.5f;
    h.controls[kOsc1Type] = 3.7f;
    h.controls[kOsc2Transpose] = 6.99995f;
    h.controls[kOsc3Cents] = -2.4f;
    h.run(64);
    setValue(played, kOsc1Octave, 2.0);
    setValue(played, kOsc1Type, 4.0);
    setValue(played, kOsc2Transpose, 7.0);
    setValue(played, kOsc3Cents, -2.0);
    EXPECT_EQ(saved(h), played);

    // A state or preset restored with a fraction.
    std::vector<uint8_t> fractional = played;
    setValue(fractional, kOsc2Transpose, -2.5);
    ASSERT_EQ(restore(h, fractional, h.urids.Map(LV2_ATOM__Chunk)), LV2_STATE_SUCCESS);
    h.run(64);
    setValue(played, kOsc2Transpose, -2.0);
    EXPECT_EQ(saved(h), played);

    // The same through the built module's descriptor, as a host loads it.
    const std::string bundle = BLEEPFORGE_LV2_BUNDLE;
    setenv("LV2_PATH", bundle.substr(0, bundle.rfind('/')).c_str(), 1);
    LV2World world(BLEEPFORGE_LV2_URI);
    LV2Instance instance(world, 48000.0, 256);
    instance.SetControl(kOsc1Octave, -1.00003f);
    instance.Run(0);
    EXPECT_EQ(valueOf(instance.StateProperty(BLEEPFORGE_LV2_STATE_URI), kOsc1Octave), -1.0);
    instance.SetControl(kOsc1Octave, -1.6f);
    instance.Run(0);
    EXPECT_EQ(valueOf(instance.StateProperty(BLEEPFORGE_LV2_STATE_URI), kOsc1Octave), -2.0);
    instance.RestoreStateProperty(BLEEPFORGE_LV2_STATE_URI, fractional);
    instance.Run(0);
    EXPECT_EQ(valueOf(instance.StateProperty(BLEEPFORGE_LV2_STATE_URI), kOsc2Transpose), -2.0);
}

TEST(LV2Plugin, ARestoredStateSurvivesThePortsTheHostLeftAlone)
{
    LV2PluginHarness h;
    std::vector<uint8_t> sound = saved(h);
    setValue(sound, kOsc1Type, 3.0);
    setValue(sound, kAmpEnvDecay, 0.375);
    setValue(sound, kFilterLPCutoff, 1000.3);

    // Restored before the first Run, every port still at its default.
    ASSERT_EQ(restore(h, sound, h.urids.Map(LV2_ATOM__Chunk)), LV2_STATE_SUCCESS);
    h.run(64);
    h.run(64);
    EXPECT_EQ(saved(h), sound);

    // Restored while running, over ports a session has already moved; one
    // port the host moves afterwards reaches the instrument, the rest stay.
    LV2PluginHarness running;
    running.controls[kOsc1Type] = 5.0f;
    running.controls[kAmpEnvAttack] = 0.25f;
    running.run(64);
    ASSERT_EQ(restore(running, sound, running.urids.Map(LV2_ATOM__Chunk)), LV2_STATE_SUCCESS);
    running.run(64);
    EXPECT_EQ(saved(running), sound);
    running.controls[kAmpEnvDecay] = 0.5f;
    running.run(64);
    std::vector<uint8_t> moved = sound;
    setValue(moved, kAmpEnvDecay, 0.5);
    EXPECT_EQ(saved(running), moved);
}

namespace
{

// A second of a note through the built module, its noise seeded.
std::vector<float> played(LV2Instance& instance)
{
    instance.Seed(2);
    instance.QueueMidi(0, 0x90, 60, 127);
    std::vector<float> left;
    for (int block = 0; block < 188; ++block)
    {
        instance.Run(256);
        left.insert(left.end(), instance.Output(0), instance.Output(0) + 256);
    }
    return left;
}

} // namespace

// A state-only preset (a jump) loaded over a factory one (Powerup) moves no
// port, so a host saves the jump beside Powerup's port values; a session
// reopened or that saved preset loaded brings both back. The jump plays.
TEST(LV2Plugin, ARestoredStatePlaysOverStalePortValues)
{
    const std::string bundle = BLEEPFORGE_LV2_BUNDLE;
    setenv("LV2_PATH", bundle.substr(0, bundle.rfind('/')).c_str(), 1);
    LV2World world(BLEEPFORGE_LV2_URI);
    LV2Instance jump(world, 48000.0, 256);
    jump.RestorePreset("Jump");
    jump.Run(0);
    const std::vector<uint8_t> jumpState = jump.StateProperty(BLEEPFORGE_LV2_STATE_URI);

    LV2Instance session(world, 48000.0, 256);
    session.RestorePreset("Powerup");
    session.Run(0);
    session.RestoreStateProperty(BLEEPFORGE_LV2_STATE_URI, jumpState);
    session.Run(0);
    ASSERT_EQ(session.StateProperty(BLEEPFORGE_LV2_STATE_URI), jumpState);
    std::vector<float> stalePorts;
    for (const LV2PortInfo& port : world.Ports())
        stalePorts.push_back(port.control && port.input ? session.Control(port.index) : 0.0f);
    std::unique_ptr<LilvState, decltype(&lilv_state_free)> preset(session.SaveState(),
                                                                  &lilv_state_free);
    const std::vector<float> heard = played(jump);

    // The host's saved preset, restored with its ports in one call.
    LV2Instance fromPreset(world, 48000.0, 256);
    fromPreset.RestoreState(preset.get());
    EXPECT_TRUE(played(fromPreset) == heard);

    // A session sets the ports before restoring the state, or after it.
    for (const bool portsFirst : {true, false})
    {
        LV2Instance reopened(world, 48000.0, 256);
        const auto setPorts = [&]
        {
            for (const LV2PortInfo& port : world.Ports())
                if (port.control && port.input)
                    reopened.SetControl(port.index, stalePorts[port.index]);
        };
        if (portsFirst)
            setPorts();
        reopened.RestoreStateProperty(BLEEPFORGE_LV2_STATE_URI, jumpState);
        if (!portsFirst)
            setPorts();
        EXPECT_TRUE(played(reopened) == heard) << (portsFirst ? "ports first" : "state first");
        EXPECT_EQ(reopened.StateProperty(BLEEPFORGE_LV2_STATE_URI), jumpState);
    }
}

TEST(LV2Plugin, OneLongRunSoundsAsTheBlocksAHostWouldCut)
{
    LV2PluginHarness whole(128), cut(128);
    whole.queue(10, 0x90, 60, 100);
    whole.queue(300, 0x90, 67, 90);
    whole.queue(383, 0x80, 60, 0);
    whole.run(384); // longer than the host promised: rendered in pieces
    const std::vector<float> wholeLeft(whole.left.begin(), whole.left.begin() + 384);

    std::vector<float> cutLeft;
    cut.queue(10, 0x90, 60, 100);
    for (int block = 0; block < 3; ++block)
    {
        if (block == 2)
        {
            cut.queue(300 - 256, 0x90, 67, 90);
            cut.queue(383 - 256, 0x80, 60, 0);
        }
        cut.run(128);
        cutLeft.insert(cutLeft.end(), cut.left.begin(), cut.left.begin() + 128);
    }
    EXPECT_EQ(wholeLeft, cutLeft);

    // A host that gives no bound may run any length: the same sound.
    LV2PluginHarness unbounded(10000, 48000.0, false), oneBlock(10000);
    for (LV2PluginHarness* h : {&unbounded, &oneBlock})
    {
        h->queue(5000, 0x90, 64, 90);
        h->run(10000);
    }
    EXPECT_EQ(unbounded.left, oneBlock.left);

    // An event a host puts at the block's end (as jalv does with its UI's)
    // still sounds, at the block's last frame.
    LV2PluginHarness late(128);
    late.queue(128, 0x90, 60, 100);
    late.run(128);
    late.run(128);
    EXPECT_GT(*std::max_element(late.left.begin(), late.left.begin() + 128), 0.001f);
    EXPECT_GT(*std::max_element(wholeLeft.begin(), wholeLeft.end()), 0.01f);
    EXPECT_GT(whole.meters[0], 0.0f);
}
