#pragma once

#include "IMidiQueue.h"
#include "IPluginStructs.h"
#include "RelaySignal.h"

#include <atomic>

// Turns the MIDI messages of a block into sample-accurate signals and tracks
// which keys are held. Everything but Resize runs on the audio thread and never
// allocates: a message that finds the queue full is dropped and counted.
// The key table and the dropped count are read from other threads (the editor's
// keyboard, diagnostics), so they are atomics, written only on the audio thread.
class MIDIReceiver
{
public:
    static const int kNumKeys = 128;

    // False when the message was dropped (unhandled kind, bad data or no room).
    bool onMessageReceived(const IMidiMsg* msg);
    // Both messages or, when there is no room for two, neither.
    bool onMessagePairReceived(const IMidiMsg* first, const IMidiMsg* second);
    void advance();
    void Flush(int frames);
    // Reserves room for this many waiting messages; never on the audio thread.
    void Resize(int records) { mQueue.Resize(records); }
    bool hasRoomFor(int records) const { return mQueue.Room() >= records; }
    bool getKeyStatus(int key) const
    {
        return key >= 0 && key < kNumKeys && mKeyStatus[key].load(std::memory_order_relaxed);
    }
    int getNumKeys() const { return mNumKeys.load(std::memory_order_relaxed); }
    bool hasPending() const { return !mQueue.Empty(); }
    unsigned getDroppedCount() const { return mDropped.load(std::memory_order_relaxed); }

    Relay::Signal2<int, int> mNoteOn;
    Relay::Signal2<int, int> mNoteOff;
    Relay::Signal1<double> mPitchWheel;
    Relay::Signal2<int, int> mPolyAftertouch;
    Relay::Signal1<int> mChannelAftertouch;
    Relay::Signal2<IMidiMsg::EControlChangeMsg, double> mControlChange;
    Relay::Signal1<int> mProgramChange;

private:
    void dispatch(const IMidiMsg& msg);
    void pressKey(int note, int velocity);
    void releaseKey(int note, int velocity);

    IMidiQueue mQueue{1024};
    std::atomic<int> mNumKeys{0};
    std::atomic<bool> mKeyStatus[kNumKeys] = {};
    int mOffset = 0;
    std::atomic<unsigned> mDropped{0};
};
