#pragma once

// One render, whichever way the instrument is reached: the settings read by
// one set of rules, the state, the seed and the default note applied in one
// order, and the file written by one writer. A backend only carries out what
// the session decides.
#include "AudioFile.h"
#include "Levels.h"
#include "ParamSettings.h"
#include "RenderLoop.h"
#include "KIT_UsageError.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How a session reaches one instrument. Open comes first; the rest follow in
// the order the session calls them.
class RenderBackend
{
public:
    virtual ~RenderBackend() = default;
    // A fresh instrument for this rate and block size, seeded when a seed is given.
    virtual void Open(double rate, int block, std::optional<unsigned> seed) = 0;
    virtual std::vector<ParamInfo> Params() = 0;
    // Throws std::runtime_error when the instrument refuses it.
    virtual void TakeState(const ByteChunk& state) = 0;
    // The index is into the list Params gave, which the session asks for first.
    virtual void TakeSetting(const ResolvedSetting& setting) = 0;
    // The 484-byte state, as the next frame would render it.
    virtual ByteChunk State() = 0;
    // Notes in and blocks out, at the rate and block size opened.
    virtual RenderTarget Target() = 0;
};

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

class RenderSession
{
public:
    // Reads the request's state (refused here, before anything is built).
    RenderSession(RenderBackend& backend, const RenderRequest& request);
    // With a state already read in place of the request's.
    RenderSession(RenderBackend& backend, const RenderRequest& request, const ByteChunk& state);

    // Opens the backend, then applies the state and each setting in order;
    // returns the parameter each setting set.
    std::vector<int> Prepare();
    // Renders the request's notes, or the sound's default note when it asks
    // for one and gives none; the frames go to the sink as they render, and
    // settled hears the state the sound renders with before the first frame.
    // Returns the state after the render.
    ByteChunk Render(const FrameSink& sink,
                     const std::function<void(const ByteChunk&)>& settled = nullptr);
    // The same render as a loop to step, for sounds rendered side by side.
    RenderLoop Begin(const std::function<void(const ByteChunk&)>& settled = nullptr);
    // Renders into the file, normalised as asked, carrying the sound; stops
    // between blocks on an interruption, leaving no file.
    ByteChunk Write(const SoundFile& file);

private:
    RenderBackend& mBackend;
    RenderRequest mRequest;
    ByteChunk mState;
};
