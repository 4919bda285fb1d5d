// Property lists from outside, as .aupreset files and as a bundle's
// Info.plist: refused with a reason, or read into a dictionary; never a stop.
#include "AUHost.h"

#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string xml(reinterpret_cast<const char*>(data), size);
    try
    {
        CFRelease(ParseAUPreset(xml, "the preset"));
    }
    catch (const std::runtime_error&)
    {
    }
    try
    {
        ParseBundleDescription(xml, "the bundle description");
    }
    catch (const std::runtime_error&)
    {
    }
    return 0;
}
