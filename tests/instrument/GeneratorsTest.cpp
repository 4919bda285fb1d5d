// The sound generators and the slots they fill, driven as the editor drives them.
#include "AUCompat.h"
#include "IGraphics.h"
#include "EditorHost.h"
#include "qxControls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

namespace
{

std::vector<double> normalizedValues(Bleepforge& plug)
{
    return paramValues(plug, true);
}

// Equal but for the last bits a normalise and back may change.
void expectSameSound(const std::vector<double>& a, const std::vector<double>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_NEAR(a[i], b[i], 1e-12) << "parameter " << i;
}

// Counts the parameter-change events the plug-in sends its host.
struct HostEvents
{
    explicit HostEvents(Bleepforge& plug) : plug(plug)
    {
        plug.SetComponentInstance(&instance);
        AUEventListenerCreate(&HostEvents::onEvent, this, nullptr, nullptr, 0.0f, 0.0f, &listener);
        AudioUnitEvent event = {};
        event.mEventType = kAudioUnitEvent_ParameterValueChange;
        event.mArgument.mParameter = {&instance, kAUParameterListener_AnyParameter,
                                      kAudioUnitScope_Global, 0};
        AUEventListenerAddEventType(listener, nullptr, &event);
    }
    ~HostEvents()
    {
        AUListenerDispose(listener);
        plug.SetComponentInstance(nullptr);
    }
    static void onEvent(void* self, void*, const AudioUnitEvent*, UInt64, AudioUnitParameterValue)
    {
        ++static_cast<HostEvents*>(self)->changes;
    }
    Bleepforge& plug;
    ComponentInstanceRecord instance;
    AUEventListenerRef listener = nullptr;
    int changes = 0;
};

// How many draws a call makes from the instrument's source: the draws left
// behind it tell.
int drawsMadeBy(Bleepforge& plug, unsigned seed, const std::function<void()>& action)
{
    plug.SeedRandom(seed);
    action();
    const int next = plug.Random().draw();
    plug.SeedRandom(seed);
    for (int n = 0; n < 200; ++n)
    {
        if (plug.Random().draw() == next)
            return n;
    }
    return -1;
}

const char* labelText(Bleepforge& plug)
{
    return static_cast<ITextControlBitmapFont*>(EditorOf(plug)->GetControl(17))->GetTextString();
}

double normalizedOf(Bleepforge& plug, int p, double v)
{
    return plug.GetParam(p)->GetNormalized(v);
}

} // namespace

TEST(Generators, PickupFollowsItsRecipeDrawForDraw)
{
    Host host;
    Bleepforge& plug = host.plug;
    EXPECT_EQ(drawsMadeBy(plug, 77, [&] { plug.PickupParams(); }), 22);

    plug.SeedRandom(77);
    std::vector<double> r;
    for (int i = 0; i < 22; ++i)
        r.push_back(qxDSP::rand01(plug.Random()));
    plug.SeedRandom(77);
    plug.PickupParams();
    EXPECT_EQ(plug.GetParam(kOsc1Type)->Int(), 2); // "Sin"
    EXPECT_EQ(plug.GetParam(kOsc1Level)->Value(), 0.0);
    EXPECT_EQ(plug.GetParam(kWhiteLevel)->Value(), -96.0);
    EXPECT_EQ(plug.GetParam(kPinkLevel)->Value(), -96.0);
    EXPECT_EQ(plug.GetParam(kPitchCurve)->Value(), 1.0);
    EXPECT_EQ(plug.GetParam(kFilterLPCutoff)->Value(), 22050.0);
    // The second draw is the attack's: 0.001 ... 0.2 on the knob's curve.
    const double lo = normalizedOf(plug, kAmpEnvAttack, 0.001);
    const double hi = normalizedOf(plug, kAmpEnvAttack, 0.2);
    EXPECT_DOUBLE_EQ(plug.GetParam(kAmpEnvAttack)->GetNormalized(), qxDSP::lerp(lo, hi, r[1]));
    // Draw 19 decides the pitch-jump delay: below 0.3 it is 0.
    const double delay = plug.GetParam(kPitchJumpDelay)->GetNormalized();
    if (r[18] < 0.3)
        EXPECT_EQ(delay, 0.0);
    else
        EXPECT_NEAR(delay,
                    qxDSP::lerp(normalizedOf(plug, kPitchJumpDelay, 0.01),
                                normalizedOf(plug, kPitchJumpDelay, 0.3), r[19]),
                    1e-9);
    EXPECT_GE(plug.GetParam(kPitchJumpTranspose)->Value(), 5.0);
    EXPECT_EQ(plug.GetNumSlots(), 2);

    for (unsigned seed = 1; seed < 40; ++seed) // both branches of the delay
        EXPECT_EQ(drawsMadeBy(plug, seed, [&] { plug.PickupParams(); }), 22);
}

TEST(Generators, WaveformChoicesFollowTheirDraws)
{
    Host host;
    Bleepforge& plug = host.plug;
    for (unsigned seed = 1; seed < 200; ++seed)
    {
        plug.SeedRandom(seed);
        const double first = qxDSP::rand01(plug.Random());
        plug.SeedRandom(seed);
        plug.PowerupParams();
        ASSERT_EQ(plug.GetParam(kOsc1Type)->Int(), first < 0.5 ? 2 : 4) << first;
    }

    std::map<int, int> counts;
    const int runs = 2000;
    for (unsigned seed = 1; seed <= runs; ++seed)
    {
        plug.SeedRandom(seed * 7919);
        plug.ShootParams();
        ++counts[plug.GetParam(kOsc1Type)->Int()];
    }
    EXPECT_NEAR(counts[2] / double(runs), 0.25, 0.04); // Sin
    EXPECT_NEAR(counts[3] / double(runs), 0.50, 0.04); // Square
    EXPECT_NEAR(counts[4] / double(runs), 0.25, 0.04); // Saw
}

TEST(Generators, UnchangedStepsAreSilentAndMutationIsBounded)
{
    Host host;
    Bleepforge& plug = host.plug;
    plug.SeedRandom(5);
    plug.JumpParams();
    HostEvents events(plug);
    plug.SeedRandom(5);
    plug.JumpParams(); // the same sound again: every control already shows it
    EXPECT_EQ(events.changes, 0);

    host.set("Mutation %=0");
    const std::vector<double> before = normalizedValues(plug);
    const int slots = plug.GetNumSlots();
    plug.MutateParams();
    expectSameSound(normalizedValues(plug), before);
    EXPECT_EQ(plug.GetNumSlots(), slots + 1);

    host.set("Mutation %=10");
    host.set("Osc1 Square Duty=0.5"); // its maximum
    bool stayedAtTop = false;
    for (unsigned seed = 1; seed < 30; ++seed)
    {
        host.set("Osc1 Square Duty=0.5");
        plug.SeedRandom(seed);
        const double d = qxDSP::lerp(-0.1, 0.1, qxDSP::rand01(plug.Random()));
        plug.SeedRandom(seed);
        plug.MutateParams();
        const double duty = plug.GetParam(kOsc1SquareDuty)->GetNormalized();
        EXPECT_LE(duty, 1.0);
        if (d > 0)
        {
            EXPECT_EQ(duty, 1.0);
            stayedAtTop = true;
        }
    }
    EXPECT_TRUE(stayedAtTop);
}

TEST(Generators, RandomizeSparesOscillatorsTwoAndThreeAndResetSparesSlots)
{
    Host host;
    Bleepforge& plug = host.plug;
    for (const char* s :
         {"Osc2 Type=Saw", "Osc3 Type=Tan", "Osc2 Level=-12", "Osc3 Square Duty=0.2",
          "Osc2 Octave=2", "Osc3 Cents=40", "Osc2 EnvDepth=0.3"})
        host.set(s);
    const std::vector<double> before = normalizedValues(plug);
    for (unsigned seed = 1; seed < 60; ++seed)
    {
        plug.SeedRandom(seed);
        plug.RandomizeParams();
        for (int p : {kOsc2Type, kOsc3Type, kOsc2Level, kOsc3Level, kOsc2SquareDuty,
                      kOsc3SquareDuty, kOsc2EnvDepth, kOsc3EnvDepth, kOsc1Octave, kOsc2Octave,
                      kOsc3Cents, kPitchHighNote, kFilterLPCutoff, kBitCrushBitDepth, kOutputGain})
            ASSERT_EQ(plug.GetParam(p)->GetNormalized(), before[static_cast<size_t>(p)]) << p;
    }
    const int slots = plug.GetNumSlots(), index = plug.GetSlotIndex();
    plug.ResetParams();
    EXPECT_EQ(plug.GetNumSlots(), slots);
    EXPECT_EQ(plug.GetSlotIndex(), index);
    EXPECT_EQ(plug.GetParam(kOsc2Type)->Int(), 0);
    EXPECT_EQ(plug.GetParam(kOutputGain)->Value(), -6.0);
}

TEST(Slots, WalkSaveAndAppendAsTheButtonsDo)
{
    EditorHost host;
    Bleepforge& plug = host.plug;
    plug.BtnPrev();
    plug.BtnNext();
    EXPECT_EQ(plug.GetNumSlots(), 0);
    plug.BtnSave();
    EXPECT_EQ(plug.GetNumSlots(), 1);
    EXPECT_STREQ(labelText(plug), "1");

    EditorHost fresh;
    Bleepforge& b = fresh.plug;
    std::vector<std::vector<double>> sounds;
    for (unsigned seed : {11u, 12u, 13u})
    {
        b.SeedRandom(seed);
        b.HitParams();
        sounds.push_back(normalizedValues(b));
    }
    EXPECT_EQ(b.GetSlotIndex(), 2);
    EXPECT_STREQ(labelText(b), "3");
    b.BtnNext(); // already last
    EXPECT_EQ(b.GetSlotIndex(), 2);
    b.BtnPrev();
    EXPECT_STREQ(labelText(b), "2");
    expectSameSound(normalizedValues(b), sounds[1]);
    fresh.set("Output Gain=-20");
    b.BtnSave(); // overwrites slot 1 only
    b.BtnNext();
    expectSameSound(normalizedValues(b), sounds[2]);
    b.BtnPrev();
    EXPECT_EQ(b.GetParam(kOutputGain)->Value(), -20.0);
    b.BtnPrev();
    b.BtnPrev(); // at slot 0: nothing
    EXPECT_EQ(b.GetSlotIndex(), 0);
    expectSameSound(normalizedValues(b), sounds[0]);
    b.SlashParams(); // appends slot 3 and makes it current
    EXPECT_EQ(b.GetSlotIndex(), 3);
    EXPECT_STREQ(labelText(b), "4");

    // The editor's Pickup button runs the generator on release.
    IGraphics* editor = fresh.editor;
    IMouseMod left(true);
    editor->OnMouseDown(300, 580, &left);
    EXPECT_EQ(b.GetNumSlots(), 4);
    editor->OnMouseUp(300, 580, &left);
    EXPECT_EQ(b.GetNumSlots(), 5);
    EXPECT_EQ(b.GetParam(kOsc1Type)->Int(), 2);

    // A host reads the slot shown and the number of slots.
    SInt32 slot[2] = {-1, -1};
    UInt32 size = sizeof slot;
    ASSERT_EQ(b.GetCustomProperty(kPropertySoundSlot, &size, slot), noErr);
    EXPECT_EQ(size, sizeof slot);
    EXPECT_EQ(slot[0], 4);
    EXPECT_EQ(slot[1], 5);
}
