// Program and bank interchange files; the first byte picks which loader.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static IPluginInstanceInfo info;
    static Bleepforge plug(info);
    KIT_String path;
    path.Set(writeFuzzFile(data + 1, size - 1));
    const std::vector<double> before = paramValues(plug);
    const bool bank = data[0] & 1;
    const bool accepted = bank ? plug.LoadBankFromFXB(&path) : plug.LoadProgramFromFXP(&path);
    checkParams(plug, accepted, before);
    return 0;
}
