#pragma once

#include "Params.h"
#include "RenderLoop.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// What a render asks for, as the command lines take it, and the parsing they
// share; nothing here needs the instrument itself.

// A mistake in what the user asked for (exit status 2), as opposed to a
// failure while doing it (exit status 1).
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
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
// The note a sound plays when none is given, as generate plays it: 60 at
// full velocity from the start, held through the state's attack, hold and
// decay (in seconds, summed in double precision), then released. Every
// surface that plays a sound's own note calls this, so all give one length.
NoteSpec DefaultNote(const ByteChunk& state);

std::string Lower(std::string text);
std::string Trim(const std::string& text);
// Trims every kind of white space, line ends too.
std::string TrimSpace(const std::string& text);
// A whole finite number, surrounding blanks allowed.
bool ParseNumber(const std::string& text, double* value);
// The shortest text that reads back as the same number: exact where it is
// read again, and in messages what the user wrote (0.1, not 0.10000000000000001).
std::string ShortestNumberText(double value);
// A seed from the clock, for a run given none: a new one each microsecond,
// so that runs started together still differ.
unsigned ClockSeed();

