#pragma once

#include "KIT_UsageError.h"
#include "RenderLoop.h"

#include <string>

// What a render asks for, as the command lines take it, and the checks they
// share; nothing here needs the instrument itself.

// "N[:VEL[:START[:DUR]]]"
NoteSpec ParseNote(const std::string& text);
// "auto" or seconds.
double ParseLength(const std::string& text);
// Refuses a request whose numbers cannot make a render: a non-finite or
// fractional rate, a length shorter than one frame.
void CheckRequest(const RenderRequest& request);
// A seed from the clock, for a run given none: a new one each microsecond,
// so that runs started together still differ.
unsigned ClockSeed();
