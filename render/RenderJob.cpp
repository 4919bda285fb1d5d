#include "RenderJob.h"

#include "Bleepforge.h"
#include "InstrumentTarget.h"
#include "PresetSound.h"
#include "KIT_Text.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace
{

bool withinRange(const IParam& param, const std::string& text)
{
    double value = 0.0;
    return ParseNumber(text, &value) && value >= param.GetMin() && value <= param.GetMax();
}

// A value in range as --set takes it back: at the display's precision unless
// rounding carries it outside the range (a minimum of 1e-06 would read 0.000),
// then with as many more digits as it needs.
std::string acceptedText(const IParam& param, double value)
{
    const int kMostDecimals = 17;
    char text[IParam::kDisplaySize];
    param.GetDisplayForHost(value, false, text, false);
    for (int decimals = param.GetPrecision() + 1;
         !withinRange(param, text) && decimals <= kMostDecimals; ++decimals)
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (!withinRange(param, text))
        std::snprintf(text, sizeof text, "%.17g", value);
    return Trim(text);
}

std::string rangeOf(const IParam& param)
{
    return acceptedText(param, param.GetMin()) + " ... " + acceptedText(param, param.GetMax());
}

} // namespace

std::vector<ParamInfo> InstrumentParams(Bleepforge& plug)
{
    std::vector<ParamInfo> params;
    for (int i = 0; i < kNumParams; ++i)
        params.push_back(ParamInfoOf(*plug.GetParam(i)));
    return params;
}

int ApplySetting(Bleepforge& plug, const std::string& assignment)
{
    const ResolvedSetting setting = ResolveSetting(InstrumentParams(plug), assignment);
    plug.SetParameterFromHost(setting.index, setting.value);
    return setting.index;
}

namespace
{

void takeState(Bleepforge& plug, ByteChunk state)
{
    if (plug.UnserializeState(&state, 0) != kStateSize)
        throw std::runtime_error("the instrument cannot apply the state");
    plug.RedrawParamControls();
}

} // namespace

void ApplyStateAndSettings(Bleepforge& plug, const std::string& statePath,
                           const std::vector<std::string>& settings)
{
    if (!statePath.empty())
        takeState(plug, ReadSound(statePath));
    for (const std::string& setting : settings)
        ApplySetting(plug, setting);
}

InstrumentBackend::InstrumentBackend() = default;
InstrumentBackend::~InstrumentBackend() = default;

void InstrumentBackend::Open(double rate, int block, std::optional<unsigned> seed)
{
    IPluginInstanceInfo info;
    mPlug = std::make_unique<Bleepforge>(info);
    mRate = rate;
    mBlock = block;
    if (seed)
        mPlug->SeedRandom(*seed);
}

std::vector<ParamInfo> InstrumentBackend::Params()
{
    return InstrumentParams(*mPlug);
}

void InstrumentBackend::TakeState(const ByteChunk& state)
{
    takeState(*mPlug, state);
}

void InstrumentBackend::TakeSetting(const ResolvedSetting& setting)
{
    mPlug->SetParameterFromHost(setting.index, setting.value);
}

ByteChunk InstrumentBackend::State()
{
    ByteChunk state;
    mPlug->SerializeState(&state);
    return state;
}

RenderTarget InstrumentBackend::Target()
{
    return InstrumentTarget(*mPlug, mRate, mBlock);
}

ByteChunk Render(const RenderRequest& request, const FrameSink& sink)
{
    return Render(request, sink, nullptr);
}

ByteChunk Render(const RenderRequest& request, const FrameSink& sink,
                 const std::function<void(const ByteChunk&)>& settled)
{
    InstrumentBackend backend;
    RenderSession session(backend, request);
    session.Prepare();
    return session.Render(sink, settled);
}

RenderResult Render(const RenderRequest& request)
{
    RenderResult result;
    result.state = Render(request, CollectFrames(&result));
    return result;
}

std::vector<std::pair<std::string, std::string>> SettingsOf(const std::string& sound)
{
    ReadSound(sound); // refused before anything is built
    IPluginInstanceInfo info;
    Bleepforge plug(info);
    ApplyStateAndSettings(plug, sound, {});
    std::vector<std::pair<std::string, std::string>> settings;
    for (int i = 0; i < kNumParams; ++i)
    {
        const IParam* param = plug.GetParam(i);
        const double value = param->Value();
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", value);
        for (int t = 0; t < param->GetNDisplayTexts(); ++t)
        {
            int v = 0;
            const char* display = param->GetDisplayTextAtIdx(t, &v);
            if (v == value)
                std::snprintf(text, sizeof text, "%s", display);
        }
        settings.emplace_back(param->GetNameForHost(), text);
    }
    return settings;
}

std::string DescribeParams()
{
    IPluginInstanceInfo info;
    Bleepforge plug(info);
    std::ostringstream out;
    for (int i = 0; i < kNumParams; ++i)
    {
        const IParam* param = plug.GetParam(i);
        out << i << "\t" << param->GetNameForHost() << "\tdefault "
            << acceptedText(*param, param->Value()) << "\trange " << rangeOf(*param);
        const std::string unit = paramProperties[i].label;
        if (!unit.empty())
            out << "\tunit " << unit;
        for (int t = 0; t < param->GetNDisplayTexts(); ++t)
        {
            int v = 0;
            const char* text = param->GetDisplayTextAtIdx(t, &v);
            out << (t ? ", " : "\tvalues ") << v << "=" << text;
        }
        out << "\n";
    }
    return out.str();
}
