#pragma once

#include <stdexcept>

// Ctrl-C (SIGINT) and SIGTERM end a render between two blocks instead of
// killing the process in the middle of a file: the file in flight and its
// temporary files are removed, every finished file stays. A second signal
// kills at once, as users expect.
struct Interrupted : std::runtime_error
{
    Interrupted() : std::runtime_error("interrupted") {}
};

void CatchInterrupts();
// Whether a signal has come.
bool InterruptRequested();
// Throws Interrupted once a signal has come.
void StopIfInterrupted();
// The exit status for the signal that came: 128 + its number.
int InterruptedStatus();
