#include "LiveAudio.h"
#include "Listening.h"

#include <algorithm>

namespace
{

// Messages of the window's own, beside MIDI: status bytes no MIDI message has.
const uint32_t kAuditionStart = 0x01;
const uint32_t kAuditionStop = 0x02;
const uint8_t kAuditionNote = 60;
const uint8_t kAuditionVelocity = 127;

} // namespace

OSStatus LiveAudio::Prepare(unsigned rate, unsigned maxFrames)
{
    mRate = rate;
    mMaxFrames = std::max(1u, maxFrames);
    return mUnit.PrepareAudioThread();
}

void LiveAudio::Audition(double holdSeconds)
{
    mAuditionHold.store(holdSeconds, std::memory_order_relaxed);
    mWindowRing.Push(kAuditionStart); // the ring's release publishes the hold with it
}

void LiveAudio::StopAudition()
{
    mWindowRing.Push(kAuditionStop);
}

void LiveAudio::PlayNote(int note, bool on)
{
    if (note >= 0 && note <= 127)
        mWindowRing.Push(PackMidi(on ? 0x90 : 0x80, static_cast<uint8_t>(note), on ? 100 : 0));
}

void LiveAudio::SetListeningGain(double gain)
{
    mListeningGain.store(static_cast<float>(gain), std::memory_order_relaxed);
}

long LiveAudio::TakeClipped()
{
    return mClipped.exchange(0, std::memory_order_relaxed);
}

void LiveAudio::midi(uint32_t message, UInt32 offset)
{
    mUnit.AudioThreadMIDIEvent(message & 0xFF, (message >> 8) & 0x7F, (message >> 16) & 0x7F,
                               offset);
}

void LiveAudio::takeWindowMessage(uint32_t message)
{
    const uint32_t status = message & 0xFF;
    if (status != kAuditionStart && status != kAuditionStop)
        return midi(message);
    if (mAuditionLeft >= 0)
        midi(PackMidi(0x80, kAuditionNote, 0));
    mAuditionLeft = -1;
    if (status == kAuditionStop)
        return;
    midi(PackMidi(0x90, kAuditionNote, kAuditionVelocity));
    mAuditionLeft = static_cast<long>(mAuditionHold.load(std::memory_order_relaxed) * mRate);
}

// The audition's release at its frame.
void LiveAudio::endAuditionWithin(unsigned frames)
{
    if (mAuditionLeft < 0)
        return;
    if (mAuditionLeft >= static_cast<long>(frames))
    {
        mAuditionLeft -= frames;
        return;
    }
    midi(PackMidi(0x80, kAuditionNote, 0), static_cast<UInt32>(mAuditionLeft));
    mAuditionLeft = -1;
}

// MIDI that arrived since the last block starts it, then the block. The
// instrument keeps a message due after the part it renders for the next part.
void LiveAudio::Render(float* left, float* right, unsigned frames)
{
    uint32_t message = 0;
    while (mRing.Pop(&message))
        midi(message);
    while (mWindowRing.Pop(&message))
        takeWindowMessage(message);
    endAuditionWithin(frames);
    for (unsigned done = 0; done < frames;)
    {
        const unsigned part = std::min(frames - done, mMaxFrames);
        if (mUnit.RenderStereo(left + done, right + done, part, mSampleTime) != noErr)
        {
            std::fill(left + done, left + done + part, 0.0f);
            std::fill(right + done, right + done + part, 0.0f);
        }
        mSampleTime += part;
        done += part;
    }
    const float gain = mListeningGain.load(std::memory_order_relaxed);
    mClipped.fetch_add(ApplyListeningGain(left, frames, gain) +
                           ApplyListeningGain(right, frames, gain),
                       std::memory_order_relaxed);
    mBlocks.fetch_add(1, std::memory_order_relaxed);
}
