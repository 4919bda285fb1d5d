#pragma once

// A sound made of sounds: 1 to 16 layers, each a sound of its own played in
// an instrument of its own, offset, scaled, panned and repeated, summed into
// one. What every surface shares about it: the model, its checks (problems
// as codes and texts), note names, the parts it plays, and its one-line code.
//
//   text -> draft (ParseLayeredText, LayeredText.h) -> model (MakeLayered,
//           LayeredSources.h: its kinds and recipes made in an instrument)
//   model <-> code (EncodeLayered / DecodeLayered), model -> text (LayeredText)
//   model -> problems (CheckLayered: codes and texts)
//   model -> plays (PartsOf) -> frames, block by block (LayeredRender.h)
//   any input a user gives -> model (ReadLayered, LayeredSources.h)
#include "Containers.h"
#include "RenderLoop.h"
#include "KIT_UsageError.h"

#include <string>
#include <vector>

const int kMostLayers = 16;
const int kMostPlays = 16;               // a layer's plays in all, its repeats included
const int kMostLayerNotes = 64;          // notes of a list, or steps of a pattern
const double kMostLayerSeconds = 3600.0; // a start, an interval, a step
const double kLeastLayerGain = -120.0, kMostLayerGain = 24.0;  // dB, each play's in all
const double kLeastRepeatGain = -60.0, kMostRepeatGain = 12.0; // dB from one play to the next
const int kMostTranspose = 48; // semitones from one play to the next
const int kRestStep = -1;      // a pattern's rest

struct LayerNotes
{
    enum Kind
    {
        kSoundsOwn, // the note the sound plays when none is given
        kList,      // the notes of list
        kPattern    // one note a step: steps[k] starts at k * step, lasts a step, velocity 127
    };
    Kind kind = kSoundsOwn;
    std::vector<NoteSpec> list;
    std::vector<int> steps; // MIDI notes, or kRestStep
    double step = 0.0;      // seconds
};

// Play k (0 for the layer itself) starts k * interval later, k * gain dB
// louder and k * transpose semitones higher.
struct LayerRepeat
{
    int count = 1; // plays in all
    double interval = 0.0;
    double gain = 0.0;
    int transpose = 0;
};

struct Layer
{
    ByteChunk state;    // the sound: a 484-byte state
    unsigned seed = 0;  // its noise's
    double start = 0.0; // seconds from the start of the whole
    double gain = 0.0;  // dB
    double pan = 0.0;   // -1 (left) ... 1 (right)
    bool mute = false;
    bool solo = false;
    LayerNotes notes;
    LayerRepeat repeat;
};

struct LayeredSound
{
    std::vector<Layer> layers;
};

// What can be wrong with a layered sound, one code a rule.
enum class LayerProblemCode
{
    kNoLayers,
    kTooManyLayers,
    kNotAState,    // the sound is not a whole state of finite values
    kStart,        // start outside 0 ... kMostLayerSeconds
    kGain,         // gain outside its range
    kPan,          // pan outside -1 ... 1
    kNoNotes,      // a list or pattern without a note
    kTooManyNotes, // more than kMostLayerNotes
    kNote, // a note outside 0 ... 127, a velocity outside 1 ... 127, times outside 0 ... 3600 s
    kStep, // step outside (0, kMostLayerSeconds]
    kRepeatCount,    // outside 1 ... kMostPlays
    kRepeatInterval, // outside 0 ... kMostLayerSeconds
    kRepeatGain,     // outside its range, or a play louder than kMostLayerGain
    kTranspose,      // outside -48 ... 48, or a play's note outside 0 ... 127
};

struct LayerProblem
{
    LayerProblemCode code;
    int layer;        // from 0; -1 for the whole
    std::string text; // what is wrong and what is accepted
};

// Every problem of a layered sound, in layer order; none when it can be
// played, encoded and written as it is.
std::vector<LayerProblem> CheckLayered(const LayeredSound& sound);
// The problems of one layer, numbered as the layer'th.
std::vector<LayerProblem> CheckLayer(const Layer& layer, int index);

// Note names: C4 is MIDI 60, sharps '#' and flats 'b' (C#4, Db4), octaves
// from -1 (C-1 is 0) to 9 (G9 is 127). Throws UsageError for anything else.
int ParseNoteName(const std::string& name);
// The name of a note, sharps for the black keys.
std::string NoteName(int note);
// "C5 E5 - G5": note names and rests ("-") between blanks.
std::vector<int> ParsePattern(const std::string& text);
std::string PatternText(const std::vector<int>& steps);

// One play of a layer: the layer's solo render with these notes, as a single
// sound renders with --state and --seed, started offset frames into the whole
// and weighted per channel.
struct LayerPart
{
    int layer, play;
    long offset;                    // frames: (start + play * interval) * rate, truncated
    double leftWeight, rightWeight; // gain * min(1, 1 - pan), gain * min(1, 1 + pan)
    std::vector<NoteSpec> notes;
};
// The parts that sound (every play of the soloed layers when any is, else of
// those not muted), in layer and play order: the order they are summed in.
std::vector<LayerPart> PartsOf(const LayeredSound& sound, double rate);
// The notes play k of a layer plays.
std::vector<NoteSpec> PlayedNotes(const Layer& layer, int play);

// The one-line code: "bfl1:", then in URL-safe base64 the layers deflated
// and the CRC-32 of those deflated bytes. It needs no escaping in a link.
std::string EncodeLayered(const LayeredSound& sound);
// The sound a code holds, checked whole; throws std::runtime_error saying
// what is wrong (damaged, newer, not one).
LayeredSound DecodeLayered(const std::string& code);
// What every layered code begins with, before its version.
inline constexpr char kLayeredCodePrefix[] = "bfl";
// Whether text is meant as a layered code rather than a file name. Here, so
// that telling one needs none of the code's packing.
inline bool LooksLikeLayeredCode(const std::string& text)
{
    return text.compare(0, sizeof kLayeredCodePrefix - 1, kLayeredCodePrefix) == 0 &&
           text.find(':') != std::string::npos;
}
