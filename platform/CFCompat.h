#pragma once

// A small reference-counted Core Foundation subset for platforms without it:
// strings, URLs and bundles found by identifier. Objects made by a Create or
// Copy call belong to the caller (CFRelease); Get calls do not transfer.
#include <cstdint>

typedef uint8_t UInt8;
typedef uint32_t UInt32;
typedef unsigned char Boolean;
typedef long CFIndex;
typedef int32_t SInt32;
typedef const void* CFTypeRef;
typedef unsigned long CFTypeID;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFURL* CFURLRef;
typedef struct __CFBundle* CFBundleRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFData* CFDataRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFArray* CFMutableArrayRef;
typedef const struct __CFArray* CFArrayRef;
typedef UInt32 CFStringEncoding;
typedef CFIndex CFNumberType;
enum
{
    kCFNumberSInt32Type = 3
};

// What an array does with the values it holds; null members do nothing.
typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);
struct CFArrayCallBacks
{
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
};
// Values that are CF objects: retained on append, released with the array.
extern const CFArrayCallBacks kCFTypeArrayCallBacks;
enum
{
    kCFStringEncodingUTF8 = 0x08000100
};

CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
CFIndex CFGetRetainCount(CFTypeRef object);
// Each kind of object answers its own type identifier.
CFTypeID CFGetTypeID(CFTypeRef object);
CFTypeID CFStringGetTypeID();
CFTypeID CFNumberGetTypeID();
CFTypeID CFDataGetTypeID();
CFTypeID CFDictionaryGetTypeID();
CFTypeID CFArrayGetTypeID();

// Numbers hold signed 32-bit integers.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type, const void* value);
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value);
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
CFIndex CFDataGetLength(CFDataRef data);
const UInt8* CFDataGetBytePtr(CFDataRef data);
// Keys are strings compared by text; values are retained.
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const void* keyCallBacks,
                                                 const void* valueCallBacks);
void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value);
const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);
CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary);
// Null callbacks: the values are plain pointers, neither retained nor released.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks);
void CFArrayAppendValue(CFMutableArrayRef array, const void* value);
CFIndex CFArrayGetCount(CFArrayRef array);
const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);
CFIndex CFStringGetLength(CFStringRef text);
// 0 when equal, -1 or 1 by byte order otherwise.
CFIndex CFStringCompare(CFStringRef a, CFStringRef b, UInt32 options);
CFStringRef CFStringCreateWithCString(void* allocator, const char* text, CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef text, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);

// Ordinary programs are not bundles: the main bundle is null here.
CFBundleRef CFBundleGetMainBundle();
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
// The bundle with that identifier among the candidates below, or null:
//  1. the folder named by the environment variable BLEEPFORGE_RESOURCES, taken
//     as the resources folder of any identifier (for development);
//  2. the bundle that holds the loaded module this code is part of (a shared
//     object in Contents/<platform>/ of a ".component" folder);
//  3. folders added with CFCompatAddBundleSearchPath, in order.
// A candidate with a Contents/Info.plist must carry the identifier in it.
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier);
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
// The bundle folder itself (the resources folder for a plain one).
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
// The resource's file URL when such a file exists, else null.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef name, CFStringRef type,
                                 CFStringRef subDir);
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxBufLen);

// A bundle folder (holding Contents/) or a plain resources folder to consider
// after the module's own bundle.
void CFCompatAddBundleSearchPath(const char* path);
// Where CFBundleGetBundleWithIdentifier looks, one folder per line, for messages.
const char* CFCompatDescribeBundleSearch();
