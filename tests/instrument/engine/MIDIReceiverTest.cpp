#include "MIDIReceiver.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

struct Event
{
    int sample;
    int note;
    int velocity;
    bool on;
    bool operator==(const Event& o) const
    {
        return sample == o.sample && note == o.note && velocity == o.velocity && on == o.on;
    }
};

class MIDIReceiverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        receiver.mNoteOn.Connect(this, &MIDIReceiverTest::onNoteOn);
        receiver.mNoteOff.Connect(this, &MIDIReceiverTest::onNoteOff);
        receiver.mProgramChange.Connect(this, &MIDIReceiverTest::onProgram);
        receiver.mPolyAftertouch.Connect(this, &MIDIReceiverTest::onPoly);
    }

    void onNoteOn(int note, int velocity) { events.push_back({sample, note, velocity, true}); }
    void onNoteOff(int note, int velocity) { events.push_back({sample, note, velocity, false}); }
    void onProgram(int program) { programs.push_back(program); }
    void onPoly(int note, int pressure) { poly.push_back(note * 1000 + pressure); }

    void send(int offset, uint8_t status, uint8_t data1, uint8_t data2)
    {
        const IMidiMsg msg(offset, status, data1, data2);
        receiver.onMessageReceived(&msg);
    }

    void block(int frames)
    {
        for (sample = 0; sample < frames; ++sample)
            receiver.advance();
        receiver.Flush(frames);
    }

    MIDIReceiver receiver;
    std::vector<Event> events;
    std::vector<int> programs, poly;
    int sample = 0;
};

} // namespace

TEST_F(MIDIReceiverTest, MessagesAreDispatchedAtTheirOffsetsInOffsetOrder)
{
    send(5, 0x90, 50, 1);
    send(2, 0x90, 51, 2);
    send(2, 0x90, 52, 3);
    send(9, 0x90, 53, 4);
    block(16);
    const std::vector<Event> expected = {
        {2, 51, 2, true}, {2, 52, 3, true}, {5, 50, 1, true}, {9, 53, 4, true}};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(receiver.getNumKeys(), 4);
}

TEST_F(MIDIReceiverTest, HeldKeysAreNotRetriggeredAndUnheldKeysNotReleased)
{
    send(0, 0x90, 60, 100);
    send(1, 0x90, 60, 90);
    send(2, 0x80, 61, 0);
    send(3, 0x80, 60, 0);
    send(4, 0x80, 60, 0);
    block(8);
    const std::vector<Event> expected = {{0, 60, 100, true}, {3, 60, 0, false}};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(receiver.getNumKeys(), 0);
    EXPECT_FALSE(receiver.getKeyStatus(60));
}

TEST_F(MIDIReceiverTest, NoteOnWithVelocityZeroIsANoteOff)
{
    send(0, 0x91, 64, 80);
    send(3, 0x91, 64, 0);
    block(4);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[1].on);
    EXPECT_EQ(events[1].sample, 3);
}

TEST_F(MIDIReceiverTest, LaterBlocksReceiveTheirMessagesAtTheRightSample)
{
    send(70, 0x90, 60, 100);
    block(64);
    EXPECT_TRUE(events.empty());
    block(64);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].sample, 6);
    send(-3, 0x80, 60, 0); // already passed: dispatched at once
    block(4);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].sample, 0);
}

TEST_F(MIDIReceiverTest, SystemMessagesAreNeverQueued)
{
    send(0, 0xFE, 0, 0); // active sensing
    send(0, 0xF8, 0, 0); // clock
    send(0, 0xF0, 60, 100);
    send(0, 0x00, 60, 100);
    block(4);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(programs.empty());
}

TEST_F(MIDIReceiverTest, NoteNumbersAboveTheKeyTableAreRejected)
{
    send(0, 0x90, 200, 100);
    send(0, 0xA0, 255, 10);
    send(1, 0x80, 128, 0);
    block(4);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(poly.empty());
    EXPECT_EQ(receiver.getNumKeys(), 0);
    EXPECT_FALSE(receiver.getKeyStatus(200));
    EXPECT_FALSE(receiver.getKeyStatus(-1));
}

TEST_F(MIDIReceiverTest, ProgramChangesAndAftertouchOfHeldKeys)
{
    send(0, 0xC0, 7, 0);
    send(0, 0xA0, 60, 10); // not held: dropped
    send(1, 0x90, 60, 100);
    send(2, 0xA0, 60, 20);
    block(4);
    EXPECT_EQ(programs, std::vector<int>{7});
    EXPECT_EQ(poly, std::vector<int>{60020});
    EXPECT_TRUE(receiver.getKeyStatus(60));
}
