// Class-info dictionaries from arbitrary bytes, set through the component
// entry: refused whole, or taken whole.
#include "FuzzSupport.h"

#include <cstring>

extern "C" OSStatus Bleepforge_Entry(ComponentParameters* params, void* storage);

namespace
{

CFStringRef text(const std::string& s)
{
    return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Opened in place: the instance keeps its record's address.
    static ComponentInstanceRecord record;
    static const bool opened = []
    {
        record.entry = &Bleepforge_Entry;
        record.description = {0x61756D75, 0x73706770, 0x51726C78, 0, 0};
        return CallComponent(&record, kComponentOpenSelect, {reinterpret_cast<long>(&record)}) ==
               noErr;
    }();
    (void)opened;
    auto* plug = static_cast<Bleepforge*>(record.storage);
    // Each entry: a key byte, a kind byte, a length byte, then that many bytes.
    static const char* const keys[] = {"version", "type", "subtype", "manufacturer", "name", "data", "x"};
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    for (size_t i = 0; i + 3 <= size;)
    {
        const char* key = keys[data[i] % 7];
        const int kind = data[i + 1] % 3;
        size_t length = data[i + 2] * (kind == 2 ? 4u : 1u);
        i += 3;
        length = std::min(length, size - i);
        CFTypeRef value;
        if (kind == 0 && length >= 4)
        {
            SInt32 number;
            std::memcpy(&number, data + i, 4);
            value = CFNumberCreate(nullptr, kCFNumberSInt32Type, &number);
        }
        else if (kind == 1)
            value = text(std::string(reinterpret_cast<const char*>(data + i), length).c_str());
        else
            value = CFDataCreate(nullptr, data + i, static_cast<CFIndex>(length));
        i += length;
        CFStringRef name = text(key);
        if (value)
            CFDictionarySetValue(dictionary, name, value);
        CFRelease(name);
        if (value)
            CFRelease(value);
    }
    const std::vector<double> before = paramValues(*plug);
    const OSStatus result = CallComponent(&record, kAudioUnitSetPropertySelect,
                                          {kAudioUnitProperty_ClassInfo, 0, 0,
                                           reinterpret_cast<long>(&dictionary), sizeof dictionary});
    checkParams(*plug, result == noErr, before);
    CFRelease(dictionary);
    return 0;
}
