#include "VoiceManager.h"

VoiceManager::VoiceManager()
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
    forEachVoice(
        [&](Voice& v)
        {
            if (v.isActive() && v.getNoteNumber() == noteNumber)
                v.NoteOff(noteNumber, velocity);
        });
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
    forEachVoice([=](Voice& v) { v.setSampleRate(rate); });
}

void VoiceManager::SetOscType(int i, Oscilator::OscType type)
{
    forEachVoice([=](Voice& v) { v.SetOscType(i, type); });
}

void VoiceManager::SetOscLevel(int i, double level)
{
    forEachVoice([=](Voice& v) { v.SetOscLevel(i, level); });
}

void VoiceManager::SetOscOctave(int i, int octaves)
{
    forEachVoice([=](Voice& v) { v.SetOscOctave(i, octaves); });
}

void VoiceManager::SetOscTranspose(int i, int semitones)
{
    forEachVoice([=](Voice& v) { v.SetOscTranspose(i, semitones); });
}

void VoiceManager::SetOscCent(int i, int cents)
{
    forEachVoice([=](Voice& v) { v.SetOscCent(i, cents); });
}

void VoiceManager::SetOscEnvDepth(int i, double depth)
{
    forEachVoice([=](Voice& v) { v.SetOscEnvDepth(i, depth); });
}

void VoiceManager::SetSquareDuty(int i, double duty)
{
    forEachVoice([=](Voice& v) { v.SetSquareDuty(i, duty); });
}

void VoiceManager::SetOscPhase(int i, double phase)
{
    forEachVoice([=](Voice& v) { v.SetOscPhase(i, phase); });
}

void VoiceManager::SetEnvAttack(double s)
{
    forEachVoice([=](Voice& v) { v.SetEnvAttack(s); });
}

void VoiceManager::SetEnvHold(double s)
{
    forEachVoice([=](Voice& v) { v.SetEnvHold(s); });
}

void VoiceManager::SetEnvDecay(double s)
{
    forEachVoice([=](Voice& v) { v.SetEnvDecay(s); });
}

void VoiceManager::SetEnvSustain(double level)
{
    forEachVoice([=](Voice& v) { v.SetEnvSustain(level); });
}

void VoiceManager::SetEnvRelease(double s)
{
    forEachVoice([=](Voice& v) { v.SetEnvRelease(s); });
}

void VoiceManager::SetPitchHighNote(int note)
{
    forEachVoice([=](Voice& v) { v.pitchEnvelope().setHighNote(note); });
}

void VoiceManager::SetPitchLowNote(int note)
{
    forEachVoice([=](Voice& v) { v.pitchEnvelope().setLowNote(note); });
}

void VoiceManager::SetPitchDuration(double s)
{
    forEachVoice([=](Voice& v) { v.pitchEnvelope().mDuration = s; });
}

void VoiceManager::SetPitchStart(double position)
{
    forEachVoice([=](Voice& v) { v.pitchEnvelope().mStart = position; });
}

void VoiceManager::SetPitchEnd(double position)
{
    forEachVoice([=](Voice& v) { v.pitchEnvelope().mEnd = position; });
}

void VoiceManager::SetPitchSlope(double exponent)
{
    forEachVoice([=](Voice& v) { v.pitchEnvelope().mSlope = exponent; });
}

void VoiceManager::SetLPFilterCutoff(double hz)
{
    forEachVoice([=](Voice& v) { v.SetLPFilterCutoff(hz); });
}

void VoiceManager::SetHPFilterCutoff(double hz)
{
    forEachVoice([=](Voice& v) { v.SetHPFilterCutoff(hz); });
}

void VoiceManager::SetLPFilterResonance(double q)
{
    forEachVoice([=](Voice& v) { v.SetLPFilterResonance(q); });
}

void VoiceManager::SetHPFilterResonance(double q)
{
    forEachVoice([=](Voice& v) { v.SetHPFilterResonance(q); });
}

void VoiceManager::SetLPFilterDepth(double depth)
{
    forEachVoice([=](Voice& v) { v.SetLPFilterDepth(depth); });
}

void VoiceManager::SetHPFilterDepth(double depth)
{
    forEachVoice([=](Voice& v) { v.SetHPFilterDepth(depth); });
}

void VoiceManager::SetFilterEnvAttack(double s)
{
    forEachVoice([=](Voice& v) { v.filterEnvelope().SetAttack(s); });
}

void VoiceManager::SetFilterEnvHold(double s)
{
    forEachVoice([=](Voice& v) { v.filterEnvelope().SetHold(s); });
}

void VoiceManager::SetFilterEnvDecay(double s)
{
    forEachVoice([=](Voice& v) { v.filterEnvelope().SetDecay(s); });
}

void VoiceManager::SetFilterEnvSustain(double level)
{
    forEachVoice([=](Voice& v) { v.filterEnvelope().SetSustain(level); });
}

void VoiceManager::SetFilterEnvRelease(double s)
{
    forEachVoice([=](Voice& v) { v.filterEnvelope().SetRelease(s); });
}
