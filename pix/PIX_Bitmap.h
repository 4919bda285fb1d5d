#pragma once

#include <cstdint>

// One pixel: alpha in bits 0-7, red 8-15, green 16-23, blue 24-31; in memory on
// little-endian machines the bytes are alpha, red, green, blue.
typedef uint32_t PIX_Pixel;

inline PIX_Pixel PIX_MakePixel(int a, int r, int g, int b)
{
    return static_cast<PIX_Pixel>(a & 0xFF) | static_cast<PIX_Pixel>(r & 0xFF) << 8 |
           static_cast<PIX_Pixel>(g & 0xFF) << 16 | static_cast<PIX_Pixel>(b & 0xFF) << 24;
}

// Channel c of a pixel: 0 alpha, 1 red, 2 green, 3 blue.
inline int PIX_Channel(PIX_Pixel p, int c)
{
    return static_cast<int>((p >> (8 * c)) & 0xFF);
}

// A 32-bit bitmap: rows of pixels reached through getBits and the row span.
class PIX_IBitmap
{
public:
    virtual ~PIX_IBitmap() = default;
    virtual PIX_Pixel* getBits() = 0;
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual int getRowSpan() = 0; // in pixels
    virtual bool isFlipped() { return false; }
    virtual bool resize(int width, int height) = 0;
    virtual void* getDC() { return nullptr; }
    virtual int Extended(int, void*) { return 0; }
};

// A bitmap in ordinary memory whose rows are aligned to a power of two pixels.
// Its memory grows by a quarter beyond what is asked and never shrinks.
class PIX_MemBitmap : public PIX_IBitmap
{
public:
    explicit PIX_MemBitmap(int width = 0, int height = 0, int lineAlignment = 4);
    ~PIX_MemBitmap() override;
    PIX_MemBitmap(const PIX_MemBitmap&) = delete;
    PIX_MemBitmap& operator=(const PIX_MemBitmap&) = delete;

    PIX_Pixel* getBits() override { return mBits; }
    int getWidth() override { return mWidth; }
    int getHeight() override { return mHeight; }
    int getRowSpan() override { return (mWidth + mLineAlignMask) & ~mLineAlignMask; }
    bool resize(int width, int height) override;

private:
    void release();

    PIX_Pixel* mBits = nullptr;
    int mWidth = 0;
    int mHeight = 0;
    int64_t mAllocated = 0; // bytes
    int mLineAlignMask = 0;
};

// A bitmap whose memory is a platform drawing context's frame buffer, so that
// it can be copied to a window; here the context is plain memory whose rows
// are a multiple of 4 pixels wide.
class PIX_SysBitmap : public PIX_IBitmap
{
public:
    PIX_SysBitmap(int width, int height);
    ~PIX_SysBitmap() override;
    PIX_SysBitmap(const PIX_SysBitmap&) = delete;
    PIX_SysBitmap& operator=(const PIX_SysBitmap&) = delete;

    PIX_Pixel* getBits() override { return mBits; }
    int getWidth() override { return mWidth; }
    int getHeight() override { return mHeight; }
    int getRowSpan() override { return mAllocWidth; }
    bool resize(int width, int height) override;
    void* getDC() override { return mContext; }

private:
    struct MemoryContext;

    int mWidth = 0;
    int mHeight = 0;
    MemoryContext* mContext = nullptr;
    PIX_Pixel* mBits = nullptr;
    int mAllocWidth = 0;
    int mAllocHeight = 0;
};

// Sizes above this on a side, or with more pixels than kMaxPixels, are refused.
const int PIX_kMaxSide = 32768;
const int64_t PIX_kMaxPixels = int64_t(1) << 26;
