// PNG decoding into a new bitmap and into a given one.
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
    return 0;
}
