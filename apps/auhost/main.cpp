// auhost: loads an Audio Unit–style bundle and drives it as a host does, to
// describe it, render with it, and validate it.
#include "AUHost.h"
#include "AudioFile.h"
#include "Requests.h"
#include "Validate.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace
{

const AudioUnitPropertyID kIdleFramesProperty = 64000;
const AudioUnitPropertyID kRandomSeedProperty = 64001;

int fail(const std::string& message, int status)
{
    std::cerr << "auhost: " << message << std::endl;
    return status;
}

void describe(AUInstance& unit, const AUBundle& bundle)
{
    const ComponentDescription& d = bundle.Description();
    std::cout << "component\t" << FourCharCode(d.componentType) << " "
              << FourCharCode(d.componentSubType) << " " << FourCharCode(d.componentManufacturer)
              << "\nname\t" << bundle.Name() << "\nidentifier\t" << bundle.Identifier()
              << "\nversion\t0x" << std::hex << bundle.Version() << std::dec << "\n";
    for (const AUParameterDescription& p : unit.Parameters())
    {
        std::cout << "parameter\t" << p.id << "\t" << p.name << "\t" << p.minValue << " ... "
                  << p.maxValue << "\tdefault " << p.defaultValue;
        if (!p.unit.empty())
            std::cout << "\tunit " << p.unit;
        if (!p.clump.empty())
            std::cout << "\tclump " << p.clump;
        for (size_t i = 0; i < p.valueStrings.size(); ++i)
            std::cout << (i ? ", " : "\tvalues ") << i << "=" << p.valueStrings[i];
        std::cout << "\n";
    }
    for (const std::string& preset : unit.FactoryPresets())
        std::cout << "preset\t" << preset << "\n";
    UInt32 size = 0;
    Boolean writable = false;
    unit.GetPropertyInfo(kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, &size,
                         &writable);
    std::vector<AUChannelInfo> configs(size / sizeof(AUChannelInfo));
    unit.GetProperty(kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                     configs.data(), &size);
    for (const AUChannelInfo& c : configs)
        std::cout << "channels\t" << c.inChannels << " in, " << c.outChannels << " out\n";
    Float64 latency = 0.0, tail = 0.0;
    size = sizeof latency;
    unit.GetProperty(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &latency, &size);
    size = sizeof tail;
    unit.GetProperty(kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0, &tail, &size);
    std::cout << "latency\t" << latency << " s\ntail\t" << tail << " s\n";
}

// "NAME=VALUE" through the parameter list: a value text of an enumeration, or
// a plain value in the parameter's units.
void applySetting(AUInstance& unit, const std::vector<AUParameterDescription>& params,
                  const std::string& assignment)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        throw UsageError("--set '" + assignment + "': expected \"NAME=VALUE\"");
    const std::string name = Trim(assignment.substr(0, equals)), text = assignment.substr(equals + 1);
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

CFDictionaryRef stateDictionary(const AUBundle& bundle, const ByteChunk& state)
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

void restore(AUInstance& unit, CFDictionaryRef state, const std::string& what)
{
    const OSStatus result = unit.RestoreState(state);
    CFRelease(state);
    if (result != noErr)
        throw std::runtime_error("the bundle refused the state of " + what + " (" +
                                 std::to_string(result) + ")");
}

struct HostRender
{
    RenderRequest request;
    std::string presetIn, presetOut;
};

// The notes of the request, block by block, as bleepforge render plays them,
// ended where the sound ends when the length is automatic.
RenderResult render(const AUBundle& bundle, const HostRender& job)
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
        restore(unit, LoadAUPreset(job.presetIn), "'" + job.presetIn + "'");
    if (!request.stateIn.empty())
        restore(unit, stateDictionary(bundle, ReadState(request.stateIn)), "the state");
    const std::vector<AUParameterDescription> params = unit.Parameters();
    for (const std::string& setting : request.settings)
        applySetting(unit, params, setting);

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
        const OSStatus rendering = unit.Render({left.data(), right.data()},
                                               static_cast<UInt32>(frames), sampleTime);
        if (rendering != noErr)
            throw std::runtime_error("the bundle failed to render (" + std::to_string(rendering) + ")");
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
    RenderResult result = RunRenderLoop(request, target);
    if (!job.presetOut.empty())
    {
        CFDictionaryRef state = nullptr;
        if (unit.SaveState(&state) != noErr)
            throw std::runtime_error("the bundle did not give its state");
        SaveAUPreset(state, job.presetOut);
        CFRelease(state);
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"auhost: hosts the Bleepforge bundle as an Audio Unit host does", "auhost"};
    app.require_subcommand(1);
    std::string bundlePath;

    CLI::App* info = app.add_subcommand("info", "Describe the component, its parameters and presets");
    info->add_option("bundle", bundlePath, "The .component folder")->required();

    HostRender job;
    std::vector<std::string> notes;
    std::string length = "auto", format = "pcm16", output;
    CLI::App* rendering = app.add_subcommand("render", "Render notes through the bundle");
    rendering->add_option("bundle", bundlePath, "The .component folder")->required();
    rendering->add_option("--rate", job.request.rate, "Sample rate in Hz")->default_val(44100);
    rendering->add_option("--block", job.request.block, "Block size in frames")
        ->default_val(512)
        ->check(CLI::Range(1, 8192));
    rendering->add_option("--set", job.request.settings, "\"NAME=VALUE\", repeatable");
    rendering->add_option("--state", job.request.stateIn, "A 484-byte state or sound code");
    rendering->add_option("--note", notes, "N[:VEL[:START[:DUR]]], repeatable");
    rendering->add_option("--length", length, "Seconds, or 'auto'")->default_val("auto");
    rendering->add_option("--seed", job.request.seed, "Seed the random sequence");
    rendering->add_option("--format", format, "pcm16, pcm24, float or double")->default_val("pcm16");
    rendering->add_option("--preset", job.presetIn, "Restore an .aupreset before rendering");
    rendering->add_option("--save-preset", job.presetOut, "Save the state as an .aupreset");
    rendering->add_option("-o,--output", output, "Output WAV file")->required();

    CLI::App* validate = app.add_subcommand("validate", "Run the validation suite on the bundle");
    validate->add_option("bundle", bundlePath, "The .component folder")->required();

    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::ParseError& e)
    {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        return fail(e.what(), 2);
    }
    try
    {
        AUBundle bundle(bundlePath);
        if (app.got_subcommand("validate"))
            return RunValidation(bundle) ? 0 : 1;
        if (app.got_subcommand("info"))
        {
            AUInstance unit(bundle);
            describe(unit, bundle);
            return 0;
        }
        job.request.seeded = rendering->count("--seed") > 0;
        job.request.lengthSeconds = ParseLength(length);
        for (const std::string& note : notes)
            job.request.notes.push_back(ParseNote(note));
        CheckRequest(job.request);
        const SampleFormat sampleFormat = ParseSampleFormat(format);
        const RenderResult audio = render(bundle, job);
        WriteAudio(output, sampleFormat, job.request.rate, audio);
        return 0;
    }
    catch (const UsageError& e)
    {
        return fail(e.what(), 2);
    }
    catch (const std::exception& e)
    {
        return fail(e.what(), 1);
    }
}
