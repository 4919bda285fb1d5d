#include "IMidiQueue.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace
{
const int kRecordsPerPage = 512; // one 4096-byte page of 8-byte records
}

// A size of 0 or less would leave a queue that drops every message.
IMidiQueue::IMidiQueue(int size) : mGrowBy(Granulize(size > 0 ? size : 1))
{
    Expand();
}

IMidiQueue::~IMidiQueue()
{
    std::free(mBuffer);
}

int IMidiQueue::Granulize(int size) const
{
    if (size <= 0)
        return 0;
    if (size > INT_MAX - kRecordsPerPage)
        return INT_MAX / kRecordsPerPage * kRecordsPerPage;
    return (size + kRecordsPerPage - 1) / kRecordsPerPage * kRecordsPerPage;
}

bool IMidiQueue::Reallocate(int capacity)
{
    void* grown = std::realloc(mBuffer, static_cast<size_t>(capacity) * sizeof(IMidiMsg));
    if (!grown)
        return false;
    mBuffer = static_cast<IMidiMsg*>(grown);
    mCapacity = capacity;
    return true;
}

bool IMidiQueue::Expand()
{
    if (mGrowBy <= 0 || mCapacity / mGrowBy + 1 > INT_MAX / mGrowBy)
        return false;
    return Reallocate((mCapacity / mGrowBy + 1) * mGrowBy);
}

void IMidiQueue::Compact()
{
    mBack -= mFront;
    if (mBack > 0)
        std::memmove(mBuffer, mBuffer + mFront, static_cast<size_t>(mBack) * sizeof(IMidiMsg));
    mFront = 0;
}

void IMidiQueue::Add(const IMidiMsg* msg)
{
    if (mBack >= mCapacity)
    {
        if (mFront > 0)
            Compact();
        else if (!Expand())
            return; // out of memory: the message is dropped
    }
    int slot = mBack;
    if (mBack > mFront && msg->mOffset < mBuffer[mBack - 1].mOffset)
    {
        int i = mBack - 2;
        while (i >= mFront && msg->mOffset < mBuffer[i].mOffset)
            --i;
        slot = i + 1;
        std::memmove(mBuffer + slot + 1, mBuffer + slot,
                     static_cast<size_t>(mBack - slot) * sizeof(IMidiMsg));
    }
    mBuffer[slot] = *msg;
    ++mBack;
}

void IMidiQueue::Flush(int frames)
{
    if (mFront > 0)
        Compact();
    // Held at the int range: a message long overdue stays overdue.
    for (int i = 0; i < mBack; ++i)
    {
        const long long offset = static_cast<long long>(mBuffer[i].mOffset) - frames;
        mBuffer[i].mOffset = static_cast<int>(offset < INT_MIN ? INT_MIN : (offset > INT_MAX ? INT_MAX : offset));
    }
}

int IMidiQueue::Resize(int size)
{
    if (mFront > 0)
        Compact();
    // A block size of 0 or less would leave a queue that can never grow.
    mGrowBy = Granulize(size > 0 ? size : 1);
    int target = mGrowBy;
    if (target < mBack)
        target = Granulize(mBack);
    if (target != mCapacity)
        Reallocate(target);
    return mCapacity;
}
