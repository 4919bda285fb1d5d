// lv2host: loads an LV2 plug-in through lilv (from LV2_PATH) and renders with
// it offline as bleepforge render does.
#include "Interrupt.h"
#include "LV2Render.h"
#include "RenderOptions.h"
#include "ToolRun.h"

#include <CLI/CLI.hpp>

#include <unistd.h>
#include <iostream>

namespace
{

const char* kindOf(const LV2PortInfo& port)
{
    if (port.control)
        return port.input ? "control in" : "control out";
    if (port.audio)
        return port.input ? "audio in" : "audio out";
    if (port.atom)
        return port.input ? "events in" : "events out";
    return "other";
}

void describe(const LV2World& world, const std::string& uri)
{
    std::cout << "plugin\t" << uri << "\nname\t" << world.Name() << "\n";
    for (const LV2PortInfo& port : world.Ports())
    {
        std::cout << "port\t" << port.index << "\t" << port.symbol << "\t" << port.name << "\t"
                  << kindOf(port);
        if (port.control)
            std::cout << "\t" << port.minimum << " ... " << port.maximum << "\tdefault "
                      << port.defaultValue;
        for (size_t i = 0; i < port.scalePoints.size(); ++i)
            std::cout << (i ? ", " : "\tvalues ") << port.scalePoints[i].first << "="
                      << port.scalePoints[i].second;
        std::cout << "\n";
    }
    for (const auto& [label, presetUri] : world.Presets())
        std::cout << "preset\t" << label << "\t" << presetUri << "\n";
}

// Where an install puts the bundle beside this program, and the build's own.
std::vector<std::string> ownBundles()
{
    std::vector<std::string> bundles;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0)
    {
        const std::string program(exe, static_cast<size_t>(n));
        bundles.push_back(program.substr(0, program.rfind('/')) + "/../lib/lv2/Bleepforge.lv2");
    }
    bundles.push_back(BLEEPFORGE_BUILD_LV2);
    return bundles;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"lv2host: hosts the Bleepforge LV2 plug-in (found on LV2_PATH) offline", "lv2host"};
    app.require_subcommand(1);
    std::string uri = BLEEPFORGE_LV2_URI;

    CLI::App* info = app.add_subcommand("info", "List the plug-in's ports and presets");
    info->add_option("--uri", uri, "The plug-in's URI")->capture_default_str();

    RenderOptions options;
    std::string preset;
    CLI::App* rendering = app.add_subcommand("render", "Render notes through the plug-in, as bleepforge render does");
    rendering->add_option("--uri", uri, "The plug-in's URI")->capture_default_str();
    options.AddRender(rendering);
    rendering->add_option("--preset", preset,
                          "A preset's label or URI (see 'lv2host info'), restored before --state");

    const ToolWords words{"lv2host", "interrupted; the file in flight was removed", " (see 'lv2host --help')"};
    return RunTool(app, argc, argv, words,
                   [&]
                   {
                       LV2World world(uri, ownBundles());
                       if (app.got_subcommand("info"))
                       {
                           describe(world, uri);
                           return 0;
                       }
                       LV2Backend backend(world, preset);
                       options.RenderInto(backend, "lv2host");
                       return 0;
                   });
}
