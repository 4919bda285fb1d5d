#pragma once

#include <mutex>

// A recursive mutex: one thread may enter it again while it holds it.
class KIT_Mutex
{
public:
    void Enter() { mMutex.lock(); }
    void Leave() { mMutex.unlock(); }

private:
    std::recursive_mutex mMutex;
};

class KIT_MutexLock
{
public:
    explicit KIT_MutexLock(KIT_Mutex& mutex) : mMutex(mutex) { mMutex.Enter(); }
    ~KIT_MutexLock() { mMutex.Leave(); }
    KIT_MutexLock(const KIT_MutexLock&) = delete;
    KIT_MutexLock& operator=(const KIT_MutexLock&) = delete;

private:
    KIT_Mutex& mMutex;
};
