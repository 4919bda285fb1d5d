#pragma once

#include <cstddef>
#include <memory>
#include <vector>

// A list that owns its elements: deleting or clearing an entry deletes it.
template <class T> class KIT_PtrList
{
public:
    int GetSize() const { return static_cast<int>(mItems.size()); }
    T* Get(int index) const
    {
        return index >= 0 && index < GetSize() ? mItems[static_cast<size_t>(index)].get() : nullptr;
    }
    T* Add(T* item)
    {
        mItems.emplace_back(item);
        return item;
    }
    // Past the end the item is appended.
    T* Insert(int index, T* item)
    {
        const int at = index < 0 ? 0 : (index > GetSize() ? GetSize() : index);
        mItems.emplace(mItems.begin() + at, item);
        return item;
    }
    void Delete(int index)
    {
        if (index >= 0 && index < GetSize())
            mItems.erase(mItems.begin() + index);
    }
    void DeleteAll() { mItems.clear(); }
private:
    std::vector<std::unique_ptr<T>> mItems;
};
