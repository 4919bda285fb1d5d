#include "MIDIReceiver.h"

namespace
{

bool carriesNote(IMidiMsg::EStatusMsg kind)
{
    return kind == IMidiMsg::kNoteOn || kind == IMidiMsg::kNoteOff ||
           kind == IMidiMsg::kPolyAftertouch;
}

} // namespace

void MIDIReceiver::onMessageReceived(const IMidiMsg* msg)
{
    const IMidiMsg::EStatusMsg kind = msg->StatusMsg();
    if (kind == IMidiMsg::kNone)
        return; // system messages and anything unknown
    // A data byte above 127 never comes from a well-formed stream and would
    // index past the key table.
    if (carriesNote(kind) && msg->NoteNumber() >= kNumKeys)
        return;
    mQueue.Add(msg);
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
        if (mKeyStatus[note])
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
    if (mKeyStatus[note])
        return;
    mKeyStatus[note] = true;
    ++mNumKeys;
    mNoteOn(note, velocity);
}

void MIDIReceiver::releaseKey(int note, int velocity)
{
    if (!mKeyStatus[note])
        return;
    mKeyStatus[note] = false;
    --mNumKeys;
    mNoteOff(note, velocity);
}

void MIDIReceiver::Flush(int frames)
{
    mQueue.Flush(frames);
    mOffset = 0;
}
