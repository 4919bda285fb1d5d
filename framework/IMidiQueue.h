#pragma once

#include "IPluginStructs.h"

// MIDI messages of a block kept in ascending offset order and read from the
// front; equal offsets keep their arrival order. Capacity grows in whole pages
// of 512 records.
class IMidiQueue
{
public:
    explicit IMidiQueue(int size = 1024);
    ~IMidiQueue();
    IMidiQueue(const IMidiQueue&) = delete;
    IMidiQueue& operator=(const IMidiQueue&) = delete;

    void Add(const IMidiMsg* msg);
    void Remove() { ++mFront; }
    bool Empty() const { return mFront == mBack; }
    const IMidiMsg* Peek() const { return &mBuffer[mFront]; }
    void Flush(int frames);
    int Resize(int size);
    int GetSize() const { return mCapacity; }
    // Records that can still be added without allocating (read space counts).
    int Room() const { return mCapacity - (mBack - mFront); }
    int Granulize(int size) const;

    bool Expand();
    void Compact();

private:
    bool Reallocate(int capacity);

    IMidiMsg* mBuffer = nullptr;
    int mCapacity = 0;
    int mGrowBy = 0;
    int mFront = 0;
    int mBack = 0;
};
