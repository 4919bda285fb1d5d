#pragma once

// A few threads that share out a list of jobs with the calling thread, for
// work that splits into independent pieces (the layers of a layered sound).
// Not for the audio thread: it waits and allocates.
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkerThreads
{
public:
    // threads in all, the calling thread among them; 1 starts none.
    explicit WorkerThreads(int threads);
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs job(0) ... job(count - 1), each once, and returns when all have
    // ended; the first exception a job throws is thrown here.
    void Run(size_t count, const std::function<void(size_t)>& job);

private:
    void Serve();
    void Work();

    // All below under mMutex; the calling thread writes the round, the
    // helpers take its jobs.
    std::mutex mMutex;
    std::condition_variable mWake, mDone;
    const std::function<void(size_t)>* mJob = nullptr;
    size_t mCount = 0, mNext = 0, mBusy = 0;
    unsigned long mRound = 0;
    bool mStopping = false;
    std::exception_ptr mError;
    std::vector<std::thread> mHelpers;
};
