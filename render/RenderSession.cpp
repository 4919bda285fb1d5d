#include "RenderSession.h"

#include "Interrupt.h"
#include "NormalizedWriter.h"
#include "Params.h"
#include "PresetSound.h"
#include "ShareCode.h"
#include "SoundState.h"
#include "KIT_Text.h"

#include <iostream>
#include <memory>

namespace
{

// The hosted plug-ins hand over single-precision samples. Every backend's
// are rounded alike, so that a sound makes one file whichever way it was
// reached; only a file of doubles keeps what the backend gave.
FrameSink asWritten(const AudioFormat& format, const FrameSink& sink)
{
    if (format.sample == SampleFormat::kDouble)
        return sink;
    auto rounded = std::make_shared<std::vector<double>>();
    return [sink, rounded](const double* left, const double* right, long frames)
    {
        rounded->resize(2 * static_cast<size_t>(frames));
        double* l = rounded->data();
        double* r = l + frames;
        for (long i = 0; i < frames; ++i)
        {
            l[i] = static_cast<float>(left[i]);
            r[i] = static_cast<float>(right[i]);
        }
        sink(l, r, frames);
    };
}

} // namespace

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

ByteChunk RenderSession::Write(const SoundFile& file)
{
    return WriteSound(file, mRequest.rate, MostFrames(mRequest),
                      [this](const FrameSink& sink, const std::function<void(const std::string&)>& settled)
                      {
                          return Render(sink, [&settled](const ByteChunk& sound)
                                        { settled(EncodeShareCode(sound)); });
                      });
}

ByteChunk WriteSound(const SoundFile& file, double rate, long mostFrames, const SoundRender& render)
{
    const auto companionsOf = [&file](const ByteChunk& state)
    {
        std::vector<Companion> made;
        for (const CompanionOf& companion : file.companions)
            if (!companion.path.empty())
                made.push_back({companion.path, companion.bytes ? companion.bytes(state) : BytesOf(state)});
        return made;
    };
    const auto say = [&file](const std::string& line)
    {
        if (!line.empty() && !file.quiet)
            std::cerr << file.program << ": " << line << std::endl;
    };

    if (file.normalization.kind != Normalization::kNone)
    {
        NormalizedWriter writer(file.path, file.format, rate, file.normalization);
        std::string code;
        const ByteChunk state = render(
            Interruptible(asWritten(file.format, [&writer](const double* left, const double* right, long frames)
                                    { writer.Write(left, right, frames); })),
            [&code](const std::string& settled) { code = settled; });
        StopIfInterrupted();
        const Leveling done = writer.Commit({file.comment, code}, companionsOf(state));
        say(DescribeLeveling(file.path, done, file.normalization));
        return state;
    }
    // The writer opens once the sound is settled, so that the file's head
    // carries it.
    std::unique_ptr<AudioWriter> writer;
    long clipped = 0;
    const ByteChunk state = render(
        Interruptible(asWritten(file.format,
                                [&writer, &clipped](const double* left, const double* right, long frames)
                                {
                                    clipped += CountFullScale(left, right, frames);
                                    writer->Write(left, right, frames);
                                })),
        [&](const std::string& code)
        { writer = std::make_unique<AudioWriter>(file.path, file.format, rate, mostFrames, AudioTags{file.comment, code}); });
    StopIfInterrupted();
    writer->Commit(companionsOf(state));
    say(ClippingWarning(file.path, clipped));
    return state;
}
