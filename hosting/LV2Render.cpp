#include "LV2Render.h"

#include <cmath>

namespace
{

// The plug-in's state and its control ports agree again, as a host's restore
// leaves them; the ports then carry nothing new to the plug-in.
void restoreSound(LV2Instance& instance, const ByteChunk& state)
{
    instance.RestoreStateProperty(BLEEPFORGE_LV2_STATE_URI,
                                  std::vector<uint8_t>(state.GetBytes(), state.GetBytes() + state.Size()));
    const std::vector<double> values = StateValues(state);
    for (size_t i = 0; i < values.size(); ++i)
        instance.SetControl(static_cast<uint32_t>(i), static_cast<float>(values[i]));
}

} // namespace

void ApplySetting(LV2Instance& instance, const std::string& assignment)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set '" + assignment + "': expected \"NAME=VALUE\"");
    const std::string name = Trim(assignment.substr(0, equals)), text = Trim(assignment.substr(equals + 1));
    const int index = instance.ControlNamed(name);
    if (index < 0)
        throw UsageError("--set: the plug-in has no control \"" + name + "\" (see 'lv2host info')");
    const LV2PortInfo& port = instance.Port(index);
    double value = 0.0;
    bool found = false;
    for (const auto& point : port.scalePoints)
    {
        if (Lower(point.second) == Lower(text))
        {
            value = point.first;
            found = true;
        }
    }
    if (!found && !ParseNumber(text, &value))
        throw UsageError("--set \"" + name + "\": '" + text + "' is not a number");
    const float single = static_cast<float>(value);
    if (single < port.minimum || single > port.maximum || (port.integer && value != std::floor(value)))
        throw UsageError("--set \"" + name + "\": expected " + std::string(port.integer ? "a whole number " : "") +
                         std::to_string(port.minimum) + " ... " + std::to_string(port.maximum));
    instance.SetControl(static_cast<uint32_t>(index), single);
}

std::vector<uint8_t> RenderThroughLV2(LV2World& world, const LV2Render& job, const FrameSink& sink)
{
    return RenderThroughLV2(world, job, sink, [](const ByteChunk&) {});
}

std::vector<uint8_t> RenderThroughLV2(LV2World& world, const LV2Render& job, const FrameSink& sink,
                                      const std::function<void(const ByteChunk&)>& settled)
{
    RenderRequest request = job.request;
    LV2Instance instance(world, request.rate, request.block);
    if (request.seeded)
        instance.Seed(request.seed);
    if (!job.preset.empty())
        instance.RestorePreset(job.preset);
    if (!request.stateIn.empty())
        restoreSound(instance, ReadState(request.stateIn));
    for (const std::string& setting : request.settings)
        ApplySetting(instance, setting);
    // A block of no frames: the plug-in takes the ports, and its state is the
    // one it will render.
    instance.Run(0);
    const std::vector<uint8_t> bytes = instance.StateProperty(BLEEPFORGE_LV2_STATE_URI);
    ByteChunk state;
    state.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    const std::vector<double> values = StateValues(state); // refuses a plug-in without our state
    settled(state);
    if (request.notes.empty() && request.generatedNoteWhenNone)
        request.notes.push_back(GeneratedNote(values[kAmpEnvAttack], values[kAmpEnvHold], values[kAmpEnvDecay]));

    RenderTarget target;
    target.sendNote = [&instance](const NoteEvent& e, int offset)
    {
        const bool on = e.rank == kOn;
        instance.QueueMidi(offset, on ? 0x90 : 0x80, static_cast<uint8_t>(e.note),
                           on ? static_cast<uint8_t>(e.velocity) : 0);
    };
    target.renderBlock = [&instance](double* left, double* right, int frames)
    {
        instance.Run(frames);
        std::copy(instance.Output(0), instance.Output(0) + frames, left);
        std::copy(instance.Output(1), instance.Output(1) + frames, right);
    };
    target.idleFrames = [&instance] { return instance.IdleFrames(); };
    RunRenderLoop(request, target, sink);
    return instance.StateProperty(BLEEPFORGE_LV2_STATE_URI);
}

RenderResult RenderThroughLV2(LV2World& world, const LV2Render& job)
{
    RenderResult result;
    const std::vector<uint8_t> state = RenderThroughLV2(world, job, CollectFrames(&result));
    result.state.PutBytes(state.data(), static_cast<int>(state.size()));
    return result;
}
