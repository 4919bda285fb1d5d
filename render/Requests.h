#pragma once

#include "Containers.h"
#include "Params.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// What a render asks for, as the command lines take it, and the parsing and
// scheduling they share; nothing here needs the instrument itself.

// A mistake in what the user asked for (exit status 2), as opposed to a
// failure while doing it (exit status 1).
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

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

// A whole decimal number in min ... max (never octal or hexadecimal, never
// empty); what names the option in the UsageError.
long long ParseWhole(const std::string& text, long long min, long long max, const std::string& what);
// A chunk's bytes as a string, for files.
std::string BytesOf(const ByteChunk& chunk);
// "N[:VEL[:START[:DUR]]]"
NoteSpec ParseNote(const std::string& text);
// "auto" or seconds.
double ParseLength(const std::string& text);
// Refuses a request whose numbers cannot make a render: a non-finite or
// fractional rate, a length shorter than one frame.
void CheckRequest(const RenderRequest& request);
// A 484-byte state from a file, from an audio file Bleepforge wrote, or from a
// sound code given in its place (surrounding white space ignored); refused
// unless every value is finite.
ByteChunk ReadState(const std::string& fileOrCode);

// The 60 values of a 484-byte state, after its version word; throws for a
// chunk of another size or a value that is not a finite number.
std::vector<double> StateValues(const ByteChunk& state);
// The note generate plays: 60 at full velocity from the start, held through
// the sound's attack, hold and decay (in seconds), then released.
NoteSpec GeneratedNote(double attack, double hold, double decay);
// The note a sound plays when none is given, from its state.
NoteSpec DefaultNote(const ByteChunk& state);

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

private:
    RenderTarget mTarget;
    std::vector<NoteEvent> mEvents;
    size_t mNextEvent = 0;
    long mLastEventFrame, mMaxFrames, mTailFrames, mTotalFrames;
    int mBlock;
    long mRendered = 0, mHeld = 0, mDelivered = 0;
    bool mEnded = false;
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

std::string Lower(std::string text);
std::string Trim(const std::string& text);
// Trims every kind of white space, line ends too.
std::string TrimSpace(const std::string& text);
// A whole finite number, surrounding blanks allowed.
bool ParseNumber(const std::string& text, double* value);
// The shortest text that reads back as the same number: exact where it is
// read again, and in messages what the user wrote (0.1, not 0.10000000000000001).
std::string ShortestNumberText(double value);

const int kMinRate = 1000;
const int kMaxRate = 384000;
const double kMaxAutoSeconds = 30.0;
const double kAutoTailSeconds = 0.05;
