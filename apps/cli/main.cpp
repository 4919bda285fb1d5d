// The bleepforge command line: renders sounds and generated sounds to audio
// files, shares states as codes, draws the editor and lists the parameters.
// CLI11 lives in this translation unit only.
#include "PresetSound.h"
#include "AudioFile.h"
#include "Build.h"
#include "Generate.h"
#include "Interrupt.h"
#include "Kinds.h"
#include "LayeredSources.h"
#include "Layers.h"
#include "Layout.h"
#include "RenderJob.h"
#include "RenderOptions.h"
#include "ToolRun.h"
#include "ShareCode.h"
#include "Snapshot.h"
#include "RequestParsing.h"
#include "KIT_Text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace
{

using Settings = std::vector<std::pair<std::string, std::string>>;

// One --set a line, quoted for a shell.
std::string SettingsAsArguments(const Settings& settings)
{
    std::string text;
    for (const auto& [name, value] : settings)
        text += "--set \"" + name + "=" + value + "\"\n";
    return text;
}

std::string jsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return quoted + "\"";
}

// Numbers stay numbers; display texts are strings.
std::string SettingsAsJson(const Settings& settings)
{
    std::string text = "{";
    for (size_t i = 0; i < settings.size(); ++i)
    {
        const std::string& value = settings[i].second;
        char* end = nullptr;
        std::strtod(value.c_str(), &end);
        const bool number = !value.empty() && end == value.c_str() + value.size();
        text += std::string(i ? ",\n " : "\n ") + jsonString(settings[i].first) + ": " +
                (number ? value : jsonString(value));
    }
    return text + "\n}\n";
}

// The parameters as settings and recipes read them.
std::vector<ParamInfo> InstrumentParamList()
{
    InstrumentBackend instrument;
    instrument.Open(44100.0, 512, std::nullopt);
    return instrument.Params();
}

unsigned parseSeed(const std::string& text)
{
    return static_cast<unsigned>(ParseWhole(text, 0, UINT_MAX, "--seed"));
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Bleepforge: short retro-game sound effects", "bleepforge"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "bleepforge " BLEEPFORGE_VERSION);
    RenderOptions renderOptions;
    CLI::App* render = app.add_subcommand("render", "Render notes to an audio file");
    renderOptions.AddRender(render);
    std::string layersIn;
    render->add_option("--layers", layersIn,
                       "A layered sound (a text file, a layered code, or an audio file carrying one) in place "
                       "of --state; --state takes one too");
    std::string generateSeed, generateCount = "1";

    GenerateRequest generate;
    RenderOptions generateOptions;
    CLI::App* gen = app.add_subcommand("generate", "Make a new sound of a kind and render it");
    std::string recipeFile;
    gen->add_option("kind", generate.kind,
                    "pickup (or coin), shoot (laser), powerup (power-up), hit (hurt), jump, blip, "
                    "slash, random, mutate or reset, in any case, or a recipe kind ('bleepforge "
                    "kinds' lists them)");
    gen->add_option("--recipe", recipeFile, "Make the sounds from a recipe file (TOML) instead of a kind")
        ->check(CLI::ExistingFile);
    generateOptions.Add(gen);
    gen->add_option("--seed", generateSeed,
                    "Seed of the first sound, 0 ... 4294967295; sound k uses SEED + k");
    gen->add_option("--count", generateCount, "How many sounds (then -o is a pattern)")
        ->default_val("1");
    gen->add_flag("--force", generate.force, "Overwrite files a batch would write");
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    generate.jobs = cores;
    gen->add_option("--jobs", generate.jobs,
                    "Sounds of a batch made at once (default: " + std::to_string(cores) +
                        ", the cores); the files are the same whatever the number")
        ->check(CLI::Range(1, 256));
    gen->add_option("--lock", generate.locks,
                    "Keep a parameter (its exact name) or a group through the generator: "
                    "osc1, osc2, osc3, noise, amp-env, filter-env, filters, pitch, crusher, "
                    "output; repeatable");
    gen->add_option("--state-out", generate.stateOut, "Write each sound's state (a pattern too)");
    gen->add_option("-o,--output", generate.output,
                    "Output file (.wav, .flac, .ogg, .aiff, .mp3), - for raw samples, or a "
                    "pattern such as coin-%03d.wav")
        ->required();

    std::string shared;
    CLI::App* share = app.add_subcommand("share", "Print a state as a one-line sound code");
    share->add_option("state", shared, "A 484-byte state file (or a code), or a layered sound")->required();

    BuildRequest buildRequest;
    buildRequest.jobs = cores;
    CLI::App* buildCommand = app.add_subcommand(
        "build", "Make a game's sound set from a manifest, only what changed since the last build");
    buildCommand->add_option("manifest", buildRequest.manifest, "The manifest (TOML)")->required()->check(CLI::ExistingFile);
    buildCommand->add_option("--jobs", buildRequest.jobs,
                             "Sounds made at once (default: " + std::to_string(cores) +
                                 ", the cores); the files are the same whatever the number")
        ->check(CLI::Range(1, 256));
    buildCommand->add_flag("--force", buildRequest.force, "Make every file again, up to date or not");
    buildCommand->add_flag("--check", buildRequest.check,
                           "Write nothing: list the files missing, stale or different from what the "
                           "manifest makes, and exit 1 if there are any");
    app.add_subcommand("params", "List the 60 parameters");
    app.add_subcommand("kinds", "List the kinds of sound: built-in and recipes, and where recipes are found");

    std::string shown;
    bool showJson = false;
    CLI::App* show = app.add_subcommand(
        "show", "Print a sound's 60 values as --set arguments that make it again exactly, or a layered "
                "sound as its text");
    show->add_option("sound", shown,
                     "A state file, an audio file Bleepforge wrote, or a sound code; or a layered sound")
        ->required();
    show->add_flag("--json", showJson, "Print one JSON object, names to values");

    SnapshotRequest snapshot;
    std::string snapshotOutput;
    CLI::App* shot = app.add_subcommand("snapshot", "Draw the editor to a PNG file");
    shot->add_option("--state", snapshot.stateIn, "A 484-byte state or sound code");
    shot->add_option("--set", snapshot.settings, "\"NAME=VALUE\", repeatable, applied in order");
    shot->add_option("--note", snapshot.notes, "A MIDI note held while half a second plays")
        ->check(CLI::Range(0, 127));
    shot->add_flag("--about", snapshot.about, "Open the about box");
    shot->add_option("--scale", snapshot.scale, "1, or 2 for pixel-doubled")->default_val(1);
    shot->add_option("-o,--output", snapshotOutput, "Output PNG file")->required();

    if (argc == 1)
    {
        std::cerr << app.help();
        return 2;
    }
    ToolWords words{"bleepforge", "interrupted; the file in flight was removed, finished files are kept", ""};
    return RunTool(app, argc, argv, words,
                   [&]
                   {
                       if (app.got_subcommand("share") && !IsLayeredInput(shared))
                       {
                           std::cout << EncodeShareCode(ReadSound(shared)) << "\n";
                           return 0;
                       }
                       // Only the command that draws needs the editor's images.
                       if (app.got_subcommand("snapshot"))
                       {
                           const std::string unusable = LoadEditorImages();
                           if (!unusable.empty())
                               return ToolFailed(words, unusable, 1);
                           WriteSnapshot(snapshot, snapshotOutput);
                           return 0;
                       }
                       if (app.got_subcommand("share"))
                       {
                           std::cout << EncodeLayered(ReadLayered(shared)) << "\n";
                           return 0;
                       }
                       if (app.got_subcommand("show") && IsLayeredInput(shown))
                       {
                           if (showJson)
                               throw UsageError("--json prints one sound's values; a layered sound shows as its "
                                                "text");
                           std::cout << LayeredText(ReadLayered(shown));
                           return 0;
                       }
                       if (app.got_subcommand("show"))
                       {
                           std::cout << (showJson ? SettingsAsJson(SettingsOf(shown))
                                                  : SettingsAsArguments(SettingsOf(shown)));
                           return 0;
                       }
                       if (app.got_subcommand("params"))
                       {
                           std::cout << DescribeParams();
                           return 0;
                       }
                       if (app.got_subcommand("build"))
                       {
                           if (buildRequest.check)
                               words.interrupted = "interrupted; --check writes nothing, and wrote nothing";
                           return RunBuild(buildRequest);
                       }
                       if (app.got_subcommand("kinds"))
                       {
                           std::cout << DescribeKinds(InstrumentParamList());
                           return 0;
                       }
                       if (app.got_subcommand("generate"))
                       {
                           generate.layers = LayeredKindOf(generate.kind, recipeFile);
                           if (!generate.layers)
                               generate.recipe = RecipeOf(generate.kind, recipeFile, InstrumentParamList());
                           generate.format = generateOptions.Finish(generate.output);
                           generate.normalization = generateOptions.normalization;
                           generate.render = generateOptions.request;
                           generate.render.generatedNoteWhenNone = true;
                           generate.seeded = gen->count("--seed") > 0;
                           generate.seed = generate.seeded ? parseSeed(generateSeed) : ClockSeed();
                           generate.count = static_cast<int>(ParseWhole(generateCount, 1, kMaxCount, "--count"));
                           RunGenerate(generate);
                           return 0;
                       }
                       const std::string& stateIn = renderOptions.request.stateIn;
                       if (!layersIn.empty() && !stateIn.empty())
                           throw UsageError("give --layers or --state, not both");
                       if (!layersIn.empty() || (!stateIn.empty() && IsLayeredInput(stateIn)))
                       {
                           const std::string layered = layersIn.empty() ? stateIn : layersIn;
                           renderOptions.request.stateIn.clear();
                           RenderLayers(layered, renderOptions);
                           return 0;
                       }
                       InstrumentBackend instrument;
                       renderOptions.RenderInto(instrument, "bleepforge");
                       return 0;
                   });
}
