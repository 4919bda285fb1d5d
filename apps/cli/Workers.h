#pragma once

#include <cstddef>
#include <functional>

// Makes items 0 ... count - 1 in worker processes, jobs at a time, each worker
// every jobs-th item from its first; each instrument draws from its own random
// source, so an item that seeds its own draws gives the bytes it gives alone.
// Processes rather than threads: they made a batch as fast or faster
// (bench/compare-jobs).
// makeOne throws to fail its item: the worker says why on stderr, keeps on
// with its next item when keepGoing, else stops. finished(index, ok) runs in
// the calling process as each item ends, in the order they end. An
// interruption is passed on, so that workers stop between blocks and keep
// only whole files. Workers end with this process, however it ends. Returns
// how many items were made; throws Interrupted after an interruption.
struct WorkerRun
{
    size_t made = 0;
    size_t failed = 0;
    bool workersLost = false; // a worker ended before its items were done
};
WorkerRun RunInWorkers(size_t count, int jobs, bool keepGoing, const std::function<void(size_t)>& makeOne,
                       const std::function<void(size_t, bool)>& finished);
