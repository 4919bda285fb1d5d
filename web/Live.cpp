// One instrument played live, for the AudioWorklet: plain C entry points on
// numbers, so that a quantum's calls from JavaScript allocate nothing on
// either side. Everything that allocates happens in bf_live_open and in the
// sound's change, outside the audio callback.
#include "Bleepforge.h"
#include "SoundState.h"
#include "KIT_Text.h"
#include "ShareCode.h"
#include "WebInstrument.h"

#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

struct Live
{
    std::unique_ptr<Bleepforge> plug;
    int maxFrames = 0;
    std::vector<double> left, right;
    std::vector<float> output; // left, then right, maxFrames each
};

Live live;

} // namespace

extern "C" {

// A fresh instrument at this rate, for quanta of at most maxFrames, its noise
// seeded when asked (else drawn from the clock); false for a rate or size it
// cannot play.
EMSCRIPTEN_KEEPALIVE int bf_live_open(double rate, int maxFrames, int seeded, unsigned seed)
{
    if (!(rate >= 1000 && rate <= 384000) || maxFrames < 1 || maxFrames > 8192)
        return 0;
    live.plug = OpenWebInstrument();
    if (seeded)
        live.plug->SeedRandom(seed);
    live.maxFrames = maxFrames;
    live.left.assign(static_cast<size_t>(maxFrames), 0.0);
    live.right.assign(static_cast<size_t>(maxFrames), 0.0);
    live.output.assign(2 * static_cast<size_t>(maxFrames), 0.0f);
    Bleepforge& plug = *live.plug;
    plug.SetSampleRate(rate);
    plug.SetBlockSize(maxFrames);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Reset();
    return 1;
}

EMSCRIPTEN_KEEPALIVE float* bf_live_output()
{
    return live.output.data();
}

// A note on (velocity 1 ... 127) or off (velocity 0) at a frame of the next quantum.
EMSCRIPTEN_KEEPALIVE void bf_live_note(int note, int velocity, int offset)
{
    if (!live.plug || note < 0 || note > 127 || velocity < 0 || velocity > 127 || offset < 0 ||
        offset >= live.maxFrames)
        return;
    IMidiMsg msg;
    if (velocity > 0)
        msg.MakeNoteOnMsg(note, velocity, offset);
    else
        msg.MakeNoteOffMsg(note, offset);
    live.plug->ProcessMidiMsg(&msg);
}

// Every held note released at the start of the next quantum, as their
// note-offs would release them.
EMSCRIPTEN_KEEPALIVE void bf_live_all_notes_off()
{
    if (!live.plug)
        return;
    IMidiMsg msg;
    for (int note = 0; note < 128; ++note)
        if (live.plug->GetKeyStatus(note))
        {
            msg.MakeNoteOffMsg(note, 0);
            live.plug->ProcessMidiMsg(&msg);
        }
}

// The output meter's level of a channel (0 left, 1 right) after the last
// quantum, as the editor's meters take it.
EMSCRIPTEN_KEEPALIVE double bf_live_level(int channel)
{
    if (!live.plug)
        return 0.0;
    return channel == 0 ? live.plug->GetMeterL() : live.plug->GetMeterR();
}

// Whether a voice sounded in the last quantum's last frame or a note of the
// instrument's own (a pitch jump) waits.
EMSCRIPTEN_KEEPALIVE int bf_live_sounding()
{
    return live.plug && live.plug->GetIdleFrames() == 0 ? 1 : 0;
}

// Renders a quantum into the output; false when nothing is open or the
// quantum is larger than opened.
EMSCRIPTEN_KEEPALIVE int bf_live_process(int frames)
{
    if (!live.plug || frames < 1 || frames > live.maxFrames)
        return 0;
    double* outputs[] = {live.left.data(), live.right.data()};
    live.plug->AttachOutputBuffers(0, 2, outputs);
    live.plug->ProcessBuffers(0.0, frames);
    float* right = live.output.data() + live.maxFrames;
    for (int i = 0; i < frames; ++i)
    {
        live.output[static_cast<size_t>(i)] = static_cast<float>(live.left[static_cast<size_t>(i)]);
        right[i] = static_cast<float>(live.right[static_cast<size_t>(i)]);
    }
    return 1;
}

} // extern "C"

std::string SetLiveParam(int index, double value)
{
    if (!live.plug)
        return "no instrument is open";
    if (index < 0 || index >= kNumParams)
        return "no parameter " + std::to_string(index);
    const IParam& param = *live.plug->GetParam(index);
    if (!(value >= param.GetMin() && value <= param.GetMax()))
    {
        const std::string unit = paramProperties[index].label;
        char range[160];
        std::snprintf(range, sizeof range, "%g ... %g%s%s, not %g", param.GetMin(), param.GetMax(),
                      unit.empty() ? "" : " ", unit.c_str(), value);
        return "'" + std::string(param.GetNameForHost()) + "' takes " + range + "; it stays as it was";
    }
    if (param.TakesWholeNumbers() && value != std::floor(value))
        return "'" + std::string(param.GetNameForHost()) + "' takes whole numbers, not " +
               ShortestNumberText(value) + "; it stays as it was";
    live.plug->SetParameterFromHost(index, value);
    return "";
}

std::string SetLiveSound(const std::string& code)
{
    if (!live.plug)
        return "no instrument is open";
    try
    {
        ByteChunk state = DecodeShareCode(TrimSpace(code));
        StateValues(state);
        if (live.plug->UnserializeState(&state, 0) != kStateSize)
            return "the instrument cannot apply the state";
        return "";
    }
    catch (const std::exception& e)
    {
        return e.what();
    }
}
