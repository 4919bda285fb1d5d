#include "Interrupt.h"

#include "KIT_SafeFile.h"

#include <csignal>

namespace
{

const int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t gEndsAtOnce = 1;

void onSignal(int number)
{
    if (KIT_StopSignal() != 0 && gEndsAtOnce)
    {
        KIT_RemoveFilesInFlight();
        std::signal(number, SIG_DFL);
        std::raise(number); // delivered, by the default action, as the handler returns
        return;
    }
    KIT_NoteStopSignal(number);
}

} // namespace

void CatchInterrupts(SecondSignal second)
{
    gEndsAtOnce = second == SecondSignal::kEndsAtOnce;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int number : kCaught)
        sigaddset(&action.sa_mask, number); // one handler at a time
    // No SA_RESTART: a call that waits (opening a FIFO, writing to a pipe
    // nobody reads, a library reading its files) returns at the first
    // signal instead of waiting on.
    action.sa_flags = 0;
    for (int number : kCaught)
        sigaction(number, &action, nullptr);
}

bool InterruptRequested()
{
    return KIT_StopSignal() != 0;
}

void StopIfInterrupted()
{
    if (InterruptRequested())
        throw Interrupted();
}

int InterruptedStatus()
{
    return 128 + KIT_StopSignal();
}

FrameSink Interruptible(const FrameSink& sink)
{
    return [sink](const double* left, const double* right, long frames)
    {
        StopIfInterrupted();
        sink(left, right, frames);
    };
}
