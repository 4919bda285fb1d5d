#include "LV2Render.h"
#include "SoundState.h"

#include <algorithm>

LV2Backend::LV2Backend(LV2World& world, const std::string& preset) : mWorld(world), mPreset(preset)
{
}

void LV2Backend::Open(double rate, int block, std::optional<unsigned> seed)
{
    mInstance = std::make_unique<LV2Instance>(mWorld, rate, block);
    if (seed)
        mInstance->Seed(*seed);
    if (!mPreset.empty())
    {
        mInstance->RestorePreset(mPreset);
        mInstance->Run(0); // takes it, so that a setting after it is heard
    }
}

std::vector<ParamInfo> LV2Backend::Params()
{
    std::vector<ParamInfo> params;
    mControls.clear();
    for (const LV2PortInfo& port : mWorld.Ports())
    {
        if (!port.control || !port.input)
            continue;
        ParamInfo info;
        info.name = port.name;
        info.symbol = port.symbol;
        info.minimum = port.minimum;
        info.maximum = port.maximum;
        info.whole = port.integer;
        info.single = true;
        info.texts.assign(port.scalePoints.begin(), port.scalePoints.end());
        params.push_back(info);
        mControls.push_back(port.index);
    }
    return params;
}

// The plug-in's state and its control ports agree again, as a host's restore
// leaves them, and a block of no frames takes both: the ports then carry
// nothing new, and a setting after it moves its port as a host's knob does.
void LV2Backend::TakeState(const ByteChunk& state)
{
    mInstance->RestoreStateProperty(BLEEPFORGE_LV2_STATE_URI,
                                    std::vector<uint8_t>(state.GetBytes(), state.GetBytes() + state.Size()));
    const std::vector<double> values = StateValues(state);
    for (size_t i = 0; i < values.size(); ++i)
        mInstance->SetControl(static_cast<uint32_t>(i), static_cast<float>(values[i]));
    mInstance->Run(0);
}

void LV2Backend::TakeSetting(const ResolvedSetting& setting)
{
    mInstance->SetControl(mControls.at(static_cast<size_t>(setting.index)),
                          static_cast<float>(setting.value));
}

ByteChunk LV2Backend::State()
{
    // A block of no frames: the plug-in takes the ports, and its state is the
    // one it renders.
    mInstance->Run(0);
    const std::vector<uint8_t> bytes = mInstance->StateProperty(BLEEPFORGE_LV2_STATE_URI);
    ByteChunk state;
    state.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    StateValues(state); // refuses a plug-in without our state
    return state;
}

RenderTarget LV2Backend::Target()
{
    LV2Instance& instance = *mInstance;
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
    return target;
}
