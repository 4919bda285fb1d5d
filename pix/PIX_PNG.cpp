#include "PIX.h"

#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{

// libpng reports errors by jumping back to the setjmp of the caller.
void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

void askForArgb(png_structp png, png_infop info)
{
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS))
    {
        png_set_tRNS_to_alpha(png);
        hasAlpha = true;
    }
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (bitDepth < 8)
        png_set_packing(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (hasAlpha)
        png_set_swap_alpha(png);
    else
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

bool decodable(png_uint_32 width, png_uint_32 height)
{
    return width >= 1 && height >= 1 && width <= PIX_kMaxSide && height <= PIX_kMaxSide &&
           static_cast<int64_t>(width) * height <= PIX_kMaxPixels;
}

// Decodes into a new bitmap returned through created. Everything a jump could
// skip lives outside this frame.
bool decode(FILE* file, PIX_IBitmap** created, std::vector<png_bytep>* rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png)))
    {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_set_user_limits(png, PIX_kMaxSide, PIX_kMaxSide);
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!decodable(width, height))
        png_error(png, "image too large");
    askForArgb(png, info);
    if (png_get_rowbytes(png, info) != width * 4)
        png_error(png, "unexpected row layout");

    PIX_IBitmap* bitmap = *created = new PIX_MemBitmap(0, 0, 4);
    bitmap->resize(static_cast<int>(width), static_cast<int>(height));
    if (bitmap->getWidth() != static_cast<int>(width) ||
        bitmap->getHeight() != static_cast<int>(height) || !bitmap->getBits())
        png_error(png, "no memory for the image");

    const int64_t span = bitmap->getRowSpan();
    rows->resize(height);
    for (png_uint_32 i = 0; i < height; ++i)
    {
        const int64_t row = bitmap->isFlipped() ? height - 1 - i : i;
        (*rows)[i] = reinterpret_cast<png_bytep>(bitmap->getBits() + row * span);
    }
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// A new bitmap holding the whole decoded file, or null.
std::unique_ptr<PIX_IBitmap> decodeFile(const char* fileName)
{
    FILE* file = fileName ? KIT_OpenRegularStream(fileName, nullptr) : nullptr;
    if (!file)
        return nullptr;
    PIX_IBitmap* created = nullptr;
    std::vector<png_bytep> rows;
    const bool decoded = decode(file, &created, &rows);
    std::fclose(file);
    std::unique_ptr<PIX_IBitmap> image(created);
    return decoded ? std::move(image) : nullptr;
}

uint32_t bigEndian(const unsigned char* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool saneHeader(const unsigned char* data, uint32_t length)
{
    if (length != 13)
        return false;
    const int depth = data[8], colorType = data[9];
    const bool depthKnown = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    const bool typeKnown = colorType == 0 || colorType == 2 || colorType == 3 || colorType == 4 ||
                           colorType == 6;
    return decodable(bigEndian(data), bigEndian(data + 4)) && depthKnown && typeKnown &&
           data[10] == 0 && data[11] == 0 && data[12] <= 1;
}

// The file's structure without inflating anything: the signature, a sane
// header first, every chunk whole with a matching checksum, image data, and
// the end chunk last.
bool checkStructure(const std::string& bytes, int* width, int* height)
{
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 8 || std::memcmp(data, kSignature, 8) != 0)
        return false;
    size_t at = 8;
    bool headerSeen = false, imageSeen = false;
    while (bytes.size() - at >= 12)
    {
        const uint32_t length = bigEndian(data + at);
        if (length > bytes.size() - at - 12)
            return false;
        const unsigned char* type = data + at + 4;
        const unsigned char* body = type + 4;
        if (crc32(crc32(0, nullptr, 0), type, length + 4) != bigEndian(body + length))
            return false;
        const bool isHeader = std::memcmp(type, "IHDR", 4) == 0;
        if (isHeader != !headerSeen || (isHeader && !saneHeader(body, length)))
            return false;
        if (isHeader)
        {
            *width = static_cast<int>(bigEndian(body));
            *height = static_cast<int>(bigEndian(body + 4));
        }
        headerSeen = true;
        imageSeen = imageSeen || std::memcmp(type, "IDAT", 4) == 0;
        if (std::memcmp(type, "IEND", 4) == 0)
            return imageSeen && length == 0;
        at += 12 + length;
    }
    return false;
}

// An image whose pixels are decoded when they are first asked for. A decoding
// that fails after all leaves it its announced size, fully transparent.
class DeferredPNG : public PIX_IBitmap
{
public:
    DeferredPNG(const char* fileName, int width, int height)
        : mFileName(fileName), mWidth(width), mHeight(height)
    {
    }
    PIX_Pixel* getBits() override { return pixels().getBits(); }
    int getWidth() override { return mWidth; }
    int getHeight() override { return mHeight; }
    int getRowSpan() override { return pixels().getRowSpan(); }
    bool resize(int width, int height) override
    {
        const bool changed = pixels().resize(width, height);
        mWidth = mPixels->getWidth();
        mHeight = mPixels->getHeight();
        return changed;
    }

private:
    PIX_IBitmap& pixels()
    {
        std::call_once(mDecoded, [this] { mPixels = decodeAnnounced(); });
        return *mPixels;
    }
    std::unique_ptr<PIX_IBitmap> decodeAnnounced() const
    {
        std::unique_ptr<PIX_IBitmap> image = decodeFile(mFileName.c_str());
        if (image && image->getWidth() == mWidth && image->getHeight() == mHeight)
            return image;
        image = std::make_unique<PIX_MemBitmap>(mWidth, mHeight, 4);
        std::memset(image->getBits(), 0,
                    static_cast<size_t>(image->getRowSpan()) * static_cast<size_t>(mHeight) * 4);
        return image;
    }

    const std::string mFileName;
    int mWidth, mHeight;
    std::once_flag mDecoded;
    std::unique_ptr<PIX_IBitmap> mPixels; // set once, by the first caller that needs pixels
};

} // namespace

// dest is touched only once the whole image has decoded.
PIX_IBitmap* PIX_LoadPNG(const char* fileName, PIX_IBitmap* dest)
{
    std::unique_ptr<PIX_IBitmap> image = decodeFile(fileName);
    if (!image)
        return nullptr;
    if (!dest)
        return image.release();
    PIX_Copy(dest, image.get());
    const bool copied = dest->getWidth() == image->getWidth() &&
                        dest->getHeight() == image->getHeight() && dest->getBits();
    return copied ? dest : nullptr;
}

PIX_IBitmap* PIX_OpenPNG(const char* fileName)
{
    const size_t kMostBytes = size_t(64) << 20;
    std::string bytes;
    int width = 0, height = 0;
    if (!fileName || !KIT_ReadFile(fileName, kMostBytes, &bytes, nullptr) ||
        !checkStructure(bytes, &width, &height))
        return nullptr;
    return new DeferredPNG(fileName, width, height);
}

namespace
{

void appendToBuffer(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

bool encode(std::vector<unsigned char>* out, PIX_IBitmap* src, std::vector<png_bytep>* rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    const int width = src->getWidth(), height = src->getHeight();
    png_set_write_fn(png, out, appendToBuffer, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_swap_alpha(png); // memory holds alpha first, the file wants it last
    const int64_t span = src->getRowSpan();
    rows->resize(static_cast<size_t>(height));
    for (int i = 0; i < height; ++i)
    {
        const int64_t row = src->isFlipped() ? height - 1 - i : i;
        (*rows)[static_cast<size_t>(i)] = reinterpret_cast<png_bytep>(src->getBits() + row * span);
    }
    png_write_image(png, rows->data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

// The image is encoded in memory first, so a failure never leaves a broken file.
bool PIX_WritePNG(const char* fileName, PIX_IBitmap* src)
{
    if (!fileName || !src || !src->getBits() || src->getWidth() < 1 || src->getHeight() < 1)
        return false;
    std::vector<unsigned char> image;
    std::vector<png_bytep> rows;
    return encode(&image, src, &rows) && KIT_WriteFileSafely(fileName, image.data(), image.size());
}
