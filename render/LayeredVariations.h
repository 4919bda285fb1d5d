#pragma once

// A layered sound that plays a little differently each time: every layer's
// sound varied by the rules of Variations (a sequence of its own, seeded
// from the player's seed and the layer's number, with the shape's locks,
// pitch and mutation), its start, gain, pan, notes and repeats kept. A
// layer's pitch move moves all its notes. Play n is the same for a seed on
// every machine. Needs no files and no threads.
#include "LayeredSound.h"
#include "Variations.h"

#include <cstdint>
#include <vector>

struct LayeredVariation
{
    uint64_t index = 0; // which play of the sequence
    LayeredSound sound;
};

class LayeredVariations
{
public:
    // shape gives the locks, pitch and mutation every layer varies by; a
    // kind or recipe there is refused, as is a sound CheckLayered refuses
    // (UsageError).
    LayeredVariations(LayeredSound base, const VariationSource& shape, unsigned seed);

    LayeredVariation Next();
    // Goes to play n, as Next reached it from the first.
    void Seek(uint64_t play);
    uint64_t NextIndex() const { return mNext; }

private:
    LayeredSound mBase;
    std::vector<Variations> mLayers; // one a layer
    uint64_t mNext = 0;
};
