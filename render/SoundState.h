#pragma once

#include "Containers.h"
#include "Params.h"
#include "RenderLoop.h"

#include <string>
#include <vector>

// A sound's state: read from wherever a user keeps it, its values, and the
// note it plays when none is given.

// A 484-byte state from a file, from an audio file Bleepforge wrote, or from a
// sound code given in its place (surrounding white space ignored); refused
// unless every value is finite.
ByteChunk ReadState(const std::string& fileOrCode);

// The 60 values of a 484-byte state, after its version word; throws for a
// chunk of another size or a value that is not a finite number.
std::vector<double> StateValues(const ByteChunk& state);
// The note a sound plays when none is given, as generate plays it: 60 at
// full velocity from the start, held through the state's attack, hold and
// decay (in seconds, summed in double precision), then released. Every
// surface that plays a sound's own note calls this, so all give one length.
NoteSpec DefaultNote(const ByteChunk& state);

// A chunk's bytes as a string, for files.
std::string BytesOf(const ByteChunk& chunk);
