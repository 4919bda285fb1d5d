// A host in its own binary hears the bundle's parameter changes, as a host
// that loads the bundle with dlopen does.
#include "AUHost.h"
#include "VirtualDisplay.h"

#include <gtest/gtest.h>

#include <gdk/gdkx.h> // after the test library: X11 defines None

#include <optional>
#include <vector>

namespace
{

const AudioUnitParameterID kOutputGain = 0;

struct Heard
{
    AudioUnitEventType type;
    AudioUnitParameterID id;
    AudioUnitParameterValue value;
};

class AUListenerTest : public ::testing::Test
{
protected:
    AUParameterListener::Heard Record()
    {
        return [this](const AudioUnitEvent& event, AudioUnitParameterValue value)
        { heard.push_back({event.mEventType, event.mArgument.mParameter.mParameterID, value}); };
    }

    static OSStatus SetAndTell(AUInstance& unit, AudioUnitParameterID id, float value)
    {
        const AudioUnitParameter parameter = {unit.Handle(), id, kAudioUnitScope_Global, 0};
        return AUParameterSet(nullptr, nullptr, &parameter, value, 0);
    }

    AUBundle bundle{BLEEPFORGE_BUNDLE};
    std::vector<Heard> heard;
    int closedHeard = 0;
};

} // namespace

TEST_F(AUListenerTest, ASetParameterIsHeardWithItsValueUntilTheListenerGoes)
{
    AUInstance unit(bundle), other(bundle);
    auto listener = std::make_unique<AUParameterListener>(unit, Record());
    ASSERT_EQ(SetAndTell(unit, kOutputGain, -12.0f), noErr);
    ASSERT_EQ(SetAndTell(other, kOutputGain, -3.0f), noErr); // no one listens to it
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(heard[0].id, kOutputGain);
    EXPECT_EQ(heard[0].value, -12.0f);

    listener.reset();
    ASSERT_EQ(SetAndTell(unit, kOutputGain, -6.0f), noErr);
    EXPECT_EQ(heard.size(), 1u);
}

// A closed instance's record may hold the next instance; the listener of the
// closed one must not hear it.
TEST_F(AUListenerTest, AClosedInstanceLeavesNoListenerBehind)
{
    std::optional<AUInstance> unit;
    unit.emplace(bundle);
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(
                  +[](void* self, void*, const AudioUnitEvent*, UInt64, AudioUnitParameterValue)
                  { ++*static_cast<int*>(self); },
                  &closedHeard, nullptr, nullptr, 0.0f, 0.0f, &listener),
              noErr);
    AudioUnitEvent event = {};
    event.mEventType = kAudioUnitEvent_ParameterValueChange;
    event.mArgument.mParameter = {unit->Handle(), kAUParameterListener_AnyParameter,
                                  kAudioUnitScope_Global, 0};
    ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &event), noErr);
    ASSERT_EQ(SetAndTell(*unit, kOutputGain, -12.0f), noErr);
    EXPECT_EQ(closedHeard, 1);

    unit.reset();
    unit.emplace(bundle);
    ASSERT_EQ(event.mArgument.mParameter.mAudioUnit, unit->Handle()); // the same record
    AUParameterListener current(*unit, Record());
    ASSERT_EQ(SetAndTell(*unit, kOutputGain, -6.0f), noErr);
    EXPECT_EQ(heard.size(), 1u);
    EXPECT_EQ(closedHeard, 1);
    AUListenerDispose(listener);
}

// A knob dragged in the bundle's own editor: the gesture opens, values follow
// and it closes, for the knob's parameter.
TEST_F(AUListenerTest, AKnobDraggedInTheEditorIsHeardAsAGesture)
{
    VirtualDisplay display;
    if (!display.Running())
        GTEST_SKIP() << "Xvfb cannot start here";
    if (xdotool("version") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    AUInstance unit(bundle);
    AUParameterListener listener(unit, Record());
    using Factory = void* (*)(AudioUnit, float, float);
    auto factory = reinterpret_cast<Factory>(bundle.Symbol("Bleepforge_View_UIViewForAudioUnit"));
    ASSERT_NE(factory, nullptr);
    auto* view = static_cast<GtkWidget*>(factory(unit.Handle(), 0, 0));
    ASSERT_NE(view, nullptr);
    pump(300);
    const unsigned long xid = GDK_WINDOW_XID(gtk_widget_get_window(gtk_widget_get_toplevel(view)));
    const std::string window = "--window " + std::to_string(xid);
    // The output gain knob's middle; the view sits 2 right and 3 down of the editor.
    xdotool("mousemove " + window + " 770 51 mousedown 1");
    pump(100);
    xdotool("mousemove " + window + " 770 31");
    pump(100);
    xdotool("mouseup 1");
    pump(200);

    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard.front().type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(heard.back().type, kAudioUnitEvent_EndParameterChangeGesture);
    for (const Heard& h : heard)
        EXPECT_EQ(h.id, kOutputGain);
    float gain = 0.0f;
    unit.GetParameter(kOutputGain, &gain);
    EXPECT_EQ(heard[heard.size() - 2].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(heard[heard.size() - 2].value, gain);
    EXPECT_NE(gain, -6.0f); // the knob moved from its default
}
