#pragma once

// One render, whichever way the instrument is reached: the settings read by
// one set of rules, the state, the seed and the default note applied in one
// order (SoundWriting writes what it renders into a file). A backend only
// carries out what the session decides. Nothing here touches a file, so the
// WebAssembly build takes it too.
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
    const RenderRequest& Request() const { return mRequest; }

private:
    RenderBackend& mBackend;
    RenderRequest mRequest;
    ByteChunk mState;
};
