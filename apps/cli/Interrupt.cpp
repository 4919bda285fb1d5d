#include "Interrupt.h"

#include <csignal>

namespace
{

volatile std::sig_atomic_t gSignal = 0; // written by the handler, read by the render loop

void onSignal(int number)
{
    gSignal = number;
}

} // namespace

void CatchInterrupts()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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
