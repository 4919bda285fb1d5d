// PNG decoding into a new bitmap and into a given one, and deferred: an image
// that passes the opening check always gives pixels of its announced size.
#include "FuzzSupport.h"
#include "PIX.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = writeFuzzFile(data, size);
    std::unique_ptr<PIX_IBitmap> image(PIX_LoadPNG(path, nullptr));
    PIX_MemBitmap given(2, 3, 4);
    PIX_IBitmap* loaded = PIX_LoadPNG(path, &given);
    if ((image != nullptr) != (loaded != nullptr))
        std::abort();
    if (!loaded && (given.getWidth() != 2 || given.getHeight() != 3))
        std::abort();
    std::unique_ptr<PIX_IBitmap> deferred(PIX_OpenPNG(path));
    if (deferred)
    {
        const int w = deferred->getWidth(), h = deferred->getHeight();
        const PIX_Pixel* bits = deferred->getBits();
        if (!bits || deferred->getRowSpan() < w || (image && (image->getWidth() != w ||
                                                              image->getHeight() != h)))
            std::abort();
        volatile PIX_Pixel last = bits[int64_t(h - 1) * deferred->getRowSpan() + w - 1];
        (void)last;
    }
    return 0;
}
