#pragma once

#include "Containers.h"

#include <functional>
#include <string>
#include <vector>

// The render loop: a request's notes played into an instrument block by
// block, however it is hosted, until the sound ends. Needs no files, no
// editor and no instrument of its own.

struct NoteSpec
{
    int note = 60;
    int velocity = 127;
    double start = 0.0;
    double duration = 0.5;
};

struct RenderRequest
{
    double rate = 44100.0;
    int block = 512;
    std::vector<std::string> settings; // "NAME=VALUE", applied in order
    std::string stateIn; // a file or a sound code
    std::vector<NoteSpec> notes;
    double lengthSeconds = -1.0; // below 0: until every voice has finished
    bool seeded = false;
    unsigned seed = 0;
    bool generatedNoteWhenNone = false; // no notes: the note generate plays
};

struct RenderResult
{
    std::vector<double> left, right;
    ByteChunk state; // the instrument's state as rendered
};

// Within one frame: the offs of notes that began earlier, then the ons, then
// the offs of notes that begin on that frame, so a note of zero length still
// ends and a same-key restrike sounds whatever the order of the notes given.
enum EventRank
{
    kOffOfEarlierNote = 0,
    kOn = 1,
    kOffOfSameFrameNote = 2
};

struct NoteEvent
{
    long frame;
    EventRank rank;
    int note;
    int velocity;
};

std::vector<NoteEvent> ScheduleNotes(const std::vector<NoteSpec>& notes, double rate);

// How a render loop reaches an instrument, however it is hosted.
struct RenderTarget
{
    std::function<void(const NoteEvent& event, int offset)> sendNote;
    // Fills both channels with one block.
    std::function<void(double* left, double* right, int frames)> renderBlock;
    // Frames since nothing sounds or waits, as of the last block.
    std::function<long()> idleFrames;
};

// Takes a render's frames in order, a block at a time.
using FrameSink = std::function<void(const double* left, const double* right, long frames)>;
// A sink that appends to the result's channels.
FrameSink CollectFrames(RenderResult* result);

// Plays the request's notes block by block and ends the sound where it ends
// (or at the requested length), whatever the block size. The frames go to the
// sink as they render, so memory does not grow with the length. A loop that
// is stepped, so that several sounds can render side by side.
class RenderLoop
{
public:
    RenderLoop(const RenderRequest& request, const RenderTarget& target);
    // Renders the next block and passes on the frames settled by it; false
    // once the sound has ended and every frame has been passed on.
    bool Step(const FrameSink& sink);
    // The frames passed on so far.
    long Delivered() const { return mDelivered; }
    // Whether an automatic length reached its most while the sound went on.
    bool Capped() const { return mCapped; }

private:
    RenderTarget mTarget;
    std::vector<NoteEvent> mEvents;
    size_t mNextEvent = 0;
    long mLastEventFrame, mMaxFrames, mTailFrames, mTotalFrames;
    int mBlock;
    long mRendered = 0, mHeld = 0, mDelivered = 0;
    bool mEnded = false, mCapped = false;
    // An automatic end is found at most one block back, so each block is
    // passed on once the next one has rendered; memory stays two blocks.
    std::vector<double> mLeft, mRight, mHeldLeft, mHeldRight;
};
// The whole loop; returns how many frames there were.
long RunRenderLoop(const RenderRequest& request, const RenderTarget& target, const FrameSink& sink);
// The same, collected into a result.
RenderResult RunRenderLoop(const RenderRequest& request, const RenderTarget& target);
// The most frames a render loop gives for the request: its length, or the
// longest automatic one.
long MostFrames(const RenderRequest& request);

const int kMinRate = 1000;
const int kMaxRate = 384000;
const double kMaxAutoSeconds = 30.0;
const double kAutoTailSeconds = 0.05;
