// auhost: loads an Audio Unit–style bundle and drives it as a host does, to
// describe it, render with it, and validate it.
#include "HostRender.h"
#include "Interrupt.h"
#include "RenderOptions.h"
#include "ToolRun.h"
#include "Validate.h"

#include <CLI/CLI.hpp>

#include <iostream>

namespace
{

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

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"auhost: hosts the Bleepforge bundle as an Audio Unit host does", "auhost"};
    app.require_subcommand(1);
    std::string bundlePath;

    CLI::App* info = app.add_subcommand("info", "Describe the component, its parameters and presets");
    info->add_option("bundle", bundlePath, "The .component folder")->required();

    RenderOptions options;
    std::string presetIn, presetOut;
    CLI::App* rendering =
        app.add_subcommand("render", "Render notes through the bundle, as bleepforge render does");
    rendering->add_option("bundle", bundlePath, "The .component folder")->required();
    options.AddRender(rendering);
    rendering->add_option("--preset", presetIn, "Restore an .aupreset before --state");
    rendering->add_option("--save-preset", presetOut,
                          "Save the state as an .aupreset once the render has succeeded");

    CLI::App* validate = app.add_subcommand("validate", "Run the validation suite on the bundle");
    validate->add_option("bundle", bundlePath, "The .component folder")->required();

    const ToolWords words{"auhost", "interrupted; the file in flight was removed", ""};
    return RunTool(app, argc, argv, words,
                   [&]
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
                       BundleBackend backend(bundle, presetIn);
                       options.RenderInto(backend, "auhost",
                                          {{presetOut, [&backend](const ByteChunk&) { return backend.PresetText(); }}});
                       return 0;
                   });
}
