#pragma once

#include "RenderLoop.h"

#include <stdexcept>

// Ctrl-C (SIGINT), SIGTERM and SIGHUP (a closed terminal) end a render
// between two blocks instead of killing the process in the middle of a file:
// the file in flight and its temporary files are removed, every finished
// file stays.
struct Interrupted : std::runtime_error
{
    Interrupted() : std::runtime_error("interrupted") {}
};

enum class SecondSignal
{
    // Removes the files in flight and ends the process at once, as users
    // expect of a second Ctrl-C.
    kEndsAtOnce,
    // Only asks again: for a batch's workers, whose parent passes its own
    // signal on, so that each still stops between blocks with whole files.
    kWaitsForTheBlock
};

void CatchInterrupts(SecondSignal second = SecondSignal::kEndsAtOnce);
// Whether a signal has come.
bool InterruptRequested();
// Throws Interrupted once a signal has come.
void StopIfInterrupted();
// The exit status for the signal that came: 128 + its number.
int InterruptedStatus();
// The sink, stopping first if a signal has come.
FrameSink Interruptible(const FrameSink& sink);
