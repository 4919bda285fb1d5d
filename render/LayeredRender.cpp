#include "LayeredRender.h"

#include "WorkerThreads.h"

#include <algorithm>
#include <stdexcept>

namespace
{

// Frames the whole is mixed in at a time: long enough that threads rendering
// plays side by side meet seldom. The sound does not depend on it.
const long kMixFrames = 4096;

} // namespace

// One play of a layer: an instrument of its own rendering its solo render,
// the frames rendered and not yet mixed kept from the play's frame `first`.
struct LayeredRender::Play
{
    const LayerPart* part = nullptr;
    std::unique_ptr<RenderBackend> backend;
    std::unique_ptr<RenderSession> session;
    std::unique_ptr<RenderLoop> loop;
    std::vector<double> left, right;
    long first = 0, rendered = 0;
    bool ended = false;

    // Renders until the play holds its frame until - 1, or has ended.
    void RenderUntil(long until)
    {
        const FrameSink keep = [this](const double* l, const double* r, long frames)
        {
            left.insert(left.end(), l, l + frames);
            right.insert(right.end(), r, r + frames);
            rendered += frames;
        };
        while (!ended && rendered < until)
            ended = !loop->Step(keep);
    }
    // Lets go of the frames before the play's frame `from`.
    void Forget(long from)
    {
        const long drop = std::min(from, rendered) - first;
        if (drop <= 0)
            return;
        left.erase(left.begin(), left.begin() + drop);
        right.erase(right.begin(), right.begin() + drop);
        first += drop;
    }
    long End() const { return part->offset + rendered; }
};

LayeredRender::LayeredRender(const LayeredSound& sound, const RenderRequest& request,
                             BackendMaker makeBackend, int threads)
    : mSound(sound), mRequest(request), mMakeBackend(std::move(makeBackend)),
      mLimit(MostFrames(request))
{
    const std::vector<LayerProblem> problems = CheckLayered(sound);
    if (!problems.empty())
        throw std::invalid_argument("the layered sound cannot play: " + problems.front().text);
    mParts = PartsOf(sound, request.rate);
    mPlays.resize(mParts.size());
    mState.assign(mParts.size(), kWaiting);
    if (threads > 1)
        mWorkers = std::make_unique<WorkerThreads>(threads);
    // Nothing sounding lasts as a silent sound does.
    mEnd = 1 + static_cast<long>(kAutoTailSeconds * request.rate);
}

LayeredRender::~LayeredRender() = default;

// Plays start in part order, each in a fresh instrument seeded as its layer says.
void LayeredRender::StartPlays(long until)
{
    for (size_t i = 0; i < mParts.size(); ++i)
    {
        if (mState[i] != kWaiting || mParts[i].offset >= until)
            continue;
        const Layer& layer = mSound.layers[static_cast<size_t>(mParts[i].layer)];
        RenderRequest solo;
        solo.rate = mRequest.rate;
        solo.block = mRequest.block;
        solo.notes = mParts[i].notes;
        solo.seeded = true;
        solo.seed = layer.seed;
        auto play = std::make_unique<Play>();
        play->part = &mParts[i];
        play->backend = mMakeBackend();
        play->session = std::make_unique<RenderSession>(*play->backend, solo, layer.state);
        play->session->Prepare();
        play->loop = std::make_unique<RenderLoop>(play->session->Begin());
        mPlays[i] = std::move(play);
        mState[i] = kPlaying;
    }
}

void LayeredRender::RenderPlays(long until)
{
    std::vector<Play*> due;
    for (const std::unique_ptr<Play>& play : mPlays)
        if (play && !play->ended && play->rendered < until - play->part->offset)
            due.push_back(play.get());
    const auto render = [&](size_t k) { due[k]->RenderUntil(until - due[k]->part->offset); };
    if (mWorkers)
        mWorkers->Run(due.size(), render);
    else
        for (size_t k = 0; k < due.size(); ++k)
            render(k);
}

// Each frame is the first play's sample times its weight, plus each later
// play's in turn; a frame no play reaches is 0.
void LayeredRender::Mix(double* left, double* right, long frames)
{
    std::fill(left, left + frames, 0.0);
    std::fill(right, right + frames, 0.0);
    mCovered.assign(static_cast<size_t>(frames), 0);
    for (const std::unique_ptr<Play>& play : mPlays)
    {
        if (!play)
            continue;
        const LayerPart& part = *play->part;
        const long from = std::max(mPosition, part.offset) - mPosition;
        const long to = std::min(mPosition + frames, play->End()) - mPosition;
        for (long k = from; k < to; ++k)
        {
            const size_t own = static_cast<size_t>(mPosition + k - part.offset - play->first);
            const double l = play->left[own] * part.leftWeight;
            const double r = play->right[own] * part.rightWeight;
            const size_t at = static_cast<size_t>(k);
            left[at] = mCovered[at] ? left[at] + l : l;
            right[at] = mCovered[at] ? right[at] + r : r;
            mCovered[at] = 1;
        }
    }
}

// Plays that have ended and are mixed to their end let go of their instrument.
void LayeredRender::Retire(long mixedUntil)
{
    for (size_t i = 0; i < mPlays.size(); ++i)
    {
        Play* play = mPlays[i].get();
        if (!play)
            continue;
        play->Forget(mixedUntil - play->part->offset);
        if (play->ended)
            mEnd = std::max(mEnd, play->End());
        // A play ends at the most a sound lasts, as the whole does: cut as
        // much as a play that starts past it.
        mPlayCapped = mPlayCapped || (play->ended && play->loop->Capped());
        if (play->ended && play->End() <= mixedUntil)
        {
            mPlays[i].reset();
            mState[i] = kDone;
        }
    }
}

// The frames of the mix that belong to the whole: all of them while any play
// may sound on; up to the last play's end once every play has ended.
long LayeredRender::Deliverable(long frames) const
{
    if (mRequest.lengthSeconds > 0)
        return frames;
    for (size_t i = 0; i < mParts.size(); ++i)
        if (mState[i] == kWaiting || (mPlays[i] && !mPlays[i]->ended))
            return frames;
    return std::max(0L, std::min(frames, mEnd - mPosition));
}

bool LayeredRender::SoundsPast(long frame) const
{
    for (size_t i = 0; i < mParts.size(); ++i)
        if (mState[i] == kWaiting || (mPlays[i] && !mPlays[i]->ended))
            return true;
    return mEnd > frame;
}

long LayeredRender::Next(double* left, double* right, long frames)
{
    if (mEnded)
        return 0;
    long count = std::min(frames, mLimit - mPosition);
    if (count > 0)
    {
        StartPlays(mPosition + count);
        RenderPlays(mPosition + count);
        Retire(mPosition); // ends known before the frames are counted
        count = Deliverable(count);
    }
    if (count <= 0)
    {
        mCut = mRequest.lengthSeconds <= 0 && (mPlayCapped || SoundsPast(mPosition));
        mEnded = true;
        return 0;
    }
    Mix(left, right, count);
    mPosition += count;
    Retire(mPosition);
    return count;
}

long RenderLayered(LayeredRender& render, const FrameSink& sink)
{
    std::vector<double> left(kMixFrames), right(kMixFrames);
    long total = 0;
    for (long frames; (frames = render.Next(left.data(), right.data(), kMixFrames)) > 0;
         total += frames)
        sink(left.data(), right.data(), frames);
    return total;
}
