#pragma once

#include "AUHost.h"
#include "Clip.h"
#include "MidiRing.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// What the app's audio callback does with one instance, apart from the
// device: MIDI and the window's notes and clips reach it through rings,
// gains and counts through atomics, and it renders through the instance's
// lock-free procedures. Its audio thread takes no lock and allocates nothing,
// so it never waits while the window's thread holds the instrument.
//
// Keys and MIDI play the live instrument. A sound auditioned plays as a clip
// on top of it: a live instrument has long settled where a fresh render
// fades in, and its noise is not the seeded noise of an export, so what is
// heard of a sound is the export's own samples.
class LiveAudio
{
public:
    explicit LiveAudio(AUInstance& unit) : mUnit(unit) {}

    // Once the instance is configured and initialised for this rate and
    // block, before the first block: takes the instance's lock-free procedures.
    OSStatus Prepare(unsigned maxFrames);

    // Audio thread: one block of stereo. A block longer than the instance
    // takes (a JACK server whose block grew) renders in parts.
    void Render(float* left, float* right, unsigned frames);
    // Audio thread, before the block's Render: a message read on the audio
    // thread itself, played at its frame within that block.
    void MidiAt(uint32_t message, unsigned offset) { midi(message, offset); }

    // The MIDI devices' thread: a short channel message, played at the start
    // of the next block.
    void PushMidi(uint32_t message) { mRing.Push(message); }
    // GUI thread. Plays the clip from the start of the next block, cutting
    // one still playing; kept alive here until the audio thread is done
    // with it. A clip refused (the audio thread has stopped taking them)
    // does not play.
    void Play(std::shared_ptr<const Clip> clip);
    void StopAudition();
    // GUI thread: lets go of the clips the audio thread is done with.
    void TakeBackPlayed();
    // GUI thread: a note from the computer keyboard.
    void PlayNote(int note, bool on);
    // GUI thread: the gain the keys and MIDI are heard at, and the samples
    // that have reached full scale since the last call.
    void SetListeningGain(double gain);
    long TakeClipped();
    // Any thread: blocks rendered so far.
    uint64_t Blocks() const { return mBlocks.load(std::memory_order_relaxed); }

private:
    // What the window sends the audio thread, in the order it is sent.
    struct WindowMessage
    {
        enum Kind : uint8_t
        {
            kMidi,
            kPlay,
            kStop
        } kind = kMidi;
        uint32_t midi = 0;
        const Clip* clip = nullptr;
    };
    static constexpr size_t kMostClips = 64; // lent and not yet back

    void midi(uint32_t message, UInt32 offset = 0);
    void takeWindowMessage(const WindowMessage& message);
    void endClip();
    const float* clipPart(unsigned frames, size_t* count);

    AUInstance& mUnit;
    MidiRing mRing;                         // the MIDI devices' thread to the audio thread
    Ring<WindowMessage, 1024> mWindowRing;  // the GUI thread to the audio thread: notes and clips
    Ring<const Clip*, kMostClips + 1> mPlayed; // the audio thread back to the GUI thread: clips it let go
    std::vector<std::shared_ptr<const Clip>> mLent; // GUI thread: clips the audio thread may read
    const Clip* mClip = nullptr; // audio thread: the clip playing, or none
    size_t mClipAt = 0;          // audio thread: its next sample
    unsigned mMaxFrames = 512;   // set before the first block, read by the audio thread after
    double mSampleTime = 0.0;    // audio thread only
    std::atomic<uint64_t> mBlocks{0};        // written by the audio thread
    std::atomic<float> mListeningGain{1.0f}; // written by the GUI thread
    std::atomic<long> mClipped{0}; // added to by the audio thread, taken by the GUI thread
};
