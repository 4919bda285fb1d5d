#pragma once

// A small reference-counted Core Foundation subset for platforms without it:
// strings, URLs and bundles found by identifier. Objects made by a Create or
// Copy call belong to the caller (CFRelease); Get calls do not transfer.
#include <cstdint>

typedef uint8_t UInt8;
typedef uint32_t UInt32;
typedef unsigned char Boolean;
typedef long CFIndex;
typedef const void* CFTypeRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFURL* CFURLRef;
typedef struct __CFBundle* CFBundleRef;
typedef UInt32 CFStringEncoding;
enum
{
    kCFStringEncodingUTF8 = 0x08000100
};

CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
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
