#include "LiveAudio.h"
#include "Listening.h"

#include <algorithm>

OSStatus LiveAudio::Prepare(unsigned maxFrames)
{
    mMaxFrames = std::max(1u, maxFrames);
    return mUnit.PrepareAudioThread();
}

void LiveAudio::Play(std::shared_ptr<const Clip> clip)
{
    TakeBackPlayed();
    if (!clip || mLent.size() >= kMostClips)
        return;
    WindowMessage message;
    message.kind = WindowMessage::kPlay;
    message.clip = clip.get();
    if (mWindowRing.Push(message)) // the ring's release publishes the samples with it
        mLent.push_back(std::move(clip));
}

void LiveAudio::StopAudition()
{
    WindowMessage message;
    message.kind = WindowMessage::kStop;
    mWindowRing.Push(message);
}

void LiveAudio::TakeBackPlayed()
{
    const Clip* played = nullptr;
    while (mPlayed.Pop(&played))
    {
        const auto lent = std::find_if(mLent.begin(), mLent.end(),
                                       [played](const std::shared_ptr<const Clip>& clip) { return clip.get() == played; });
        if (lent != mLent.end())
            mLent.erase(lent);
    }
}

void LiveAudio::PlayNote(int note, bool on)
{
    WindowMessage message;
    message.midi = PackMidi(on ? 0x90 : 0x80, static_cast<uint8_t>(note), on ? 100 : 0);
    if (note >= 0 && note <= 127)
        mWindowRing.Push(message);
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

// The clip is handed back; the ring has room for every clip lent.
void LiveAudio::endClip()
{
    if (mClip)
        mPlayed.Push(mClip);
    mClip = nullptr;
}

void LiveAudio::takeWindowMessage(const WindowMessage& message)
{
    if (message.kind == WindowMessage::kMidi)
        return midi(message.midi);
    endClip();
    if (message.kind == WindowMessage::kPlay)
    {
        mClip = message.clip;
        mClipAt = 0;
    }
}

// The clip's samples for this block.
const float* LiveAudio::clipPart(unsigned frames, size_t* count)
{
    *count = 0;
    if (!mClip)
        return nullptr;
    const float* part = mClip->samples.data() + mClipAt;
    *count = std::min<size_t>(frames, mClip->samples.size() - mClipAt);
    mClipAt += *count;
    return part;
}

// MIDI that arrived since the last block starts it, then the block. The
// instrument keeps a message due after the part it renders for the next part.
void LiveAudio::Render(float* left, float* right, unsigned frames)
{
    uint32_t message = 0;
    while (mRing.Pop(&message))
        midi(message);
    WindowMessage fromWindow;
    while (mWindowRing.Pop(&fromWindow))
        takeWindowMessage(fromWindow);
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
    size_t clipCount = 0;
    const float* clip = clipPart(frames, &clipCount);
    mClipped.fetch_add(MixHeard(left, frames, gain, clip, clipCount) + MixHeard(right, frames, gain, clip, clipCount),
                       std::memory_order_relaxed);
    // Handed back only now: the window may let go of it at once.
    if (mClip && mClipAt == mClip->samples.size())
        endClip();
    mBlocks.fetch_add(1, std::memory_order_relaxed);
}
