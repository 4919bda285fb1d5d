#pragma once

#include <cstddef>
#include <vector>

// An owned, resizable array of plain values; added elements are value-initialised.
template <class T> class KIT_TypedBuf
{
public:
    T* Get() { return mData.data(); }
    const T* Get() const { return mData.data(); }
    int GetSize() const { return static_cast<int>(mData.size()); }
    T* Resize(int count)
    {
        mData.resize(count > 0 ? static_cast<size_t>(count) : 0);
        return Get();
    }
    void Add(const T& value) { mData.push_back(value); }

private:
    std::vector<T> mData;
};

using KIT_HeapBuf = KIT_TypedBuf<unsigned char>;
