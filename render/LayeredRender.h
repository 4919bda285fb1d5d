#pragma once

// Renders a layered sound: each play of each layer is its solo render (as a
// single sound renders with --state and --seed, through a backend of its
// own), offset, weighted per channel and summed in double precision in
// layer and play order. A play sounds only from its start to its own end,
// so an instrument lives only as long as its play; memory does not grow
// with the length. The sum is the same, bit for bit, however many threads
// render the plays.
#include "LayeredSound.h"
#include "RenderSession.h"

#include <functional>
#include <memory>
#include <vector>

// A fresh backend for each play.
using BackendMaker = std::function<std::unique_ptr<RenderBackend>()>;

class WorkerThreads;

class LayeredRender
{
public:
    // The request gives the rate, the block size the plays render in and the
    // length: below 0, until the last play has ended, at most kMaxAutoSeconds.
    // threads: plays rendered at once, the calling thread among them (1: in
    // the calling thread only). Throws std::invalid_argument for a sound
    // CheckLayered refuses.
    LayeredRender(const LayeredSound& sound, const RenderRequest& request, BackendMaker makeBackend,
                  int threads = 1);
    ~LayeredRender();
    LayeredRender(const LayeredRender&) = delete;
    LayeredRender& operator=(const LayeredRender&) = delete;

    // The next frames of the whole, at most `frames` of them; 0 once it has ended.
    long Next(double* left, double* right, long frames);
    // Whether the automatic length stopped at its limit while a play still sounded.
    bool Cut() const { return mCut; }

private:
    struct Play;
    enum PlayState
    {
        kWaiting, // its start not yet reached
        kPlaying,
        kDone // ended and mixed to its end
    };
    void StartPlays(long until);
    void RenderPlays(long until);
    void Mix(double* left, double* right, long frames);
    void Retire(long mixedUntil);
    long Deliverable(long frames) const;
    bool SoundsPast(long frame) const;

    LayeredSound mSound;
    RenderRequest mRequest;
    BackendMaker mMakeBackend;
    std::vector<LayerPart> mParts;             // in the order they are summed
    std::vector<std::unique_ptr<Play>> mPlays; // one a part, while it plays
    std::vector<PlayState> mState;             // one a part
    std::unique_ptr<WorkerThreads> mWorkers;   // none for one thread
    long mPosition = 0;
    long mLimit; // the length asked, or the most an automatic one may be
    long mEnd;   // the latest end of the plays that ended, at least a silent sound's
    bool mCut = false, mEnded = false;
    bool mPlayCapped = false; // a play reached the most a sound lasts while it sounded
    std::vector<unsigned char> mCovered; // per frame of a mix: a play reached it
};

// The whole into the sink, a few thousand frames at a time; returns the
// frames there were.
long RenderLayered(LayeredRender& render, const FrameSink& sink);
