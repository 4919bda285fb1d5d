#include "MIDIReceiver.h"

namespace
{

bool carriesNote(IMidiMsg::EStatusMsg kind)
{
    return kind == IMidiMsg::kNoteOn || kind == IMidiMsg::kNoteOff ||
           kind == IMidiMsg::kPolyAftertouch;
}

} // namespace

bool MIDIReceiver::onMessageReceived(const IMidiMsg* msg)
{
    const IMidiMsg::EStatusMsg kind = msg->StatusMsg();
    if (kind == IMidiMsg::kNone)
        return false; // system messages and anything unknown
    // A data byte above 127 never comes from a well-formed stream and would
    // index past the key table.
    if (carriesNote(kind) && msg->NoteNumber() >= kNumKeys)
        return false;
    if (!hasRoomFor(1))
    {
        mDropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    mQueue.Add(msg);
    return true;
}

bool MIDIReceiver::onMessagePairReceived(const IMidiMsg* first, const IMidiMsg* second)
{
    if (!hasRoomFor(2))
    {
        mDropped.fetch_add(2, std::memory_order_relaxed);
        return false;
    }
    onMessageReceived(first);
    onMessageReceived(second);
    return true;
}

void MIDIReceiver::advance()
{
    while (!mQueue.Empty())
    {
        const IMidiMsg* msg = mQueue.Peek();
        if (msg->mOffset > mOffset)
            break;
        dispatch(*msg);
        mQueue.Remove();
    }
    ++mOffset;
}

void MIDIReceiver::dispatch(const IMidiMsg& msg)
{
    const int note = msg.NoteNumber();
    const int velocity = msg.Velocity();
    switch (msg.StatusMsg())
    {
    case IMidiMsg::kPitchWheel:
        mPitchWheel(msg.PitchWheel());
        break;
    case IMidiMsg::kProgramChange:
        mProgramChange(msg.Program());
        break;
    case IMidiMsg::kControlChange:
        mControlChange(msg.ControlChangeIdx(), msg.ControlChange(msg.ControlChangeIdx()));
        break;
    case IMidiMsg::kPolyAftertouch:
        if (mKeyStatus[note].load(std::memory_order_relaxed))
            mPolyAftertouch(note, msg.PolyAfterTouch());
        break;
    case IMidiMsg::kChannelAftertouch:
        mChannelAftertouch(msg.ChannelAfterTouch());
        break;
    case IMidiMsg::kNoteOn:
        if (velocity > 0)
            pressKey(note, velocity);
        else
            releaseKey(note, velocity);
        break;
    case IMidiMsg::kNoteOff:
        releaseKey(note, velocity);
        break;
    default:
        break;
    }
}

// A key already held is not retriggered.
void MIDIReceiver::pressKey(int note, int velocity)
{
    if (mKeyStatus[note].load(std::memory_order_relaxed))
        return;
    mKeyStatus[note].store(true, std::memory_order_relaxed);
    mNumKeys.fetch_add(1, std::memory_order_relaxed);
    mNoteOn(note, velocity);
}

void MIDIReceiver::releaseKey(int note, int velocity)
{
    if (!mKeyStatus[note].load(std::memory_order_relaxed))
        return;
    mKeyStatus[note].store(false, std::memory_order_relaxed);
    mNumKeys.fetch_sub(1, std::memory_order_relaxed);
    mNoteOff(note, velocity);
}

void MIDIReceiver::Flush(int frames)
{
    mQueue.Flush(frames);
    mOffset = 0;
}
