#include "IMidiQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

IMidiMsg noteAt(int offset, int note)
{
    IMidiMsg msg;
    msg.MakeNoteOnMsg(note, 100, offset);
    return msg;
}

std::vector<int> drainNotes(IMidiQueue& queue)
{
    std::vector<int> notes;
    while (!queue.Empty())
    {
        notes.push_back(queue.Peek()->NoteNumber());
        queue.Remove();
    }
    return notes;
}

} // namespace

TEST(MidiQueue, GranulizeRoundsUpToWholePages)
{
    IMidiQueue queue(1);
    EXPECT_EQ(queue.Granulize(1024), 1024);
    EXPECT_EQ(queue.Granulize(100), 512);
    EXPECT_EQ(queue.Granulize(513), 1024);
    EXPECT_EQ(queue.GetSize(), 512);
}

TEST(MidiQueue, OrdersByOffsetKeepingArrivalOrderForTies)
{
    IMidiQueue queue;
    const IMidiMsg msgs[] = {noteAt(5, 1), noteAt(2, 2), noteAt(2, 3), noteAt(9, 4)};
    for (const IMidiMsg& msg : msgs)
        queue.Add(&msg);
    EXPECT_EQ(drainNotes(queue), (std::vector<int>{2, 3, 1, 4}));
}

TEST(MidiQueue, InsertsOnlyAmongUnreadRecords)
{
    IMidiQueue queue;
    const IMidiMsg first = noteAt(1, 1), second = noteAt(8, 2), late = noteAt(0, 3);
    queue.Add(&first);
    queue.Add(&second);
    queue.Remove();
    queue.Add(&late);
    EXPECT_EQ(drainNotes(queue), (std::vector<int>{3, 2}));
}

TEST(MidiQueue, FlushShiftsOffsetsIntoTheNextBlock)
{
    IMidiQueue queue;
    const IMidiMsg early = noteAt(10, 1), later = noteAt(70, 2);
    queue.Add(&early);
    queue.Add(&later);
    queue.Remove();
    queue.Flush(64);
    ASSERT_FALSE(queue.Empty());
    EXPECT_EQ(queue.Peek()->mOffset, 6);
    EXPECT_EQ(queue.Peek()->NoteNumber(), 2);
}

TEST(MidiQueue, GrowsByAPageWhenFullAndReclaimsReadSpace)
{
    IMidiQueue queue(512);
    for (int i = 0; i < 600; ++i)
    {
        const IMidiMsg msg = noteAt(i, i % 128);
        queue.Add(&msg);
    }
    EXPECT_EQ(queue.GetSize(), 1024);
    for (int i = 0; i < 600; ++i)
        queue.Remove();
    for (int i = 0; i < 900; ++i) // reuses the read space instead of growing
    {
        const IMidiMsg msg = noteAt(i, 1);
        queue.Add(&msg);
    }
    EXPECT_EQ(queue.GetSize(), 1024);
    int count = 0;
    for (; !queue.Empty(); queue.Remove())
        ++count;
    EXPECT_EQ(count, 900);
}

TEST(MidiQueue, ResizeFollowsTheBlockButKeepsQueuedRecords)
{
    IMidiQueue queue(1024);
    EXPECT_EQ(queue.Resize(100), 512);
    for (int i = 0; i < 700; ++i)
    {
        const IMidiMsg msg = noteAt(i, 1);
        queue.Add(&msg);
    }
    EXPECT_EQ(queue.Resize(64), 1024); // never below what is queued
    EXPECT_EQ(queue.Resize(0), 1024);
    queue.Flush(1000);
    int count = 0;
    for (; !queue.Empty(); queue.Remove())
        ++count;
    EXPECT_EQ(count, 700);
    EXPECT_EQ(queue.Resize(0), 512); // a bad block size still leaves room to grow
    const IMidiMsg msg = noteAt(0, 1);
    queue.Add(&msg);
    EXPECT_FALSE(queue.Empty());
}

TEST(MidiQueue, EmptySizesStillQueueAndFlushHoldsOffsetsInRange)
{
    for (int size : {0, -5})
    {
        IMidiQueue queue(size);
        const IMidiMsg msg = noteAt(1, 60);
        queue.Add(&msg);
        EXPECT_FALSE(queue.Empty()) << size;
        EXPECT_EQ(queue.Room(), 511) << size;
    }
    IMidiQueue queue;
    const IMidiMsg overdue = noteAt(INT32_MIN + 5, 1), late = noteAt(INT32_MAX, 2);
    queue.Add(&overdue);
    queue.Add(&late);
    queue.Flush(100);
    EXPECT_EQ(queue.Peek()->mOffset, INT32_MIN);
    queue.Flush(-100);
    queue.Remove();
    EXPECT_EQ(queue.Peek()->mOffset, INT32_MAX);
}
