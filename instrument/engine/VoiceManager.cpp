#include "VoiceManager.h"

VoiceManager::VoiceManager(RandomSource& random)
    : mVoices{Voice(random), Voice(random), Voice(random), Voice(random)}
{
    for (Voice& voice : mVoices)
        voice.shareCurveMemo(&mCurveMemo);
}

Voice* VoiceManager::findFreeVoice()
{
    for (Voice& voice : mVoices)
    {
        if (!voice.isActive())
            return &voice;
    }
    return nullptr;
}

void VoiceManager::onNoteOn(int noteNumber, int velocity)
{
    if (Voice* voice = findFreeVoice())
        voice->NoteOn(noteNumber, velocity);
}

void VoiceManager::onNoteOff(int noteNumber, int velocity)
{
    for (Voice& voice : mVoices)
    {
        if (voice.isActive() && voice.getNoteNumber() == noteNumber)
            voice.NoteOff(noteNumber, velocity);
    }
}

namespace
{
struct LastSample
{
    double value = 0.0;
    void operator()(int, double sample) { value = sample; }
};
} // namespace

double VoiceManager::nextSample()
{
    return render(1, LastSample()).value;
}

int VoiceManager::gatherSounding(Voice** sounding)
{
    int count = 0;
    for (Voice& voice : mVoices)
    {
        if (voice.isActive())
            sounding[count++] = &voice;
    }
    return count;
}

// Silent voices add zeros whose sign never reaches the output (the decimation
// path flushes -0 to +0), so only sounding voices are summed, in index order.
// Each step runs across all sounding voices before the next, so that their
// independent filter chains overlap; the noise draws keep their voice order.
double VoiceManager::sumSounding(Voice** sounding, int count)
{
    double signal[kNumVoices] = {};
    for (int i = 0; i < count; ++i)
        signal[i] = sounding[i]->mixSources();
    for (int i = 0; i < count; ++i)
        signal[i] = sounding[i]->highPassStage(signal[i]);
    for (int i = 0; i < count; ++i)
        signal[i] = sounding[i]->lowPassStage(signal[i]);
    double sum = signal[0];
    for (int i = 1; i < count; ++i)
        sum += signal[i];
    return sum;
}

void VoiceManager::setSampleRate(double rate)
{
    Apply(&Voice::setSampleRate, rate);
}
