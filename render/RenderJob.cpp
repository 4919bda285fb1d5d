#include "RenderJob.h"

#include "Bleepforge.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace
{

size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
    {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j)
        {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string nearMatches(const std::string& name)
{
    const std::string wanted = Lower(Trim(name));
    std::vector<std::pair<size_t, std::string>> ranked;
    for (const ParamProperties& row : paramProperties)
    {
        const std::string candidate = Lower(row.name);
        const size_t distance = candidate.find(wanted) != std::string::npos && !wanted.empty()
                                    ? 0
                                    : editDistance(wanted, candidate);
        if (distance <= std::max<size_t>(3, wanted.size() / 3))
            ranked.push_back({distance, row.name});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    if (ranked.empty())
        return " (see 'bleepforge params')";
    std::string list = "; did you mean ";
    for (size_t i = 0; i < ranked.size() && i < 5; ++i)
        list += (i ? ", \"" : "\"") + ranked[i].second + "\"";
    return list + "?";
}

int findParam(const std::string& name)
{
    for (int i = 0; i < kNumParams; ++i)
    {
        if (name == paramProperties[i].name || name == ParamPlainName(static_cast<EParams>(i)))
            return i;
    }
    return -1;
}

bool mapDisplayText(const IParam& param, const std::string& text, double* value)
{
    for (int i = 0; i < param.GetNDisplayTexts(); ++i)
    {
        int v = 0;
        const char* display = param.GetDisplayTextAtIdx(i, &v);
        if (Lower(display) == Lower(Trim(text)))
        {
            *value = v;
            return true;
        }
    }
    return false;
}

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

// A value outside its parameter's range, or not whole where the parameter
// is, is refused with the range instead of being held to it.
void refuseOutOfRange(const IParam& param, const std::string& name, double value)
{
    const bool whole = param.Type() != IParam::kTypeDouble;
    const std::string range = std::string(whole ? "a whole number " : "") + rangeOf(param);
    if (value < param.GetMin() || value > param.GetMax() || (whole && value != std::floor(value)))
        throw UsageError("--set \"" + name + "\": expected " + range);
}

} // namespace

int ApplySetting(Bleepforge& plug, const std::string& assignment)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set '" + assignment + "': expected \"NAME=VALUE\"");
    const std::string name = Trim(assignment.substr(0, equals));
    const std::string text = assignment.substr(equals + 1);
    const int idx = findParam(name);
    if (idx < 0)
        throw UsageError("--set: unknown parameter \"" + name + "\"" + nearMatches(name));
    IParam* param = plug.GetParam(idx);
    double value = 0.0;
    if (!mapDisplayText(*param, text, &value) && !ParseNumber(text, &value))
    {
        std::string choices;
        for (int i = 0; i < param->GetNDisplayTexts(); ++i)
            choices += std::string(i ? ", " : " (one of: ") + param->GetDisplayTextAtIdx(i);
        throw UsageError("--set \"" + name + "\": '" + Trim(text) + "' is not a number" +
                         (choices.empty() ? "" : choices + ")"));
    }
    refuseOutOfRange(*param, name, value);
    plug.SetParameterFromHost(idx, value);
    return idx;
}

void ApplyStateAndSettings(Bleepforge& plug, const std::string& statePath,
                           const std::vector<std::string>& settings)
{
    if (!statePath.empty())
    {
        ByteChunk state = ReadState(statePath);
        if (plug.UnserializeState(&state, 0) != kStateSize)
            throw std::runtime_error("'" + statePath + "' holds a state that cannot be applied");
        plug.RedrawParamControls();
    }
    for (const std::string& setting : settings)
        ApplySetting(plug, setting);
}

ByteChunk Render(const RenderRequest& request, const FrameSink& sink)
{
    return Render(request, sink, [](const ByteChunk&) {});
}

ByteChunk Render(const RenderRequest& request, const FrameSink& sink,
                 const std::function<void(const ByteChunk&)>& settled)
{
    if (!request.stateIn.empty())
        ReadState(request.stateIn); // refused before anything is built or rendered

    IPluginInstanceInfo info;
    Bleepforge plug(info);
    if (request.seeded)
        plug.SeedRandom(request.seed);
    ApplyStateAndSettings(plug, request.stateIn, request.settings);
    ByteChunk state;
    plug.SerializeState(&state);
    settled(state);
    if (!request.notes.empty() || !request.generatedNoteWhenNone)
        return RenderWith(plug, request, sink);
    RenderRequest played = request;
    played.notes.push_back(GeneratedNote(plug));
    return RenderWith(plug, played, sink);
}

NoteSpec GeneratedNote(Bleepforge& plug)
{
    return GeneratedNote(plug.GetParam(kAmpEnvAttack)->Value(), plug.GetParam(kAmpEnvHold)->Value(),
                         plug.GetParam(kAmpEnvDecay)->Value());
}

RenderResult Render(const RenderRequest& request)
{
    RenderResult result;
    result.state = Render(request, CollectFrames(&result));
    return result;
}

ByteChunk RenderWith(Bleepforge& plug, const RenderRequest& request, const FrameSink& sink)
{
    plug.SetSampleRate(request.rate);
    plug.SetBlockSize(request.block);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.Reset();

    RenderTarget target;
    target.sendNote = [&plug](const NoteEvent& e, int offset)
    {
        IMidiMsg msg;
        if (e.rank == kOn)
            msg.MakeNoteOnMsg(e.note, e.velocity, offset);
        else
            msg.MakeNoteOffMsg(e.note, offset);
        plug.ProcessMidiMsg(&msg);
    };
    target.renderBlock = [&plug](double* left, double* right, int frames)
    {
        double* outputs[] = {left, right};
        plug.AttachOutputBuffers(0, 2, outputs);
        plug.ProcessBuffers(0.0, frames);
    };
    target.idleFrames = [&plug] { return plug.GetIdleFrames(); };
    RunRenderLoop(request, target, sink);
    ByteChunk state;
    plug.SerializeState(&state);
    return state;
}

std::vector<std::pair<std::string, std::string>> SettingsOf(const std::string& sound)
{
    ReadState(sound); // refused before anything is built
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
