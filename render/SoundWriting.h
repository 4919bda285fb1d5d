#pragma once

// Sounds into files: a session's render or a layered sound's, through the
// one output stage every render shares (normalising, or rounding and
// counting full-scale samples), carrying the sound's code.
#include "AudioFile.h"
#include "LayeredRender.h"
#include "Levels.h"
#include "RenderSession.h"

#include <functional>
#include <string>
#include <vector>

// A file beside the sound, made from the state after the render: the state
// itself when bytes is empty.
struct CompanionOf
{
    std::string path;
    std::function<std::string(const ByteChunk& state)> bytes;
};

// Where a session's sound goes and what goes with it.
struct SoundFile
{
    std::string path;                       // "-" for raw samples on standard output
    AudioFormat format;
    Normalization normalization;
    std::string comment;                    // beside the sound code the file carries
    // Files written with the audio, each from the state after the render.
    std::vector<CompanionOf> companions;
    std::string program;                    // names the program in what is said on stderr
    bool quiet = false;                     // says nothing of how the file was levelled
};

// How a sound reaches a file: render sends the frames to the sink, block by
// block, after telling settled the sound code the file carries; it returns
// the state the companions are made from.
using SoundRender = std::function<ByteChunk(const FrameSink& sink,
                                            const std::function<void(const std::string& code)>& settled)>;
// The output stage every render shares: the sound normalised as asked, else
// rounded as written and its full-scale samples counted; the file carries
// the code, and stops between blocks on an interruption, leaving no file.
// mostFrames bounds the frames render sends. Returns what render returned.
ByteChunk WriteSound(const SoundFile& file, double rate, long mostFrames, const SoundRender& render);

// Renders the session into the file, normalised as asked, carrying the
// sound; stops between blocks on an interruption, leaving no file.
ByteChunk WriteSession(RenderSession& session, const SoundFile& file);

// Writes the layered sound into a file as a single sound's render is
// written: the file carries its layered code. Says on stderr, as the
// file's program, when the automatic length cut a play short.
void WriteLayered(const LayeredSound& sound, const RenderRequest& request, const SoundFile& file,
                  const BackendMaker& makeBackend, int threads);
