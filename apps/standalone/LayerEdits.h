#pragma once

#include "History.h"
#include "LayeredSound.h"

#include <string>

// The Layers view's sound: a layered sound being edited, each edit one step
// that undo takes back. An edit that would break a rule of layered sounds
// (a range, 16 layers, a note out of range after transposing) changes
// nothing and answers false. GUI thread only.
class LayerEdits
{
public:
    // Starts over from a sound (none: no layers yet), with nothing to undo.
    // Throws std::invalid_argument for a sound with problems.
    void Open(const LayeredSound& sound);
    const LayeredSound& Sound() const { return mSound; }
    int Layers() const { return static_cast<int>(mSound.layers.size()); }
    // The sound's bfl1: code; "" while it has no layers.
    std::string Code() const { return mHistory.Present(); }

    // A sound (its 484-byte state) joins as the last layer, at the start,
    // playing its own note, its noise seeded with seed.
    bool Add(const std::string& state, unsigned seed);
    bool Remove(int layer);
    bool MoveTo(int layer, double start);
    bool SetGain(int layer, double decibels);
    bool SetPan(int layer, double pan);
    // Moves every note the layer plays by semitones; its own note becomes a
    // note of a list, moved.
    bool Transpose(int layer, int semitones);
    bool SetRepeat(int layer, const LayerRepeat& repeat);
    bool SetMute(int layer, bool mute);
    bool SetSolo(int layer, bool solo);

    bool Undo();
    bool Redo();
    bool CanUndo() const { return mHistory.CanUndo(); }
    bool CanRedo() const { return mHistory.CanRedo(); }

private:
    template <class Edit> bool edit(int layer, Edit change);
    bool record(const LayeredSound& sound);
    bool bringBack(const std::string* code);

    LayeredSound mSound;
    UndoHistory<std::string> mHistory; // each step the sound's code
};
