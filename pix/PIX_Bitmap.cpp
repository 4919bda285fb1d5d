#include "PIX_Bitmap.h"

#include <cstdlib>
#include <new>

namespace
{

const int kSpare = 63;

bool sizeAllowed(int width, int height)
{
    return width <= PIX_kMaxSide && height <= PIX_kMaxSide &&
           static_cast<int64_t>(width) * height <= PIX_kMaxPixels;
}

int alignmentMask(int lineAlignment)
{
    if (lineAlignment < 2)
        return 0;
    const int lowestBit = lineAlignment & -lineAlignment;
    return lowestBit - 1 > 16 ? 16 : lowestBit - 1;
}

} // namespace

PIX_MemBitmap::PIX_MemBitmap(int width, int height, int lineAlignment)
    : mLineAlignMask(alignmentMask(lineAlignment))
{
    if (width >= 1 && height >= 1)
        resize(width, height);
}

PIX_MemBitmap::~PIX_MemBitmap()
{
    std::free(mBits);
}

void PIX_MemBitmap::release()
{
    std::free(mBits);
    mBits = nullptr;
    mAllocated = 0;
}

bool PIX_MemBitmap::resize(int width, int height)
{
    if (width == mWidth && height == mHeight)
        return false;
    mWidth = width;
    mHeight = height;
    const int64_t bytes = static_cast<int64_t>(getRowSpan()) * height * 4;
    if (bytes < 1 || width < 1 || height < 1 || !sizeAllowed(width, height))
    {
        release();
        if (!sizeAllowed(width, height))
            mWidth = mHeight = 0;
        return true;
    }
    if (!mBits)
    {
        mBits = static_cast<PIX_Pixel*>(std::malloc(static_cast<size_t>(bytes + kSpare)));
        mAllocated = mBits ? bytes : 0;
    }
    else if (mAllocated < bytes)
    {
        const int64_t grown = bytes + bytes / 4;
        void* moved = std::realloc(mBits, static_cast<size_t>(grown + kSpare));
        if (moved)
        {
            mBits = static_cast<PIX_Pixel*>(moved);
            mAllocated = grown;
        }
        else
        {
            release();
            mBits = static_cast<PIX_Pixel*>(std::malloc(static_cast<size_t>(bytes + kSpare)));
            mAllocated = mBits ? bytes : 0;
        }
    }
    if (!mBits)
        mWidth = mHeight = 0;
    return true;
}

// The frame buffer comes from calloc: a large one arrives as zeroed pages
// that are touched only when drawn, so opening an editor that never draws
// costs nothing.
struct PIX_SysBitmap::MemoryContext
{
    explicit MemoryContext(size_t pixels)
        : frameBuffer(static_cast<PIX_Pixel*>(std::calloc(pixels, sizeof(PIX_Pixel))))
    {
    }
    ~MemoryContext() { std::free(frameBuffer); }
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;

    PIX_Pixel* frameBuffer;
};

PIX_SysBitmap::PIX_SysBitmap(int width, int height)
{
    resize(width, height);
}

PIX_SysBitmap::~PIX_SysBitmap()
{
    delete mContext;
}

bool PIX_SysBitmap::resize(int width, int height)
{
    if (width == mWidth && height == mHeight)
        return false;
    if (width > 0 && height > 0 && mContext && width <= mAllocWidth && height <= mAllocHeight)
    {
        mWidth = width;
        mHeight = height;
        return true;
    }
    mWidth = width;
    mHeight = height;
    mAllocWidth = width > 0 ? (width + 3) & ~3 : width;
    mAllocHeight = height;
    delete mContext;
    mContext = nullptr;
    mBits = nullptr;
    if (width < 1 || height < 1)
        return false;
    if (sizeAllowed(mAllocWidth, height))
    {
        mContext = new (std::nothrow) MemoryContext(static_cast<size_t>(mAllocWidth) * height);
        mBits = mContext ? mContext->frameBuffer : nullptr;
        if (!mBits)
        {
            delete mContext;
            mContext = nullptr;
        }
    }
    if (!mBits)
        mWidth = mHeight = mAllocWidth = mAllocHeight = 0;
    return true;
}
