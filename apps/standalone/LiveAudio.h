#pragma once

#include "AUHost.h"
#include "MidiRing.h"

#include <atomic>
#include <cstdint>

// What the app's audio callback does with one instance, apart from the
// device: MIDI and the window's notes and auditions reach it through rings,
// gains and counts through atomics, and it renders through the instance's
// lock-free procedures. Its audio thread takes no lock and allocates nothing,
// so it never waits while the window's thread holds the instrument.
class LiveAudio
{
public:
    explicit LiveAudio(AUInstance& unit) : mUnit(unit) {}

    // Once the instance is configured and initialised for this rate and
    // block, before the first block: takes the instance's lock-free procedures.
    OSStatus Prepare(unsigned rate, unsigned maxFrames);

    // Audio thread: one block of stereo. A block longer than the instance
    // takes (a JACK server whose block grew) renders in parts.
    void Render(float* left, float* right, unsigned frames);
    // Audio thread, before the block's Render: a message read on the audio
    // thread itself, played at its frame within that block.
    void MidiAt(uint32_t message, unsigned offset) { midi(message, offset); }

    // The MIDI devices' thread: a short channel message, played at the start
    // of the next block.
    void PushMidi(uint32_t message) { mRing.Push(message); }
    // GUI thread. Plays note 60 at full velocity, released after holdSeconds;
    // an audition still sounding is cut first.
    void Audition(double holdSeconds);
    void StopAudition();
    // GUI thread: a note from the computer keyboard.
    void PlayNote(int note, bool on);
    // GUI thread: the gain everything is heard at, and the samples that have
    // reached full scale since the last call.
    void SetListeningGain(double gain);
    long TakeClipped();
    // Any thread: blocks rendered so far.
    uint64_t Blocks() const { return mBlocks.load(std::memory_order_relaxed); }

private:
    void midi(uint32_t message, UInt32 offset = 0);
    void takeWindowMessage(uint32_t message);
    void endAuditionWithin(unsigned frames);

    AUInstance& mUnit;
    MidiRing mRing;       // the MIDI devices' thread to the audio thread
    MidiRing mWindowRing; // the GUI thread to the audio thread: notes and auditions
    std::atomic<double> mAuditionHold{0.0}; // GUI thread, written before its message
    long mAuditionLeft = -1;   // audio thread: frames to the audition's release, -1: none sounds
    unsigned mRate = 48000;    // set before the first block, read by the audio thread after
    unsigned mMaxFrames = 512; // likewise
    double mSampleTime = 0.0;  // audio thread only
    std::atomic<uint64_t> mBlocks{0};        // written by the audio thread
    std::atomic<float> mListeningGain{1.0f}; // written by the GUI thread
    std::atomic<long> mClipped{0}; // added to by the audio thread, taken by the GUI thread
};
