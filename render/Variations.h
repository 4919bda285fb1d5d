#pragma once

// A sound that plays a little differently each time, as games play their
// effects: a kind or recipe drawn anew, or one sound mutated and moved in
// pitch. Play n of a source is the same for a seed on every machine, made
// by the instrument's own generators and Mutate from its own random source,
// and never the play before it. Needs no files and no threads.
#include "Containers.h"
#include "RenderLoop.h"
#include "SoundRecipe.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct VariationSource
{
    ByteChunk base;               // the state each play starts from; empty for the default sound
    std::string kind;             // a built-in kind each play draws anew, or ""
    std::optional<Recipe> recipe; // or a recipe each play draws anew
    std::vector<int> locked;      // parameters that keep the base's values
    int pitchSemitones = 0;       // each play's note moves up to this far either way
    double mutation = 0.0;        // Mutate's amount in % on each play, after any kind or recipe
};

// The most a play's note moves, as a layer's transpose.
const int kMostVariationSemitones = 48;
// Draws of one play that may repeat the play before it, before giving up.
const int kMostVariationAttempts = 64;

struct Variation
{
    uint64_t index = 0; // which play of the sequence
    ByteChunk state;
    NoteSpec note;      // the sound's own note, moved in pitch
    unsigned seed = 0;  // what its values were drawn from, and what its noise is seeded with
};

// Checks a source whole; throws UsageError saying what is wrong.
void CheckVariationSource(const VariationSource& source);

// The seed play n draws from on its attempt-th draw: mixed from the
// player's seed in whole numbers only, so every machine finds the same one.
unsigned VariationSeed(unsigned playerSeed, uint64_t play, unsigned attempt);

// The plays of one source for one seed. A play that would repeat the one
// before it is drawn again with the next attempt's seed, so each play
// depends on the one before it.
class Variations
{
public:
    // Checks the source and refuses (UsageError) one that makes a single
    // sound whatever is drawn.
    Variations(VariationSource source, unsigned seed);

    // The next play; throws std::runtime_error in the unlikely case that
    // every attempt repeated the play before.
    Variation Next();
    // Goes to play n, as Next reached it from the first.
    void Seek(uint64_t play);
    uint64_t NextIndex() const { return mNext; }

private:
    Variation candidate(uint64_t play, unsigned attempt) const;
    Variation following(const Variation* previous, uint64_t play) const;

    VariationSource mSource;
    unsigned mSeed;
    uint64_t mNext = 0;
    std::optional<Variation> mLast;
};
