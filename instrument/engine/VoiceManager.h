#pragma once

#include "VoiceKernels.h"

// Four voices: notes go to the first free one (no stealing), every setting goes
// to all of them, and their outputs are summed.
class VoiceManager
{
public:
    static const int kNumVoices = 4;

    // Every voice's noises draw from the source, which must outlive it.
    explicit VoiceManager(RandomSource& random);
    virtual ~VoiceManager() = default;

    void onNoteOn(int noteNumber, int velocity);
    void onNoteOff(int noteNumber, int velocity);
    Voice* findFreeVoice();
    double nextSample();
    // n samples of the summed voices, each handed to sink(k, sample) as it is
    // made; gives the sink back. Notes start only between calls, so the
    // sounding voices are found once per call.
    template <class Sink> Sink render(int n, Sink sink);
    void setSampleRate(double rate);

    // Applies one setting to every voice, as Apply(&Voice::SetEnvAttack, 0.1):
    // every per-voice setting is one of Voice's.
    template <class... Params, class... Args> void Apply(void (Voice::*set)(Params...), Args... args)
    {
        for (Voice& voice : mVoices)
            (voice.*set)(args...);
    }

    const Voice& voice(int index) const { return mVoices[index]; }
    bool anyActive() const
    {
        for (const Voice& v : mVoices)
            if (v.isActive())
                return true;
        return false;
    }

private:
    int gatherSounding(Voice** sounding);
    static double sumSounding(Voice** sounding, int count);

    Voice mVoices[kNumVoices];
    PitchEnvelope::CurveMemo mCurveMemo;
};

template <class Sink> Sink VoiceManager::render(int n, Sink sink)
{
    Voice* sounding[kNumVoices];
    int count = gatherSounding(sounding);
    // The steady kernels set up once per call, which pays for a frame but not
    // for a single sample.
    if (count == 1 && n > 1 && sounding[0]->isSteadyFor(n))
        return sounding[0]->renderSteady(n, sink);
    if (count == 1) // one note at a time, the usual case; an ended voice gives 0
    {
        for (int k = 0; k < n; ++k)
            sink(k, sounding[0]->nextSample());
        return sink;
    }
    for (int k = 0; k < n; ++k)
    {
        sink(k, count == 0 ? 0.0 : sumSounding(sounding, count));
        for (int i = 0; i < count; ++i)
        {
            if (!sounding[i]->isActive())
            {
                count = gatherSounding(sounding);
                break;
            }
        }
    }
    return sink;
}
