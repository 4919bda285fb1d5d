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

long RunRenderLoop(const RenderRequest& request, const RenderTarget& target, const FrameSink& sink)
{
    const std::vector<NoteEvent> events = ScheduleNotes(request.notes, request.rate);
    const long lastEventFrame = events.empty() ? 0 : events.back().frame;
    const long maxFrames = MostFrames(request);
    const long tailFrames = static_cast<long>(kAutoTailSeconds * request.rate);
    long totalFrames = request.lengthSeconds > 0 ? maxFrames : -1;

    // An automatic end is found at most one block back, so each block is
    // passed on once the next one has rendered; memory stays two blocks.
    const size_t block = static_cast<size_t>(request.block);
    std::vector<double> left(block), right(block), heldLeft(block), heldRight(block);
    long held = 0, delivered = 0;
    size_t nextEvent = 0;
    for (long rendered = 0; totalFrames < 0 || rendered < totalFrames;)
    {
        const long blockEnd = rendered + request.block;
        for (; nextEvent < events.size() && events[nextEvent].frame < blockEnd; ++nextEvent)
            target.sendNote(events[nextEvent], static_cast<int>(events[nextEvent].frame - rendered));
        target.renderBlock(left.data(), right.data(), request.block);
        if (held > 0)
            sink(heldLeft.data(), heldRight.data(), held);
        delivered += held;
        std::swap(left, heldLeft);
        std::swap(right, heldRight);
        held = request.block;
        rendered = blockEnd;

        // The exact frame at which the sound ended, whatever the block size.
        const long idle = target.idleFrames();
        if (totalFrames < 0 && nextEvent == events.size() && idle > 0)
            totalFrames = std::max(lastEventFrame, rendered - idle) + 1 + tailFrames;
        if (totalFrames < 0 && rendered >= maxFrames)
            totalFrames = maxFrames;
    }
    totalFrames = std::min(totalFrames, maxFrames);
    const long last = std::max(0L, std::min(held, totalFrames - delivered));
    if (last > 0)
        sink(heldLeft.data(), heldRight.data(), last);
    return delivered + last;
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
