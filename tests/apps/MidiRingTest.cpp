// The device thread's MIDI reaches the audio thread whole and in order, and a
// full ring refuses rather than overwriting what the reader has not taken.
#include "MidiRing.h"

#include <gtest/gtest.h>

#include <thread>

TEST(MidiRing, TwoThreadsPassEveryMessageInOrder)
{
    MidiRing ring;
    const uint32_t count = 200000;
    std::thread writer(
        [&]
        {
            for (uint32_t m = 0; m < count;)
                if (ring.Push(m))
                    ++m;
        });
    uint32_t expected = 0, message = 0;
    while (expected < count)
    {
        if (ring.Pop(&message))
        {
            ASSERT_EQ(message, expected);
            ++expected;
        }
    }
    writer.join();
    EXPECT_FALSE(ring.Pop(&message));
}

TEST(MidiRing, AFullRingKeepsWhatItHolds)
{
    MidiRing ring;
    uint32_t pushed = 0;
    while (ring.Push(PackMidi(0x90, pushed & 0x7F, 100)))
        ++pushed;
    EXPECT_EQ(pushed, MidiRing::kCapacity - 1);
    uint32_t message = 0;
    ASSERT_TRUE(ring.Pop(&message));
    EXPECT_EQ(message, PackMidi(0x90, 0, 100));
    EXPECT_TRUE(ring.Push(1));
}
