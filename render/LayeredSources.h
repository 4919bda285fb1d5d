#pragma once

// Layered sounds where an instrument is: a draft's kinds and recipes made
// into sounds, and a layered sound read from whatever a user hands a render.
#include "LayeredRender.h"
#include "LayeredText.h"

#include <string>

// The draft's sound, each kind's or recipe's layer made as generate makes a
// sound of it (a fresh instrument, the generator or recipe drawn from the
// layer's seed) and then seeded again for its noise: the layer's seed is its
// given seed plus seedOffset, modulo 2^32. Layers given as sounds keep
// their seeds as written.
LayeredSound MakeLayered(const LayeredDraft& draft, unsigned seedOffset = 0);
// A layered sound from a layered text file, a layered code or an audio
// file that carries one. Throws UsageError or std::runtime_error saying what
// it is not.
LayeredSound ReadLayered(const std::string& fileOrCode,
                         KindLookup lookup = KindLookup::kUsersFirst);
// Whether what a user gave names a layered sound: a layered code, or a file
// that is a layered text or an audio file carrying a layered code.
bool IsLayeredInput(const std::string& fileOrCode);
// A fresh instrument of this process for each play.
BackendMaker InstrumentBackends();
// How many threads render the plays of a layered sound in this process.
int PlayThreads();
