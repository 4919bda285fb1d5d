#pragma once

// The options every render command shares (bleepforge render and generate,
// auhost render, lv2host render), as the user typed them. Header only: CLI11 stays in each
// program's one translation unit that parses its command line.
#include "AudioFile.h"
#include "Levels.h"
#include "SoundWriting.h"
#include "RequestParsing.h"
#include "KIT_Text.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

struct RenderOptions
{
    RenderRequest request;
    std::vector<std::string> notes;
    std::string length = "auto", format = "pcm16", normalize;
    int channels = 2;
    Normalization normalization;

    void Add(CLI::App* command)
    {
        command->add_option("--rate", request.rate,
                            "Sample rate in Hz, a whole number " + std::to_string(kMinRate) +
                                " ... " + std::to_string(kMaxRate))
            ->default_val(44100);
        command->add_option("--block", request.block, "Block size in frames (1 ... 8192)")
            ->default_val(512)
            ->check(CLI::Range(1, 8192));
        command->add_option("--set", request.settings,
                            "\"NAME=VALUE\", repeatable, applied in order");
        command->add_option("--state", request.stateIn,
                            "A 484-byte state file, or a sound code, applied before any --set");
        command->add_option("--note", notes,
                            "N[:VEL[:START[:DUR]]], repeatable (default: 60 at 127, held through "
                            "attack, hold and decay, as generate plays it)");
        command->add_option("--length", length,
                            "Seconds, more than 0 and at most 3600, or 'auto' (until the sound "
                            "has died away)")
            ->default_val("auto");
        command->add_option("--format", format,
                            "pcm16, pcm24, float or double, where the file type has a choice "
                            "(FLAC: pcm16 or pcm24; Ogg Vorbis and MP3 have none)")
            ->default_val("pcm16");
        command->add_option("--channels", channels, "1 or 2 (both channels are the same)")
            ->default_val(2);
        command->add_option("--normalize", normalize,
                            "peak[:DBFS] (-1 by default) or lufs[:LUFS] (EBU R128, -16 by "
                            "default, true peak at most -1 dBTP): the gated integrated loudness, "
                            "or for a sound shorter than 400 ms the loudness of one 400 ms window "
                            "holding it (its maximum momentary loudness), measured on the channels "
                            "written. A line on stderr names each file, the measure, the gain and "
                            "whether the ceiling held it. Without it the sound is written as it "
                            "renders");
    }

    // Parses what CLI11 leaves as text; throws UsageError.
    AudioFormat Finish(const std::string& output)
    {
        request.lengthSeconds = ParseLength(length);
        if (!normalize.empty())
            normalization = ParseNormalization(normalize);
        for (const std::string& note : notes)
            request.notes.push_back(ParseNote(note));
        CheckRequest(request);
        return OutputFormat(output, ParseSampleFormat(format), channels, request);
    }

    // The options of a render command (bleepforge render, auhost render,
    // lv2host render) beyond the shared ones: the seed, the state written
    // beside the sound and the output, so that each takes the same.
    void AddRender(CLI::App* command)
    {
        Add(command);
        mSeed = command->add_option("--seed", seedText,
                                    "Seed the random sequence the noise draws from, 0 ... "
                                    "4294967295 (without it, one drawn from the clock, printed on standard error)");
        command->add_option("--state-out", stateOut,
                            "Write the state after the render (- for standard output)");
        command->add_option("-o,--output", output,
                            "Output file, its type by extension (.wav, .flac, .ogg, .aiff, .mp3), "
                            "or - for raw samples")
            ->required();
    }
    // Renders through the backend into the output as every render command
    // does: the sound's own note when no --note is given, the file carrying
    // the sound, the state (--state-out) and any other companion written
    // beside it. Throws UsageError for what was asked wrongly, before
    // anything is written.
    ByteChunk RenderInto(RenderBackend& backend, const std::string& program,
                         std::vector<CompanionOf> companions = {})
    {
        // Every render is seeded, so that the seed of any file can be told
        // and given again; the instrument's own seed counts whole seconds.
        request.seeded = true;
        request.seed = SeedGiven() ? static_cast<unsigned>(ParseWhole(seedText, 0, UINT_MAX, "--seed"))
                                   : ClockSeed();
        request.generatedNoteWhenNone = true;
        const AudioFormat format = Finish(output);
        if (!stateOut.empty())
            companions.insert(companions.begin(), {stateOut, nullptr});
        std::vector<std::string> outputs = {output};
        for (const CompanionOf& companion : companions)
            outputs.push_back(companion.path);
        RefuseSharedOutputs(outputs);
        RenderSession session(backend, request);
        session.Prepare();
        if (!SeedGiven())
            std::cerr << program << ": seed " << request.seed << std::endl;
        return WriteSession(session, {output, format, normalization, "", companions, program});
    }

    bool SeedGiven() const { return mSeed && mSeed->count() > 0; }

    std::string output, stateOut, seedText;

private:
    CLI::Option* mSeed = nullptr;
};
