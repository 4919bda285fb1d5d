#include "WorkerThreads.h"

WorkerThreads::WorkerThreads(int threads)
{
    for (int i = 1; i < threads; ++i)
        mHelpers.emplace_back([this] { Serve(); });
}

WorkerThreads::~WorkerThreads()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mWake.notify_all();
    for (std::thread& helper : mHelpers)
        helper.join();
}

void WorkerThreads::Run(size_t count, const std::function<void(size_t)>& job)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mJob = &job;
        mCount = count;
        mNext = 0;
        mError = nullptr;
        ++mRound;
    }
    mWake.notify_all();
    Work();
    std::unique_lock<std::mutex> lock(mMutex);
    mDone.wait(lock, [this] { return mNext >= mCount && mBusy == 0; });
    mJob = nullptr;
    if (mError)
        std::rethrow_exception(mError);
}

void WorkerThreads::Serve()
{
    unsigned long served = 0;
    for (;;)
    {
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mWake.wait(lock, [&] { return mStopping || mRound != served; });
            if (mStopping)
                return;
            served = mRound;
        }
        Work();
    }
}

// Takes jobs of the round until none is left.
void WorkerThreads::Work()
{
    std::unique_lock<std::mutex> lock(mMutex);
    while (mJob && mNext < mCount)
    {
        const size_t index = mNext++;
        const std::function<void(size_t)>& job = *mJob;
        ++mBusy;
        lock.unlock();
        std::exception_ptr error;
        try
        {
            job(index);
        }
        catch (...)
        {
            error = std::current_exception();
        }
        lock.lock();
        --mBusy;
        if (error && !mError)
            mError = error;
    }
    if (mBusy == 0)
        mDone.notify_all();
}
