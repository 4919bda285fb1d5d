#include "PIX.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

using Bytes = std::vector<unsigned char>;

const int kW = 7, kH = 5;

struct Format
{
    int colorType;
    int bitDepth;
    bool trns;
    bool interlaced;
};

std::string describe(const Format& f)
{
    return "type " + std::to_string(f.colorType) + " depth " + std::to_string(f.bitDepth) +
           (f.trns ? " tRNS" : "") + (f.interlaced ? " interlaced" : "");
}

int channelsOf(int colorType)
{
    switch (colorType)
    {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

// Sample c of pixel (x, y), within the depth's range.
unsigned sample(int x, int y, int c, int bitDepth)
{
    const unsigned max = (1u << bitDepth) - 1;
    return (static_cast<unsigned>(x * 37 + y * 101 + c * 59) * 2654435761u >> 7) % (max + 1);
}

unsigned to8(unsigned v, int bitDepth)
{
    if (bitDepth == 16)
        return v >> 8;
    return v * (255 / ((1u << bitDepth) - 1));
}

png_color paletteEntry(unsigned i)
{
    return {static_cast<png_byte>(i * 7), static_cast<png_byte>(255 - i),
            static_cast<png_byte>(i * 3 + 1)};
}

class TempPath
{
public:
    TempPath()
    {
        char pattern[] = "/tmp/bleepforge-png-XXXXXX";
        close(mkstemp(pattern));
        mPath = pattern;
    }
    ~TempPath() { std::remove(mPath.c_str()); }
    const char* c_str() const { return mPath.c_str(); }
    Bytes read() const
    {
        std::ifstream in(mPath, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    void write(const Bytes& b) const
    {
        std::ofstream(mPath, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }

private:
    std::string mPath;
};

// Writes the test image in a format and returns the pixels a decoder must give.
std::vector<PIX_Pixel> writeImage(const char* path, const Format& f)
{
    FILE* file = std::fopen(path, "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, kW, kH, f.bitDepth, f.colorType,
                 f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const unsigned paletteSize = 1u << std::min(f.bitDepth, 8);
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    if (f.colorType == PNG_COLOR_TYPE_PALETTE)
    {
        for (unsigned i = 0; i < paletteSize; ++i)
            palette.push_back(paletteEntry(i));
        png_set_PLTE(png, info, palette.data(), static_cast<int>(paletteSize));
        if (f.trns)
        {
            for (unsigned i = 0; i < (paletteSize + 1) / 2; ++i) // a short chunk: the rest opaque
                paletteAlpha.push_back(static_cast<png_byte>(i * 11));
            png_set_tRNS(png, info, paletteAlpha.data(), static_cast<int>(paletteAlpha.size()),
                         nullptr);
        }
    }
    png_color_16 transparent = {};
    if (f.trns && f.colorType != PNG_COLOR_TYPE_PALETTE)
    {
        transparent.gray = static_cast<png_uint_16>(sample(0, 0, 0, f.bitDepth));
        transparent.red = static_cast<png_uint_16>(sample(0, 0, 0, f.bitDepth));
        transparent.green = static_cast<png_uint_16>(sample(0, 0, 1, f.bitDepth));
        transparent.blue = static_cast<png_uint_16>(sample(0, 0, 2, f.bitDepth));
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    png_write_info(png, info);

    const int channels = channelsOf(f.colorType);
    const size_t rowBytes = (static_cast<size_t>(kW) * channels * f.bitDepth + 7) / 8;
    std::vector<Bytes> rows(kH, Bytes(rowBytes, 0));
    std::vector<PIX_Pixel> expected;
    for (int y = 0; y < kH; ++y)
    {
        size_t bit = 0;
        for (int x = 0; x < kW; ++x)
        {
            unsigned values[4];
            for (int c = 0; c < channels; ++c)
            {
                values[c] = sample(x, y, c, f.bitDepth);
                if (f.bitDepth == 16)
                {
                    rows[y][bit / 8] = static_cast<unsigned char>(values[c] >> 8);
                    rows[y][bit / 8 + 1] = static_cast<unsigned char>(values[c]);
                }
                else
                {
                    const int shift = 8 - f.bitDepth - static_cast<int>(bit % 8);
                    rows[y][bit / 8] |= static_cast<unsigned char>(values[c] << shift);
                }
                bit += f.bitDepth;
            }
            int a = 255, r, g, b;
            if (f.colorType == PNG_COLOR_TYPE_PALETTE)
            {
                const png_color e = paletteEntry(values[0]);
                r = e.red, g = e.green, b = e.blue;
                if (f.trns && values[0] < paletteAlpha.size())
                    a = paletteAlpha[values[0]];
            }
            else if (channels <= 2)
            {
                r = g = b = static_cast<int>(to8(values[0], f.bitDepth));
                if (channels == 2)
                    a = static_cast<int>(to8(values[1], f.bitDepth));
                else if (f.trns && values[0] == transparent.gray)
                    a = 0;
            }
            else
            {
                r = static_cast<int>(to8(values[0], f.bitDepth));
                g = static_cast<int>(to8(values[1], f.bitDepth));
                b = static_cast<int>(to8(values[2], f.bitDepth));
                if (channels == 4)
                    a = static_cast<int>(to8(values[3], f.bitDepth));
                else if (f.trns && values[0] == transparent.red && values[1] == transparent.green &&
                         values[2] == transparent.blue)
                    a = 0;
            }
            expected.push_back(PIX_MakePixel(a, r, g, b));
        }
    }
    std::vector<png_bytep> pointers;
    for (Bytes& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return expected;
}

std::vector<Format> allFormats()
{
    std::vector<Format> formats;
    for (bool interlaced : {false, true})
    {
        for (int depth : {1, 2, 4, 8, 16})
            formats.push_back({PNG_COLOR_TYPE_GRAY, depth, false, interlaced});
        formats.push_back({PNG_COLOR_TYPE_GRAY, 8, true, interlaced});
        formats.push_back({PNG_COLOR_TYPE_GRAY, 2, true, interlaced});
        for (int depth : {8, 16})
        {
            formats.push_back({PNG_COLOR_TYPE_GRAY_ALPHA, depth, false, interlaced});
            formats.push_back({PNG_COLOR_TYPE_RGB, depth, false, interlaced});
            formats.push_back({PNG_COLOR_TYPE_RGB_ALPHA, depth, false, interlaced});
        }
        formats.push_back({PNG_COLOR_TYPE_RGB, 8, true, interlaced});
        for (int depth : {1, 2, 4, 8})
            for (bool trns : {false, true})
                formats.push_back({PNG_COLOR_TYPE_PALETTE, depth, trns, interlaced});
    }
    return formats;
}

void setCrc(Bytes& file, size_t chunkStart, size_t dataLength)
{
    const uLong crc = crc32(0, file.data() + chunkStart + 4, static_cast<uInt>(dataLength + 4));
    for (int i = 0; i < 4; ++i)
        file[chunkStart + 8 + dataLength + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
}

void putBE(Bytes& file, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

} // namespace

TEST(Png, EveryColourTypeAndDepthDecodesToAlphaRedGreenBlue)
{
    TempPath path;
    for (const Format& f : allFormats())
    {
        const std::vector<PIX_Pixel> expected = writeImage(path.c_str(), f);
        PIX_IBitmap* bitmap = PIX_LoadPNG(path.c_str(), nullptr);
        ASSERT_NE(bitmap, nullptr) << describe(f);
        ASSERT_EQ(bitmap->getWidth(), kW);
        ASSERT_EQ(bitmap->getHeight(), kH);
        EXPECT_EQ(bitmap->getRowSpan(), 8); // a memory bitmap aligned to 4
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(bitmap->getBits()[y * bitmap->getRowSpan() + x], expected[y * kW + x])
                    << describe(f) << " at " << x << "," << y;
        delete bitmap;
        std::unique_ptr<PIX_IBitmap> deferred(PIX_OpenPNG(path.c_str()));
        ASSERT_NE(deferred, nullptr) << describe(f);
        ASSERT_EQ(deferred->getWidth(), kW);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                ASSERT_EQ(deferred->getBits()[y * deferred->getRowSpan() + x], expected[y * kW + x])
                    << "deferred " << describe(f) << " at " << x << "," << y;
    }
}

TEST(Png, DecodesIntoAGivenBitmapAndRoundTripsWhatItWrites)
{
    TempPath path;
    PIX_MemBitmap art(13, 9, 1);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            art.getBits()[y * 13 + x] = PIX_MakePixel(x * 19, y * 27, x * y, 255 - x);
    ASSERT_TRUE(PIX_WritePNG(path.c_str(), &art));
    PIX_SysBitmap target(2, 2);
    ASSERT_EQ(PIX_LoadPNG(path.c_str(), &target), &target);
    ASSERT_EQ(target.getWidth(), 13);
    EXPECT_EQ(target.getRowSpan(), 16);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(target.getBits()[y * 16 + x], art.getBits()[y * 13 + x]);
    EXPECT_FALSE(PIX_WritePNG("/nonexistent/dir/x.png", &art));
    PIX_MemBitmap empty(0, 0, 4);
    EXPECT_FALSE(PIX_WritePNG(path.c_str(), &empty));
}

TEST(Png, MalformedFilesGiveNull)
{
    TempPath good, bad;
    writeImage(good.c_str(), {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false});
    const Bytes png = good.read();
    ASSERT_GT(png.size(), 60u);

    EXPECT_EQ(PIX_LoadPNG("/nonexistent/file.png", nullptr), nullptr);
    EXPECT_EQ(PIX_LoadPNG(nullptr, nullptr), nullptr);
    std::vector<Bytes> cases = {Bytes(), Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g'}};
    for (size_t cut : {8, 20, 33, 40, 50})
        cases.push_back(Bytes(png.begin(), png.begin() + static_cast<long>(cut)));
    cases.push_back(Bytes(png.begin(), png.end() - 20)); // IDAT cut short
    Bytes corrupt = png;
    corrupt[45] ^= 0x5a; // damaged image data, checksum no longer matches
    cases.push_back(corrupt);
    for (uint32_t side : {0u, 40000u, 0x7fffffffu})
    {
        Bytes absurd = png;
        putBE(absurd, 16, side); // IHDR width
        setCrc(absurd, 8, 13);
        cases.push_back(absurd);
    }
    Bytes tooManyPixels = png;
    putBE(tooManyPixels, 16, 30000);
    putBE(tooManyPixels, 20, 30000);
    setCrc(tooManyPixels, 8, 13);
    cases.push_back(tooManyPixels);

    for (size_t i = 0; i < cases.size(); ++i)
    {
        bad.write(cases[i]);
        EXPECT_EQ(PIX_LoadPNG(bad.c_str(), nullptr), nullptr) << "case " << i;
        EXPECT_EQ(PIX_OpenPNG(bad.c_str()), nullptr) << "case " << i;
        PIX_MemBitmap given(3, 3, 4);
        given.getBits()[4] = 0x12345678;
        EXPECT_EQ(PIX_LoadPNG(bad.c_str(), &given), nullptr) << "case " << i;
        EXPECT_EQ(given.getWidth(), 3) << "case " << i; // untouched by a failed load
        EXPECT_EQ(given.getBits()[4], 0x12345678u) << "case " << i;
    }
}

// A file whose chunks are whole but whose image data does not inflate passes
// the opening check; its deferred pixels then come out blank, at full size.
TEST(Png, DeferredDecodingThatFailsLeavesABlankImageOfTheAnnouncedSize)
{
    TempPath path;
    writeImage(path.c_str(), {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false});
    Bytes png = path.read();
    const std::string bytes(png.begin(), png.end());
    const size_t idat = bytes.find("IDAT") - 4;
    const uint32_t length = uint32_t(png[idat]) << 24 | uint32_t(png[idat + 1]) << 16 |
                            uint32_t(png[idat + 2]) << 8 | png[idat + 3];
    std::fill(png.begin() + long(idat) + 8, png.begin() + long(idat + 8 + length), 0xff);
    setCrc(png, idat, length);
    path.write(png);

    std::unique_ptr<PIX_IBitmap> image(PIX_OpenPNG(path.c_str()));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->getWidth(), kW);
    ASSERT_EQ(image->getHeight(), kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            ASSERT_EQ(image->getBits()[y * image->getRowSpan() + x], 0u);
    EXPECT_EQ(PIX_LoadPNG(path.c_str(), nullptr), nullptr);
}
