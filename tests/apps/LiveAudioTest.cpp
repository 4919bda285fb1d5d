// The app's audio callback on the built bundle, loaded as the app loads it:
// it allocates nothing, takes no lock, and never waits for the window.
#include "HostRender.h"
#include "CountingAllocator.h"
#include "LiveAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <dlfcn.h>
#include <pthread.h>
#include <thread>
#include <vector>

namespace
{

// Only what the counting thread does inside a block counts.
thread_local bool tCounting = false;
std::atomic<long> gAllocations{0}, gLocks{0};

using LockFunction = int (*)(pthread_mutex_t*);
LockFunction realLock()
{
    static const auto real = reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    return real;
}

} // namespace

void noteAllocation()
{
    if (tCounting)
        gAllocations.fetch_add(1, std::memory_order_relaxed);
}

// The bundle's locks and allocations come here too: the executable exports them.
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    if (tCounting)
        gLocks.fetch_add(1, std::memory_order_relaxed);
    return realLock()(mutex);
}

namespace
{

const unsigned kRate = 48000, kFrames = 256;

class LiveAudioTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        realLock();
        ASSERT_EQ(unit.Configure(kRate, kFrames), noErr);
        ASSERT_EQ(unit.Initialize(), noErr);
        ASSERT_EQ(live.Prepare(kFrames), noErr);
        for (const AUParameterDescription& p : unit.Parameters())
        {
            if (p.name == "Filter LP Cutoff")
                cutoff = p.id;
        }
    }

    // A block as the device asks for it; its loudest sample.
    float Block()
    {
        live.Render(out.data(), out.data() + kFrames, kFrames);
        float peak = 0.0f;
        for (float sample : out)
            peak = std::max(peak, std::fabs(sample));
        return peak;
    }

    // A clip of some length, its samples a tone at the given level.
    static std::shared_ptr<const Clip> ClipOf(size_t length, float level)
    {
        auto clip = std::make_shared<Clip>();
        for (size_t i = 0; i < length; ++i)
            clip->samples.push_back(level * static_cast<float>(std::sin(0.05 * static_cast<double>(i))));
        return clip;
    }

    AUBundle bundle{BLEEPFORGE_BUNDLE};
    AUInstance unit{bundle};
    LiveAudio live{unit};
    AudioUnitParameterID cutoff = 0;
    std::vector<float> out = std::vector<float>(2 * kFrames);
};

} // namespace

TEST_F(LiveAudioTest, BlocksWithNotesAuditionsAndMidiAllocateAndLockNothing)
{
    CountSanitizerAllocations();
    const std::shared_ptr<const Clip> clip = ClipOf(10 * kFrames + 3, 0.5f);
    live.Play(clip);
    Block(); // warm-up outside the count
    float peak = 0.0f;
    for (int b = 0; b < 60; ++b)
    {
        unit.SetParameter(cutoff, 500.0f + 10.0f * static_cast<float>(b));
        live.PushMidi(PackMidi(b % 2 ? 0x80 : 0x90, static_cast<uint8_t>(40 + b % 30), 100));
        live.PlayNote(70, b % 3 == 0);
        if (b % 20 == 0)
            live.Play(clip);
        if (b % 20 == 7)
            live.StopAudition();
        tCounting = true;
        peak = std::max(peak, Block());
        tCounting = false;
    }
    EXPECT_GT(peak, 0.0f); // the blocks played
    EXPECT_EQ(gAllocations.load(), 0);
    EXPECT_EQ(gLocks.load(), 0);
}

// The window's thread holds the instrument's mutex (its property listeners
// are called under it) while the audio thread renders.
TEST_F(LiveAudioTest, BlocksRenderWhileTheWindowHoldsTheInstrument)
{
    struct Held
    {
        LiveAudioTest* test;
        std::thread audio;
        std::atomic<bool> finished{false};
        bool ranThrough = false;
    } held;
    held.test = this;
    const AudioUnitPropertyListenerProc holding =
        [](void* data, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
    {
        auto& h = *static_cast<Held*>(data);
        h.audio = std::thread(
            [&h]
            {
                h.test->live.PlayNote(60, true);
                for (int b = 0; b < 20; ++b)
                    h.test->Block();
                h.finished = true;
            });
        for (int wait = 0; wait < 300 && !h.finished; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        h.ranThrough = h.finished;
    };
    ASSERT_EQ(unit.Call(kAudioUnitAddPropertyListenerSelect,
                        {static_cast<long>(kPropertyRandomSeed), reinterpret_cast<long>(holding),
                         reinterpret_cast<long>(&held)}),
              noErr);
    const UInt32 seed = 7;
    unit.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    held.audio.join(); // a blocked audio thread finishes once the mutex is let go
    EXPECT_TRUE(held.ranThrough);
}

// Values the window sets while the audio thread renders reach the blocks that
// follow, as a host's settings between blocks reach them through the entry.
TEST_F(LiveAudioTest, ChangesMadeWhileBlocksRenderPlayAsTheEntryPlaysThem)
{
    AUInstance entry(bundle);
    ASSERT_EQ(entry.Configure(kRate, kFrames), noErr);
    ASSERT_EQ(entry.Initialize(), noErr);
    std::atomic<bool> rendering{true};
    const int kOn = 0, kOff = 30; // a note sounds while the knob moves
    std::thread audio(
        [&]
        {
            for (int b = 0; b < 100; ++b)
            {
                if (b == kOn || b == kOff)
                    live.PushMidi(PackMidi(b == kOn ? 0x90 : 0x80, 64, 127));
                Block();
            }
            rendering = false;
        });
    // At least one value is set, also when a loaded machine lets the audio
    // thread finish before this loop begins.
    float value = 0.0f;
    int n = 0;
    do
    {
        value = 300.0f + static_cast<float>(n++ % 500);
        unit.SetParameter(cutoff, value);
    } while (rendering);
    audio.join();
    entry.SetParameter(cutoff, value);
    std::vector<float> left(kFrames), right(kFrames);
    for (int b = 0; b < 100; ++b)
    {
        if (b == kOn || b == kOff)
            entry.MIDIEvent(b == kOn ? 0x90 : 0x80, 64, 127, 0);
        entry.Render({left.data(), right.data()}, kFrames, b * double(kFrames));
    }

    const UInt32 seed = 11;
    std::vector<float> heard, played;
    unit.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    live.PushMidi(PackMidi(0x90, 60, 127));
    for (int b = 0; b < 20; ++b)
    {
        Block();
        heard.insert(heard.end(), out.begin(), out.begin() + kFrames);
    }
    entry.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    entry.MIDIEvent(0x90, 60, 127, 0);
    for (int b = 100; b < 120; ++b)
    {
        entry.Render({left.data(), right.data()}, kFrames, b * double(kFrames));
        played.insert(played.end(), left.begin(), left.end());
    }
    EXPECT_GT(*std::max_element(played.begin(), played.end()), 0.0f);
    EXPECT_EQ(heard, played);
}

// JACK hands the audio thread each block's MIDI with its frame; a server
// whose block grows past what the instance was set up for still plays. Both
// sound as the entry plays the same notes at the same frames, block by block.
TEST_F(LiveAudioTest, MidiReadOnTheAudioThreadPlaysAtItsFrameAlsoInALongerBlock)
{
    AUInstance entry(bundle);
    ASSERT_EQ(entry.Configure(kRate, kFrames), noErr);
    ASSERT_EQ(entry.Initialize(), noErr);
    const UInt32 seed = 5;
    unit.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    entry.SetProperty(kPropertyRandomSeed, kAudioUnitScope_Global, 0, &seed, sizeof seed);
    struct Note
    {
        uint8_t status, key;
        unsigned frame;
    };
    const unsigned kLong = 3 * kFrames + 37;
    const Note notes[] = {
        {0x90, 60, 100}, {0x90, 67, 2 * kFrames + 5}, {0x80, 60, 3 * kFrames + 20}};
    for (const Note& note : notes)
        live.MidiAt(PackMidi(note.status, note.key, 127), note.frame);
    std::vector<float> left(kLong), right(kLong);
    live.Render(left.data(), right.data(), kLong);

    std::vector<float> played, playedRight, entryLeft(kFrames), entryRight(kFrames);
    for (unsigned start = 0; start < kLong; start += kFrames)
    {
        const unsigned frames = std::min(kFrames, kLong - start);
        for (const Note& note : notes)
            if (note.frame >= start && note.frame < start + frames)
                entry.MIDIEvent(note.status, note.key, 127, note.frame - start);
        entry.Render({entryLeft.data(), entryRight.data()}, frames, start);
        played.insert(played.end(), entryLeft.begin(), entryLeft.begin() + frames);
        playedRight.insert(playedRight.end(), entryRight.begin(), entryRight.begin() + frames);
    }
    EXPECT_TRUE(std::all_of(left.begin(), left.begin() + 100, [](float s) { return s == 0.0f; }));
    EXPECT_NE(left[110], 0.0f);
    EXPECT_EQ(left, played);
    EXPECT_EQ(right, playedRight);
}

// An audition is the export's own samples: over the silent instrument they
// come out exactly, in both channels, from the block after the window asked,
// at their own gain whatever the keys are heard at. A new one cuts the one
// playing, Escape stops one; the window lets go of each once it has played.
TEST_F(LiveAudioTest, ClipsPlayTheirSamplesExactlyAndComeBackToTheWindow)
{
    live.SetListeningGain(0.25);
    const std::shared_ptr<const Clip> first = ClipOf(3 * kFrames + 17, 0.9f), second = ClipOf(2 * kFrames - 5, -0.7f);
    std::vector<float> expected, heardLeft, heardRight;
    const auto blocks = [&](int count)
    {
        for (int b = 0; b < count; ++b)
        {
            Block();
            heardLeft.insert(heardLeft.end(), out.begin(), out.begin() + kFrames);
            heardRight.insert(heardRight.end(), out.begin() + kFrames, out.end());
        }
    };
    blocks(1);
    expected.assign(kFrames, 0.0f);
    live.Play(first);
    blocks(2);
    expected.insert(expected.end(), first->samples.begin(), first->samples.begin() + 2 * kFrames);
    live.Play(second); // cuts the first
    blocks(3);
    expected.insert(expected.end(), second->samples.begin(), second->samples.end());
    expected.resize(6 * kFrames, 0.0f);
    EXPECT_EQ(heardLeft, expected);
    EXPECT_EQ(heardRight, expected);
    live.TakeBackPlayed();
    EXPECT_EQ(first.use_count(), 1);
    EXPECT_EQ(second.use_count(), 1);

    live.Play(first);
    Block();
    EXPECT_EQ(out[5], first->samples[5]);
    live.StopAudition();
    EXPECT_EQ(Block(), 0.0f);
    live.TakeBackPlayed();
    EXPECT_EQ(first.use_count(), 1);
}

// Clips lent to a running audio thread are let go of only once it is done
// with them (a clip freed early would be read after it is gone, which the
// sanitizers see), and every one comes back to be freed. The window keeps
// no clip of its own here, so the lent one is the last.
TEST_F(LiveAudioTest, ClipsLentToARunningAudioThreadAreFreedOnlyOnceItIsDoneWithThem)
{
    std::atomic<bool> running{true};
    std::thread audio(
        [&]
        {
            while (running)
                Block();
        });
    std::vector<std::weak_ptr<const Clip>> lent;
    for (int n = 0; n < 300; ++n)
    {
        std::shared_ptr<const Clip> clip = ClipOf(static_cast<size_t>(50 + 97 * (n % 7)), 0.3f);
        lent.push_back(clip);
        live.Play(std::move(clip));
        if (n % 5 == 0)
            live.StopAudition();
        std::this_thread::yield();
    }
    live.StopAudition();
    const auto allFreed = [&] { return std::all_of(lent.begin(), lent.end(), [](const auto& c) { return c.expired(); }); };
    for (int wait = 0; wait < 500 && !allFreed(); ++wait)
    {
        live.TakeBackPlayed();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    running = false;
    audio.join();
    EXPECT_TRUE(allFreed());
}
