// Rendering through a hosted bundle as bleepforge render plays notes, and the
// state and parameter helpers it needs. Shared by auhost and the standalone app.
#include "HostRender.h"

#include <algorithm>
#include <cmath>

// "NAME=VALUE" through the parameter list: a value text of an enumeration, or
// a plain value in the parameter's units.
void ApplySetting(AUInstance& unit, const std::vector<AUParameterDescription>& params,
                  const std::string& assignment)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set '" + assignment + "': expected \"NAME=VALUE\"");
    const std::string name = Trim(assignment.substr(0, equals)),
                      text = assignment.substr(equals + 1);
    auto param = std::find_if(params.begin(), params.end(),
                              [&](const AUParameterDescription& p) { return p.name == name; });
    if (param == params.end())
        throw UsageError("--set: the bundle has no parameter \"" + name + "\"");
    double value = 0.0;
    auto choice = std::find_if(param->valueStrings.begin(), param->valueStrings.end(),
                               [&](const std::string& s) { return Lower(s) == Lower(Trim(text)); });
    if (choice != param->valueStrings.end())
        value = static_cast<double>(choice - param->valueStrings.begin());
    else if (!ParseNumber(text, &value))
        throw UsageError("--set \"" + name + "\": '" + Trim(text) + "' is not a number");
    if (unit.SetParameter(param->id, static_cast<float>(value)) != noErr)
        throw std::runtime_error("the bundle refused \"" + name + "\"");
}

CFDictionaryRef StateDictionary(const AUBundle& bundle, const ByteChunk& state)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    const ComponentDescription& d = bundle.Description();
    const std::pair<const char*, SInt32> numbers[] = {
        {"version", static_cast<SInt32>(bundle.Version())},
        {"type", static_cast<SInt32>(d.componentType)},
        {"subtype", static_cast<SInt32>(d.componentSubType)},
        {"manufacturer", static_cast<SInt32>(d.componentManufacturer)}};
    for (const auto& [key, value] : numbers)
    {
        CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
        CFDictionarySetValue(dictionary, name, number);
        CFRelease(number);
        CFRelease(name);
    }
    CFStringRef nameKey = CFStringCreateWithCString(nullptr, "name", kCFStringEncodingUTF8);
    CFStringRef name = CFStringCreateWithCString(nullptr, "-", kCFStringEncodingUTF8);
    CFStringRef dataKey = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
    CFDataRef data = CFDataCreate(nullptr, state.GetBytes(), state.Size());
    CFDictionarySetValue(dictionary, nameKey, name);
    CFDictionarySetValue(dictionary, dataKey, data);
    for (CFTypeRef object : {static_cast<CFTypeRef>(nameKey), static_cast<CFTypeRef>(name),
                             static_cast<CFTypeRef>(dataKey), static_cast<CFTypeRef>(data)})
        CFRelease(object);
    return dictionary;
}

void RestoreFrom(AUInstance& unit, CFDictionaryRef state, const std::string& what)
{
    const OSStatus result = unit.RestoreState(state);
    CFRelease(state);
    if (result != noErr)
        throw std::runtime_error("the bundle refused the state of " + what + " (" +
                                 std::to_string(result) + ")");
}

// The notes of the request, block by block, as bleepforge render plays them,
// ended where the sound ends when the length is automatic.
CFDictionaryRef RenderThroughBundle(const AUBundle& bundle, const HostRender& job,
                                    const FrameSink& sink)
{
    const RenderRequest& request = job.request;
    AUInstance unit(bundle);
    if (request.seeded && unit.SetProperty(kRandomSeedProperty, kAudioUnitScope_Global, 0,
                                           &request.seed, sizeof request.seed) != noErr)
        throw std::runtime_error("the bundle cannot be seeded");
    if (unit.Configure(request.rate, static_cast<UInt32>(request.block)) != noErr ||
        unit.Initialize() != noErr)
        throw std::runtime_error("the bundle refused the stream format or to initialise");
    if (!job.presetIn.empty())
        RestoreFrom(unit, LoadAUPreset(job.presetIn), "'" + job.presetIn + "'");
    if (!request.stateIn.empty())
        RestoreFrom(unit, StateDictionary(bundle, ReadState(request.stateIn)), "the state");
    if (job.state.Size() > 0)
        RestoreFrom(unit, StateDictionary(bundle, job.state), "the sound");
    const std::vector<AUParameterDescription> params = unit.Parameters();
    for (const std::string& setting : request.settings)
        ApplySetting(unit, params, setting);

    RenderTarget target;
    target.sendNote = [&unit](const NoteEvent& e, int offset)
    {
        const bool on = e.rank == kOn;
        unit.MIDIEvent(on ? 0x90 : 0x80, static_cast<UInt32>(e.note),
                       on ? static_cast<UInt32>(e.velocity) : 0, static_cast<UInt32>(offset));
    };
    double sampleTime = 0.0;
    std::vector<float> left(static_cast<size_t>(request.block)), right(left.size());
    target.renderBlock = [&](double* outLeft, double* outRight, int frames)
    {
        const OSStatus rendering =
            unit.Render({left.data(), right.data()}, static_cast<UInt32>(frames), sampleTime);
        if (rendering != noErr)
            throw std::runtime_error("the bundle failed to render (" + std::to_string(rendering) +
                                     ")");
        sampleTime += frames;
        std::copy(left.begin(), left.begin() + frames, outLeft);
        std::copy(right.begin(), right.begin() + frames, outRight);
    };
    target.idleFrames = [&unit]
    {
        UInt64 idle = 0;
        UInt32 size = sizeof idle;
        unit.GetProperty(kIdleFramesProperty, kAudioUnitScope_Global, 0, &idle, &size);
        return static_cast<long>(idle);
    };
    RunRenderLoop(request, target, sink);
    CFDictionaryRef state = nullptr;
    if (unit.SaveState(&state) != noErr || !state)
        throw std::runtime_error("the bundle did not give its state");
    return state;
}

RenderResult RenderThroughBundle(const AUBundle& bundle, const HostRender& job)
{
    RenderResult result;
    CFRelease(RenderThroughBundle(bundle, job, CollectFrames(&result)));
    return result;
}
