// The audio thread's promises: no heap allocation inside a block, and
// instances that share nothing but the process.
#include "CountingAllocator.h"
#include "LV2PluginHarness.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace
{

std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

} // namespace

void noteAllocation()
{
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
}

namespace
{

// Whole blocks of a busy patch: notes with pitch jumps pending across blocks,
// parameter changes between blocks, program changes and every kind of message.
void playBusyBlocks(Host& host, int blocks)
{
    for (int b = 0; b < blocks; ++b)
    {
        for (int n = 0; n < 40; ++n)
        {
            host.send(noteOn(40 + (b * 7 + n) % 60, 100, n));
            host.send(noteOff(40 + (b * 5 + n) % 60, n + 3));
        }
        host.send(IMidiMsg(0, 0xC0, static_cast<uint8_t>(b % 128), 0));
        IMidiMsg bend;
        bend.MakePitchWheelMsg(0.5);
        host.send(bend);
        host.plug.GetParam(kFilterLPCutoff)->Set(500.0 + 100.0 * b);
        host.plug.OnParamChange(kFilterLPCutoff);
        host.plug.GetParam(kOsc2Type)->Set(b % 8);
        host.plug.OnParamChange(kOsc2Type);
        host.render(1);
    }
}

} // namespace

TEST(Realtime, BlocksOfABusyPatchAllocateNothing)
{
    CountSanitizerAllocations();
    Host host(256, 48000.0);
    for (const char* s : {"Osc1 Type=Whistle", "Osc3 Type=Saw", "White Level=-12",
                          "Pitch Jump Delay=2", "Pitch Jump Time=1", "Pitch Jump Trigger=Both",
                          "BitCrush Position=Inside"})
        host.set(s);
    std::vector<double> left(256), right(256);
    double* outputs[] = {left.data(), right.data()};
    playBusyBlocks(host, 2); // warm-up outside the count

    gCounting = true;
    for (int b = 0; b < 50; ++b)
    {
        for (int n = 0; n < 200; ++n)
        {
            host.send(noteOn(20 + n % 100, 100, n));
            host.send(noteOff(20 + n % 100, n + 1));
        }
        host.send(IMidiMsg(0, 0xC0, static_cast<uint8_t>(b), 0));
        host.plug.GetParam(kFilterLPCutoff)->Set(500.0 + 100.0 * b);
        host.plug.OnParamChange(kFilterLPCutoff);
        host.plug.AttachOutputBuffers(0, 2, outputs);
        host.plug.ProcessBuffers(0.0, 256);
    }
    gCounting = false;
    EXPECT_EQ(gAllocations.load(), 0);
    EXPECT_GT(host.plug.GetDroppedMidiCount(), 0u); // the flood overflowed and was counted
}

TEST(Realtime, LV2RunsWithMovingPortsAndMidiAllocateNothing)
{
    CountSanitizerAllocations();
    LV2PluginHarness h(256);
    h.controls[kPitchJumpDelay] = 0.5f;
    h.run(256); // warm-up outside the count
    gCounting = true;
    for (int b = 0; b < 50; ++b)
    {
        for (int n = 0; n < 100; ++n)
            h.queue(n * 2, static_cast<uint8_t>(n % 2 ? 0x80 : 0x90), static_cast<uint8_t>(30 + n % 60), 100);
        h.controls[kFilterLPCutoff] = 500.0f + 10.0f * static_cast<float>(b);
        h.controls[kOsc2Type] = static_cast<float>(b % 8);
        h.run(b % 5 ? 256 : 700); // a host over its bound, now and then
    }
    gCounting = false;
    EXPECT_EQ(gAllocations.load(), 0);
}

// Run takes no lock: it finishes while another thread holds the instrument's mutex.
TEST(Realtime, LV2RunsWithMovingPortsWhileTheInstrumentIsLocked)
{
    LV2PluginHarness h(64);
    std::atomic<bool> finished{false};
    std::optional<IPluginBase::IMutexLock> held;
    held.emplace(&h.plugin->Instrument());
    std::thread audio([&]
    {
        for (int b = 0; b < 20; ++b)
        {
            h.controls[kFilterLPCutoff] = 1000.0f + static_cast<float>(b);
            h.controls[kOsc1Type] = static_cast<float>(b % 8);
            h.queue(0, 0x90, 60, 100);
            h.run(64);
        }
        finished = true;
    });
    for (int wait = 0; wait < 500 && !finished; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool ranThrough = finished;
    held.reset(); // lets a blocked run finish, so the thread can be joined
    audio.join();
    EXPECT_TRUE(ranThrough);
}

// A host may save the state on its main thread while the audio thread runs.
TEST(Realtime, LV2StateSavedWhileRunningHoldsValuesTheRunsSet)
{
    LV2PluginHarness h(64);
    std::atomic<bool> done{false};
    std::thread audio([&]
    {
        for (int b = 0; b < 400; ++b)
        {
            h.controls[kFilterLPCutoff] = 1000.0f + static_cast<float>(b % 4);
            h.queue(0, 0x90, 60, 100);
            h.run(64);
        }
        done = true;
    });
    auto store = [](LV2_State_Handle handle, uint32_t, const void* value, size_t size, uint32_t, uint32_t)
    {
        static_cast<std::vector<uint8_t>*>(handle)->assign(static_cast<const uint8_t*>(value),
                                                            static_cast<const uint8_t*>(value) + size);
        return LV2_STATE_SUCCESS;
    };
    int saves = 0;
    while (!done || saves == 0)
    {
        std::vector<uint8_t> state;
        ASSERT_EQ(h.plugin->Save(store, &state), LV2_STATE_SUCCESS);
        double cutoff = 0.0;
        std::memcpy(&cutoff, state.data() + 4 + 8 * kFilterLPCutoff, sizeof cutoff);
        EXPECT_TRUE(cutoff == 22050.0 || (cutoff >= 1000.0 && cutoff <= 1003.0)) << cutoff;
        ++saves;
    }
    audio.join();
}

TEST(Realtime, InstancesAtDifferentRatesOnTwoThreadsPlayAsAlone)
{
    auto request = [](double rate)
    {
        RenderRequest r;
        r.rate = rate;
        r.settings = {"Osc1 Type=Square", "Osc2 Type=Whistle", "Pitch Jump Delay=0.05"};
        r.notes = {{69, 127, 0.0, 0.2}, {76, 100, 0.05, 0.1}};
        return r;
    };
    const RenderResult alone44 = Render(request(44100)), alone48 = Render(request(48000));
    for (int round = 0; round < 3; ++round)
    {
        RenderResult together44, together48;
        std::thread a([&] { together44 = Render(request(44100)); });
        std::thread b([&] { together48 = Render(request(48000)); });
        a.join();
        b.join();
        EXPECT_EQ(together44.left, alone44.left);
        EXPECT_EQ(together48.left, alone48.left);
    }
}

TEST(Realtime, ProgramChangesAreHandedToTheMainThread)
{
    Host host;
    host.send(IMidiMsg(0, 0xC0, 5, 0));
    testing::internal::CaptureStdout();
    host.render(1); // the audio thread only records it
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    host.plug.OnIdle();
    host.plug.OnIdle();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "mudou 5");
}
