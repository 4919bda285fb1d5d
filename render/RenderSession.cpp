#include "RenderSession.h"

#include "Params.h"
#include "PresetSound.h"
#include "SoundState.h"

RenderSession::RenderSession(RenderBackend& backend, const RenderRequest& request)
    : mBackend(backend), mRequest(request)
{
    if (!request.stateIn.empty())
        mState = ReadSound(request.stateIn);
}

RenderSession::RenderSession(RenderBackend& backend, const RenderRequest& request, const ByteChunk& state)
    : mBackend(backend), mRequest(request), mState(state)
{
}

std::vector<int> RenderSession::Prepare()
{
    mBackend.Open(mRequest.rate, mRequest.block,
                  mRequest.seeded ? std::optional<unsigned>(mRequest.seed) : std::nullopt);
    if (mState.Size() > 0)
        mBackend.TakeState(mState);
    const std::vector<ParamInfo> params = mRequest.settings.empty() ? std::vector<ParamInfo>()
                                                                    : mBackend.Params();
    std::vector<int> set;
    for (const std::string& setting : mRequest.settings)
    {
        const ResolvedSetting resolved = ResolveSetting(params, setting);
        mBackend.TakeSetting(resolved);
        set.push_back(resolved.index);
    }
    return set;
}

RenderLoop RenderSession::Begin(const std::function<void(const ByteChunk&)>& settled)
{
    const ByteChunk sound = mBackend.State();
    RenderRequest played = mRequest;
    if (played.notes.empty() && played.generatedNoteWhenNone)
        played.notes.push_back(DefaultNote(sound));
    if (settled)
        settled(sound);
    return RenderLoop(played, mBackend.Target());
}

ByteChunk RenderSession::Render(const FrameSink& sink,
                                const std::function<void(const ByteChunk&)>& settled)
{
    RenderLoop loop = Begin(settled);
    while (loop.Step(sink))
    {
    }
    return mBackend.State();
}
