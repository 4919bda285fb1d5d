// lv2host: loads an LV2 plug-in through lilv (from LV2_PATH) and renders with
// it offline as bleepforge render does.
#include "AudioFile.h"
#include "LV2Render.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <iostream>

namespace
{

int fail(const std::string& message, int status)
{
    std::cerr << "lv2host: " << message << std::endl;
    return status;
}

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

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"lv2host: hosts the Bleepforge LV2 plug-in (found on LV2_PATH) offline", "lv2host"};
    app.require_subcommand(1);
    std::string uri = BLEEPFORGE_LV2_URI;

    CLI::App* info = app.add_subcommand("info", "List the plug-in's ports and presets");
    info->add_option("--uri", uri, "The plug-in's URI")->capture_default_str();

    LV2Render job;
    std::vector<std::string> notes;
    std::string length = "auto", format = "pcm16", output, seed;
    CLI::App* rendering = app.add_subcommand("render", "Render notes through the plug-in");
    rendering->add_option("--uri", uri, "The plug-in's URI")->capture_default_str();
    rendering->add_option("--rate", job.request.rate, "Sample rate in Hz")->default_val(44100);
    rendering->add_option("--block", job.request.block, "Block size in frames")
        ->default_val(512)
        ->check(CLI::Range(1, 8192));
    rendering->add_option("--set", job.request.settings, "\"NAME=VALUE\", repeatable");
    rendering->add_option("--state", job.request.stateIn,
                          "A state file, an audio file Bleepforge wrote, or a sound code");
    rendering->add_option("--preset", job.preset, "A preset's label or URI (see 'lv2host info')");
    rendering->add_option("--note", notes,
                          "N[:VEL[:START[:DUR]]], repeatable; none plays the note generate plays");
    rendering->add_option("--length", length, "Seconds, or 'auto'")->default_val("auto");
    rendering->add_option("--seed", seed, "Seed the random sequence, 0 ... 4294967295");
    rendering->add_option("--format", format, "pcm16, pcm24, float or double")->default_val("pcm16");
    rendering->add_option("-o,--output", output, "Output WAV file, or - for raw samples")->required();

    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::ParseError& e)
    {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        return fail(std::string(e.what()) + " (see 'lv2host --help')", 2);
    }
    try
    {
        LV2World world(uri);
        if (app.got_subcommand("info"))
        {
            describe(world, uri);
            return 0;
        }
        job.request.seeded = rendering->count("--seed") > 0;
        if (job.request.seeded)
            job.request.seed = static_cast<unsigned>(ParseWhole(seed, 0, UINT_MAX, "--seed"));
        job.request.lengthSeconds = ParseLength(length);
        job.request.generatedNoteWhenNone = true;
        for (const std::string& note : notes)
            job.request.notes.push_back(ParseNote(note));
        CheckRequest(job.request);
        if (!job.request.stateIn.empty())
            ReadState(job.request.stateIn); // refused before any file is made
        AudioWriter writer(output, ParseSampleFormat(format), job.request.rate);
        RenderThroughLV2(world, job, [&writer](const double* left, const double* right, long frames)
                         { writer.Write(left, right, frames); });
        writer.Commit("", "");
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
