#include "Containers.h"

#include "IParam.h"

#include <climits>
#include <cstdint>

int ByteChunk::PutBytes(const void* data, int size)
{
    const int n = Size();
    if (size <= 0 || size > INT_MAX - n)
        return n;
    mBytes.Resize(n + size);
    std::memcpy(mBytes.Get() + n, data, static_cast<size_t>(size));
    return Size();
}

int ByteChunk::PutStr(const char* text)
{
    const size_t length = std::strlen(text);
    const int size = length > INT_MAX / 2 ? INT_MAX / 2 : static_cast<int>(length);
    PutBytes(&size, sizeof size);
    return PutBytes(text, size);
}

int ByteChunk::PutBool(bool value)
{
    const unsigned char byte = value ? 1 : 0;
    return PutBytes(&byte, 1);
}

bool ByteChunk::Fits(int startPos, int size) const
{
    return startPos >= 0 && size >= 0 &&
           static_cast<int64_t>(startPos) + static_cast<int64_t>(size) <= Size();
}

int ByteChunk::GetBytes(void* data, int size, int startPos) const
{
    if (!Fits(startPos, size))
        return -1;
    if (size > 0)
        std::memcpy(data, mBytes.Get() + startPos, static_cast<size_t>(size));
    return startPos + size;
}

int ByteChunk::GetStr(KIT_String* text, int startPos) const
{
    int length = 0;
    const int pos = Get(&length, startPos);
    // A negative length or one past any possible position is corrupt.
    if (pos < 0 || length < 0 || length > INT_MAX - pos)
        return -1;
    if (length >= 1 && Fits(pos, length))
        text->Set(reinterpret_cast<const char*>(mBytes.Get() + pos), length);
    return pos + length;
}

int ByteChunk::GetBool(bool* value, int startPos) const
{
    unsigned char byte = 0;
    const int pos = GetBytes(&byte, 1, startPos);
    if (pos >= 0)
        *value = byte != 0;
    return pos;
}

int ByteChunk::Resize(int newSize)
{
    const int old = Size();
    mBytes.Resize(newSize);
    return old;
}

void IPreset::SetName(const char* name)
{
    CopyCut(mName, name, kNameSize);
}
