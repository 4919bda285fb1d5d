#pragma once

#include "KIT_String.h"
#include "KIT_TypedBuf.h"

#include <cstring>

// Growable byte buffer carrying all state: writes append, reads take an explicit
// start position and return the position after what they read, or -1 when the
// read would leave the chunk. Values are in the machine's native order.
class ByteChunk
{
public:
    int PutBytes(const void* data, int size);
    template <class T> int Put(const T* value) { return PutBytes(value, sizeof(T)); }
    int PutStr(const char* text);
    int PutBool(bool value);
    int PutChunk(const ByteChunk* other) { return PutBytes(other->GetBytes(), other->Size()); }

    int GetBytes(void* data, int size, int startPos) const;
    template <class T> int Get(T* value, int startPos) const
    {
        return GetBytes(value, sizeof(T), startPos);
    }
    int GetStr(KIT_String* text, int startPos) const;
    int GetBool(bool* value, int startPos) const;

    int Size() const { return mBytes.GetSize(); }
    const unsigned char* GetBytes() const { return mBytes.Get(); }
    unsigned char* GetBytes() { return mBytes.Get(); }
    void Clear() { mBytes.Resize(0); }
    int Resize(int newSize);

private:
    bool Fits(int startPos, int size) const;

    KIT_TypedBuf<unsigned char> mBytes;
};

// One named state in the plug-in's preset list.
struct IPreset
{
    static const int kNameSize = 256;

    IPreset() { std::strcpy(mName, "empty"); }
    void SetName(const char* name);

    bool mInitialized = false;
    char mName[kNameSize];
    ByteChunk mChunk;
};
