#include "RenderLoop.h"

#include <algorithm>

std::vector<NoteEvent> ScheduleNotes(const std::vector<NoteSpec>& notes, double rate)
{
    std::vector<NoteEvent> events;
    for (const NoteSpec& n : notes)
    {
        const long on = static_cast<long>(n.start * rate);
        const long off = static_cast<long>((n.start + n.duration) * rate);
        events.push_back({on, kOn, n.note, n.velocity});
        events.push_back({off, off == on ? kOffOfSameFrameNote : kOffOfEarlierNote, n.note, 0});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const NoteEvent& a, const NoteEvent& b)
                     { return a.frame != b.frame ? a.frame < b.frame : a.rank < b.rank; });
    return events;
}

RenderLoop::RenderLoop(const RenderRequest& request, const RenderTarget& target)
    : mTarget(target), mEvents(ScheduleNotes(request.notes, request.rate)),
      mLastEventFrame(mEvents.empty() ? 0 : mEvents.back().frame), mMaxFrames(MostFrames(request)),
      mTailFrames(static_cast<long>(kAutoTailSeconds * request.rate)),
      mTotalFrames(request.lengthSeconds > 0 ? mMaxFrames : -1), mBlock(request.block),
      mLeft(static_cast<size_t>(request.block)), mRight(mLeft.size()), mHeldLeft(mLeft.size()),
      mHeldRight(mLeft.size())
{
}

bool RenderLoop::Step(const FrameSink& sink)
{
    if (mEnded)
        return false;
    if (mTotalFrames >= 0 && mRendered >= mTotalFrames)
    {
        mTotalFrames = std::min(mTotalFrames, mMaxFrames);
        const long last = std::max(0L, std::min(mHeld, mTotalFrames - mDelivered));
        if (last > 0)
            sink(mHeldLeft.data(), mHeldRight.data(), last);
        mDelivered += last;
        mEnded = true;
        return false;
    }
    const long blockEnd = mRendered + mBlock;
    for (; mNextEvent < mEvents.size() && mEvents[mNextEvent].frame < blockEnd; ++mNextEvent)
        mTarget.sendNote(mEvents[mNextEvent], static_cast<int>(mEvents[mNextEvent].frame - mRendered));
    mTarget.renderBlock(mLeft.data(), mRight.data(), mBlock);
    if (mHeld > 0)
        sink(mHeldLeft.data(), mHeldRight.data(), mHeld);
    mDelivered += mHeld;
    std::swap(mLeft, mHeldLeft);
    std::swap(mRight, mHeldRight);
    mHeld = mBlock;
    mRendered = blockEnd;

    // The exact frame at which the sound ended, whatever the block size.
    const long idle = mTarget.idleFrames();
    if (mTotalFrames < 0 && mNextEvent == mEvents.size() && idle > 0)
        mTotalFrames = std::max(mLastEventFrame, mRendered - idle) + 1 + mTailFrames;
    if (mTotalFrames < 0 && mRendered >= mMaxFrames)
    {
        mTotalFrames = mMaxFrames;
        mCapped = true;
    }
    return true;
}

long RunRenderLoop(const RenderRequest& request, const RenderTarget& target, const FrameSink& sink)
{
    RenderLoop loop(request, target);
    while (loop.Step(sink))
    {
    }
    return loop.Delivered();
}

long MostFrames(const RenderRequest& request)
{
    return static_cast<long>((request.lengthSeconds > 0 ? request.lengthSeconds : kMaxAutoSeconds) *
                             request.rate);
}

RenderResult RunRenderLoop(const RenderRequest& request, const RenderTarget& target)
{
    RenderResult result;
    RunRenderLoop(request, target, CollectFrames(&result));
    return result;
}

FrameSink CollectFrames(RenderResult* result)
{
    return [result](const double* left, const double* right, long frames)
    {
        result->left.insert(result->left.end(), left, left + frames);
        result->right.insert(result->right.end(), right, right + frames);
    };
}
