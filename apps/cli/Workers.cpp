#include "Workers.h"

#include "Interrupt.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

// Down the pipe: an item's index, the top bit set when it failed.
const uint32_t kFailedBit = 0x80000000u;

[[noreturn]] void runWorker(size_t count, int first, int jobs, bool keepGoing,
                            const std::function<void(size_t)>& makeOne, int finished)
{
    int status = 0;
    for (size_t k = static_cast<size_t>(first); k < count; k += static_cast<size_t>(jobs))
    {
        uint32_t said = static_cast<uint32_t>(k);
        try
        {
            StopIfInterrupted();
            makeOne(k);
        }
        catch (const Interrupted&)
        {
            status = InterruptedStatus();
            break;
        }
        catch (const std::exception& e)
        {
            std::cerr << "bleepforge: " << e.what() << std::endl;
            said |= kFailedBit;
            status = 1;
        }
        if (write(finished, &said, sizeof said) != sizeof said || (status && !keepGoing))
            break;
    }
    std::cout.flush();
    _exit(status);
}

// Tells of each item as a worker finishes it, until every worker is done. An
// interruption of this process (a signal to it alone) is passed on.
WorkerRun collectFinished(int finished, size_t count, const std::vector<pid_t>& workers,
                          const std::function<void(size_t, bool)>& told)
{
    const int kLookMilliseconds = 50;
    bool passedOn = false;
    WorkerRun run;
    for (;;)
    {
        if (InterruptRequested() && !passedOn)
        {
            for (pid_t pid : workers)
                kill(pid, SIGTERM);
            passedOn = true;
        }
        pollfd ready = {finished, POLLIN, 0};
        if (poll(&ready, 1, kLookMilliseconds) <= 0)
            continue;
        uint32_t said = 0;
        const ssize_t got = read(finished, &said, sizeof said);
        const size_t index = said & ~kFailedBit;
        if (got == sizeof said && index < count)
        {
            const bool ok = (said & kFailedBit) == 0;
            ++(ok ? run.made : run.failed);
            told(index, ok);
        }
        else if (got == 0 || (got < 0 && errno != EINTR))
            return run;
    }
}

// A worker ends with its parent however the parent ends, SIGKILL included:
// the kernel then sends it SIGTERM, which stops it between blocks as any
// interruption does. A parent that died before the request shows as another
// parent process.
void endWithParent(pid_t parent)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(128 + SIGTERM);
}

} // namespace

WorkerRun RunInWorkers(size_t count, int jobs, bool keepGoing, const std::function<void(size_t)>& makeOne,
                       const std::function<void(size_t, bool)>& finished)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error("cannot start the workers: " + std::string(std::strerror(errno)));
    std::cout.flush();
    const pid_t parent = getpid();
    std::vector<pid_t> workers;
    for (int w = 0; w < jobs; ++w)
    {
        const pid_t pid = fork();
        if (pid == 0)
        {
            close(pipeEnds[0]);
            CatchInterrupts(SecondSignal::kWaitsForTheBlock);
            endWithParent(parent);
            runWorker(count, w, jobs, keepGoing, makeOne, pipeEnds[1]);
        }
        if (pid > 0)
            workers.push_back(pid);
    }
    close(pipeEnds[1]);
    WorkerRun run = collectFinished(pipeEnds[0], count, workers, finished);
    close(pipeEnds[0]);
    for (pid_t pid : workers)
    {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
        {
        }
    }
    StopIfInterrupted();
    run.workersLost = workers.size() != static_cast<size_t>(jobs) || run.made + run.failed < count;
    return run;
}
