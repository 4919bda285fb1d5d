// The device thread's MIDI reaches the audio thread whole and in order, and a
// full ring refuses rather than overwriting what the reader has not taken.
#include "MidiRing.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

// A device or a JACK port may deliver anything; the instrument takes short
// channel messages only, and nothing is read past what was delivered.
TEST(MidiRing, OnlyShortChannelMessagesArePacked)
{
    const std::vector<std::vector<uint8_t>> taken = {
        {0x90, 60, 100}, {0x8F, 60, 0}, {0xC3, 5}, {0xE0, 0, 64}};
    for (const auto& bytes : taken)
    {
        uint32_t message = 0;
        ASSERT_TRUE(PackChannelMessage(bytes.data(), bytes.size(), &message));
        EXPECT_EQ(message, PackMidi(bytes[0], bytes.size() > 1 ? bytes[1] : 0,
                                    bytes.size() > 2 ? bytes[2] : 0));
    }
    const std::vector<std::vector<uint8_t>> refused = {
        {}, {60, 100}, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {0xF8}, {0xFF}, {0x90, 60, 100, 0}};
    for (const auto& bytes : refused)
    {
        uint32_t message = 7;
        EXPECT_FALSE(PackChannelMessage(bytes.data(), bytes.size(), &message));
        EXPECT_EQ(message, 7u);
    }
    uint32_t message = 0;
    EXPECT_FALSE(PackChannelMessage(nullptr, 3, &message));
}
