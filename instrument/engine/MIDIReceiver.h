#pragma once

#include "IMidiQueue.h"
#include "IPluginStructs.h"
#include "RelaySignal.h"

// Turns the MIDI messages of a block into sample-accurate signals and tracks
// which keys are held.
class MIDIReceiver
{
public:
    static const int kNumKeys = 128;

    void onMessageReceived(const IMidiMsg* msg);
    void advance();
    void Flush(int frames);
    void Resize(int blockSize) { mQueue.Resize(blockSize); }
    bool getKeyStatus(int key) const { return key >= 0 && key < kNumKeys && mKeyStatus[key]; }
    int getNumKeys() const { return mNumKeys; }
    bool hasPending() const { return !mQueue.Empty(); }

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
    int mNumKeys = 0;
    bool mKeyStatus[kNumKeys] = {};
    int mOffset = 0;
};
