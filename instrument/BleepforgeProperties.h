#pragma once

#ifdef __APPLE__
#include <AudioUnit/AudioUnit.h>
#else
#include "AUCompat.h"
#endif

// The instrument's own properties, as hosts ask for them: the instrument and
// every program that loads its bundle compile against these numbers. They
// start where an Audio Unit's own properties may (64000); all global scope.
enum EBleepforgeProperty : AudioUnitPropertyID
{
    kPropertyIdleFrames = 64000, // UInt64: frames since the sound went silent; read only
    kPropertyRandomSeed,         // UInt32: the seed of its random sequence; write only
    kPropertySoundSlot,          // SInt32 current slot and SInt32 slot count; read only
    kPropertyLastKind,           // char[16]: the last generator's kind, "" before one; read only
    kPropertySlots,              // SInt32 slot shown, then kNumParams normalised doubles a slot;
                                 // read and write, whole or refused whole
    kPropertyGenerate,           // char[16]: a generator's kind (as the CLI names kinds), run as
                                 // its button runs it; write only
    kPropertyRecipe              // a recipe as EncodeRecipe writes it, made as generate makes
                                 // it; a damaged one is refused whole; write only
};
