// The bleepforge command line: renders sounds to audio files and lists the
// instrument's parameters. CLI11 lives in this translation unit only.
#include "AudioFile.h"
#include "Layout.h"
#include "RenderJob.h"
#include "Snapshot.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>

namespace
{

int fail(const std::string& message, int status)
{
    std::cerr << "bleepforge: " << message << std::endl;
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Bleepforge: short retro-game sound effects", "bleepforge"};
    app.require_subcommand(1);

    RenderRequest request;
    std::vector<std::string> notes;
    std::string length = "auto", format = "pcm16", output;
    CLI::App* render = app.add_subcommand("render", "Render notes to a stereo WAV file");
    render->add_option("--rate", request.rate, "Sample rate in Hz")
        ->default_val(44100);
    render->add_option("--block", request.block, "Block size in frames (1 ... 8192)")
        ->default_val(512)
        ->check(CLI::Range(1, 8192));
    render->add_option("--set", request.settings, "\"NAME=VALUE\", repeatable, applied in order");
    render->add_option("--state", request.stateIn, "A 484-byte state applied before any --set");
    render->add_option("--state-out", request.stateOut, "Write the state after all settings");
    render->add_option("--note", notes, "N[:VEL[:START[:DUR]]], repeatable");
    render->add_option("--length", length, "Seconds, or 'auto'")->default_val("auto");
    render->add_option("--seed", request.seed, "Seed the random generator");
    render->add_option("--format", format, "pcm16, pcm24, float or double")->default_val("pcm16");
    render->add_option("-o,--output", output, "Output WAV file, or - for raw samples")->required();

    app.add_subcommand("params", "List the 60 parameters");

    SnapshotRequest snapshot;
    std::string snapshotOutput;
    CLI::App* shot = app.add_subcommand("snapshot", "Draw the editor to a PNG file");
    shot->add_option("--state", snapshot.stateIn, "A 484-byte state applied before any --set");
    shot->add_option("--set", snapshot.settings, "\"NAME=VALUE\", repeatable, applied in order");
    shot->add_option("--note", snapshot.notes, "A MIDI note held while half a second plays")
        ->check(CLI::Range(0, 127));
    shot->add_flag("--about", snapshot.about, "Open the about box");
    shot->add_option("--scale", snapshot.scale, "1, or 2 for pixel-doubled")->default_val(1);
    shot->add_option("-o,--output", snapshotOutput, "Output PNG file")->required();

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
        // Every command builds the instrument, and with it the editor.
        const std::string missing = MissingEditorImage();
        if (!missing.empty())
            return fail(missing, 1);
        if (app.got_subcommand("snapshot"))
        {
            WriteSnapshot(snapshot, snapshotOutput);
            return 0;
        }
        if (app.got_subcommand("params"))
        {
            std::cout << DescribeParams();
            return 0;
        }
        request.seeded = render->count("--seed") > 0;
        request.lengthSeconds = ParseLength(length);
        for (const std::string& note : notes)
            request.notes.push_back(ParseNote(note));
        CheckRequest(request);
        const SampleFormat sampleFormat = ParseSampleFormat(format);
        const RenderResult audio = Render(request);
        WriteAudio(output, sampleFormat, request.rate, audio, request.stateOut);
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
