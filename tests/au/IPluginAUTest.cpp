#include "IPluginAU.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

class AUPlug : public IPluginAU
{
public:
    AUPlug(const char* channels, bool instrument, int sideChain = 0)
        : IPluginAU(IPluginInstanceInfo(), 3, channels, 1, "Effect", "Product", "Maker", 0x10000, 1,
                    2, 0, true, false, instrument, sideChain)
    {
        for (int i = 0; i < NParams(); ++i)
            GetParam(i)->InitDouble("p", 0.0, 0.0, 1.0, 0.01);
    }
};

std::vector<AudioUnitEvent> gEvents;
void recordEvent(void*, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue)
{
    gEvents.push_back(*event);
}

std::vector<AudioUnitPropertyID> gProperties;
void recordProperty(void*, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
    gProperties.push_back(id);
}

Float64 gSample = 0.0;
OSStatus transport(void*, Boolean* playing, Boolean*, Float64* sample, Boolean* cycling,
                   Float64* start, Float64* end)
{
    *playing = 1;
    *cycling = 0;
    *sample = gSample;
    *start = 0.0;
    *end = 16.0;
    return noErr;
}
OSStatus beatAndTempo(void*, Float64* beat, Float64* tempo)
{
    *beat = 3.5;
    *tempo = 90.0;
    return noErr;
}
OSStatus musicalTime(void*, UInt32*, Float32* numerator, UInt32* denominator, Float64* downBeat)
{
    *numerator = 7.9f;
    *denominator = 8;
    *downBeat = 0.0;
    return noErr;
}

} // namespace

AUEventListenerRef listenTo(ComponentInstance instance, AudioUnitParameterID id)
{
    AUEventListenerRef listener = nullptr;
    EXPECT_EQ(AUEventListenerCreate(&recordEvent, nullptr, nullptr, nullptr, 0.0f, 0.0f, &listener),
              noErr);
    for (AudioUnitEventType type :
         {kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_BeginParameterChangeGesture,
          kAudioUnitEvent_EndParameterChangeGesture})
    {
        AudioUnitEvent event = {};
        event.mEventType = type;
        event.mArgument.mParameter = {instance, id, kAudioUnitScope_Global, 0};
        EXPECT_EQ(AUEventListenerAddEventType(listener, nullptr, &event), noErr);
    }
    return listener;
}

TEST(IPluginAU, ParameterChangesReachTheInstancesListeners)
{
    AUPlug plug("0-2", true), other("0-2", true);
    ComponentInstanceRecord instance, otherInstance;
    plug.SetComponentInstance(&instance);
    other.SetComponentInstance(&otherInstance);
    gEvents.clear();
    AUEventListenerRef any = listenTo(&instance, kAUParameterListener_AnyParameter);
    AUEventListenerRef first = listenTo(&instance, 1);
    plug.BeginInformHostOfParamChange(2);
    plug.SetParameterFromGUI(2, 0.5);
    plug.EndInformHostOfParamChange(2);
    other.SetParameterFromGUI(2, 0.5); // another instance's listeners only
    ASSERT_EQ(gEvents.size(), 3u);
    EXPECT_EQ(gEvents[0].mEventType, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(gEvents[1].mEventType, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(gEvents[2].mEventType, kAudioUnitEvent_EndParameterChangeGesture);
    EXPECT_EQ(gEvents[1].mArgument.mParameter.mParameterID, 2u);
    EXPECT_EQ(gEvents[1].mArgument.mParameter.mAudioUnit, &instance);
    EXPECT_EQ(gEvents[1].mArgument.mParameter.mScope, 0u);

    gEvents.clear();
    plug.SetParameterFromGUI(1, 0.5); // heard by both
    EXPECT_EQ(gEvents.size(), 2u);
    AUListenerDispose(any);
    AUListenerDispose(first);
    gEvents.clear();
    plug.SetParameterFromGUI(1, 0.25);
    EXPECT_TRUE(gEvents.empty());
}

TEST(IPluginAU, ProgramAndLatencyChangesReachPropertyListeners)
{
    AUPlug plug("0-2", true);
    gProperties.clear();
    plug.AddPropertyListener(kAudioUnitProperty_PresentPreset, &recordProperty, nullptr);
    plug.AddPropertyListener(kAudioUnitProperty_PresentPreset, &recordProperty, &plug);
    plug.AddPropertyListener(kAudioUnitProperty_Latency, &recordProperty, nullptr);
    plug.InformHostOfProgramChange();
    EXPECT_EQ(gProperties, std::vector<AudioUnitPropertyID>{36}); // one listener per procedure
    plug.SetLatency(64);
    EXPECT_EQ(gProperties.back(), 12u);
    EXPECT_EQ(plug.GetLatency(), 64);
}

TEST(IPluginAU, TransportComesFromTheHostsCallbacks)
{
    AUPlug plug("0-2", true);
    ITimeInfo time;
    plug.GetTime(&time);
    EXPECT_EQ(time.mSamplePos, -1.0);
    EXPECT_EQ(plug.GetSamplePos(), 0);
    EXPECT_EQ(plug.GetTempo(), 120.0);

    plug.SetHostCallbacks({nullptr, &beatAndTempo, &musicalTime, &transport});
    gSample = 0.0;
    plug.GetTime(&time);
    EXPECT_EQ(time.mSamplePos, -1.0); // a sample position of 0 is not news
    EXPECT_EQ(time.mTempo, 90.0);
    EXPECT_EQ(time.mPPQPos, 3.5);
    EXPECT_EQ(time.mCycleEnd, 16.0);
    EXPECT_EQ(time.mCycleStart, -1.0);
    EXPECT_TRUE(time.mTransportIsRunning);
    EXPECT_EQ(time.mNumerator, 7);
    EXPECT_EQ(time.mDenominator, 8);
    gSample = 1000.4;
    EXPECT_EQ(plug.GetSamplePos(), 1000);
    gSample = 1000.6;
    EXPECT_EQ(plug.GetSamplePos(), 1001);
    EXPECT_EQ(plug.GetTempo(), 90.0);
    int num = 0, den = 0;
    plug.GetTimeSig(&num, &den);
    EXPECT_EQ(num, 7);
    EXPECT_EQ(den, 8);
}

TEST(IPluginAU, BusLayoutFollowsTheChannelsAndKind)
{
    AUPlug instrument("0-4", true);
    ASSERT_EQ(instrument.NOutBuses(), 2);
    EXPECT_EQ(instrument.GetOutBus(1)->mPlugChannelStartIdx, 2);
    EXPECT_STREQ(instrument.GetOutputBusLabel(1)->Get(), "output 2");
    EXPECT_EQ(instrument.GetOutBus(0)->mNHostChannels, -1);
    EXPECT_EQ(instrument.GetBlockSize(), 1024);

    AUPlug effect("2-2", false);
    EXPECT_EQ(effect.NInBuses(), 1);
    EXPECT_EQ(effect.NOutBuses(), 1);
    EXPECT_STREQ(effect.GetInputBusLabel(0)->Get(), "input");
    EXPECT_STREQ(effect.GetOutputBusLabel(0)->Get(), "output");
    EXPECT_FALSE(effect.IsInChannelConnected(0)); // nothing feeds the input yet

    AUPlug sideChain("3-2", false, 1);
    ASSERT_EQ(sideChain.NInBuses(), 2);
    EXPECT_EQ(sideChain.GetInBus(0)->mNPlugChannels, 2);
    EXPECT_EQ(sideChain.GetInBus(1)->mPlugChannelStartIdx, 2);
    EXPECT_STREQ(sideChain.GetInputBusLabel(1)->Get(), "aux input");
}

TEST(IPluginAU, HostIsIdentifiedOnceAsUnknownWithoutABundle)
{
    AUPlug plug("0-2", true);
    plug.HostSpecificInit();
    EXPECT_EQ(plug.GetHost(), kHostUnknown);
    plug.SetHost("Ardour", 8);
    EXPECT_EQ(plug.GetHost(), kHostArdour);
}
