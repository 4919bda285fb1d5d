#include "Interrupt.h"

#include "KIT_SafeFile.h"

#include <csignal>

namespace
{

const int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t gSignal = 0; // written by the handler, read by the render loop
volatile std::sig_atomic_t gEndsAtOnce = 1;

void onSignal(int number)
{
    if (gSignal != 0 && gEndsAtOnce)
    {
        KIT_RemoveFilesInFlight();
        std::signal(number, SIG_DFL);
        std::raise(number); // delivered, by the default action, as the handler returns
        return;
    }
    gSignal = number;
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
    action.sa_flags = SA_RESTART;
    for (int number : kCaught)
        sigaction(number, &action, nullptr);
}

bool InterruptRequested()
{
    return gSignal != 0;
}

void StopIfInterrupted()
{
    if (InterruptRequested())
        throw Interrupted();
}

int InterruptedStatus()
{
    return 128 + gSignal;
}

FrameSink Interruptible(const FrameSink& sink)
{
    return [sink](const double* left, const double* right, long frames)
    {
        StopIfInterrupted();
        sink(left, right, frames);
    };
}
