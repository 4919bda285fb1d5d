#include "CFCompat.h"
#include "PlistRead.h"
#include "ScratchTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

namespace
{

CFStringRef Text(const char* text)
{
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

std::string PathOf(CFURLRef url)
{
    char path[4096] = {};
    if (!url || !CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(path),
                                                  sizeof path))
        return "";
    return path;
}

} // namespace

// What the adapter's class-info state and the hosts' presets are built of: a
// leak or an early free here loses a sound or crashes a host.
TEST(CFCompat, ContainersRetainWhatTheyHoldAndReleaseItWithThemselves)
{
    const SInt32 number = 7;
    CFNumberRef value = CFNumberCreate(nullptr, kCFNumberSInt32Type, &number);
    CFStringRef key = Text("version");
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    CFDictionarySetValue(dictionary, key, value);
    EXPECT_EQ(2, CFGetRetainCount(value));

    // Keys compare by text, not by address; setting again replaces the value.
    CFStringRef sameKey = Text("version");
    EXPECT_EQ(value, CFDictionaryGetValue(dictionary, sameKey));
    const SInt32 other = 8;
    CFNumberRef replacement = CFNumberCreate(nullptr, kCFNumberSInt32Type, &other);
    CFDictionarySetValue(dictionary, sameKey, replacement);
    EXPECT_EQ(1, CFDictionaryGetCount(dictionary));
    EXPECT_EQ(1, CFGetRetainCount(value));
    EXPECT_EQ(replacement, CFDictionaryGetValue(dictionary, key));

    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, value);
    EXPECT_EQ(2, CFGetRetainCount(value));
    EXPECT_EQ(value, CFArrayGetValueAtIndex(array, 0));

    CFRelease(dictionary);
    CFRelease(array);
    EXPECT_EQ(1, CFGetRetainCount(value));
    EXPECT_EQ(1, CFGetRetainCount(replacement));
    for (CFTypeRef object : {CFTypeRef(value), CFTypeRef(replacement), CFTypeRef(key),
                             CFTypeRef(sameKey)})
        CFRelease(object);
}

TEST(CFCompat, ValuesComeBackAsStoredAndNeverOverrunACallersBuffer)
{
    const UInt8 bytes[] = {0, 1, 2, 0, 255};
    CFDataRef data = CFDataCreate(nullptr, bytes, sizeof bytes);
    ASSERT_EQ(CFIndex(sizeof bytes), CFDataGetLength(data));
    EXPECT_EQ(0, std::memcmp(bytes, CFDataGetBytePtr(data), sizeof bytes));
    EXPECT_EQ(CFDataGetTypeID(), CFGetTypeID(data));
    CFRelease(data);

    const SInt32 negative = -123456;
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &negative);
    SInt32 read = 0;
    EXPECT_TRUE(CFNumberGetValue(number, kCFNumberSInt32Type, &read));
    EXPECT_EQ(negative, read);
    EXPECT_NE(CFStringGetTypeID(), CFGetTypeID(number));
    CFRelease(number);

    CFStringRef text = Text("Bleepforge");
    char small[5]; // under the sanitizers an overrun stops the test here
    EXPECT_FALSE(CFStringGetCString(text, small, sizeof small, kCFStringEncodingUTF8));
    char enough[11];
    ASSERT_TRUE(CFStringGetCString(text, enough, sizeof enough, kCFStringEncodingUTF8));
    EXPECT_STREQ("Bleepforge", enough);
    CFStringRef less = Text("Bleep");
    EXPECT_EQ(0, CFStringCompare(text, text, 0));
    EXPECT_NE(0, CFStringCompare(text, less, 0));
    EXPECT_EQ(-CFStringCompare(text, less, 0), CFStringCompare(less, text, 0));
    CFRelease(text);
    CFRelease(less);
}

class BundleLookup : public ScratchTest
{
};

// The editor finds its images only through its bundle's identifier: a folder
// with another identifier must not lend it images.
TEST_F(BundleLookup, AFolderIsTakenOnlyUnderTheIdentifierItDeclares)
{
    const std::string bundle = path("Other.component");
    ASSERT_EQ(0, system(("mkdir -p '" + bundle + "/Contents/Resources'").c_str()));
    std::ofstream(bundle + "/Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleIdentifier</key><string>com.example.other</string></dict></plist>\n";
    std::ofstream(bundle + "/Contents/Resources/Knob.png") << "png";
    CFCompatAddBundleSearchPath(bundle.c_str());

    CFStringRef wrong = Text("com.example.unknown");
    EXPECT_EQ(nullptr, CFBundleGetBundleWithIdentifier(wrong));
    EXPECT_NE(std::string::npos, std::string(CFCompatDescribeBundleSearch()).find(bundle));
    CFRelease(wrong);

    CFStringRef id = Text("com.example.other");
    CFBundleRef found = CFBundleGetBundleWithIdentifier(id);
    ASSERT_NE(nullptr, found);
    CFStringRef name = Text("Knob"), type = Text("png"), missing = Text("Missing");
    CFURLRef knob = CFBundleCopyResourceURL(found, name, type, nullptr);
    EXPECT_EQ(bundle + "/Contents/Resources/Knob.png", PathOf(knob));
    EXPECT_EQ(nullptr, CFBundleCopyResourceURL(found, missing, type, nullptr));
    char tiny[8];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(knob, true, reinterpret_cast<UInt8*>(tiny),
                                                  sizeof tiny));
    for (CFTypeRef object : {CFTypeRef(knob), CFTypeRef(name), CFTypeRef(type),
                             CFTypeRef(missing), CFTypeRef(id)})
        CFRelease(object);
}

// Presets and bundle descriptions come from outside; the library's own getters
// would stop the process on some of them.
TEST(PlistRead, WhatIsNoStringOrNoDictionaryIsRefused)
{
    EXPECT_EQ(nullptr, PlistDocument("").Root());
    EXPECT_EQ(nullptr, PlistDocument("not a property list").Root());

    const PlistDocument array("<plist version=\"1.0\"><array><string>a</string></array></plist>");
    ASSERT_NE(nullptr, array.Root());
    EXPECT_EQ(nullptr, array.Dictionary());

    const PlistDocument dictionary(
        "<plist version=\"1.0\"><dict><key>name</key><string>Coin</string>"
        "<key>count</key><integer>3</integer></dict></plist>");
    std::string text;
    ASSERT_TRUE(PlistDictString(dictionary.Dictionary(), "name", &text));
    EXPECT_EQ("Coin", text);
    EXPECT_FALSE(PlistDictString(dictionary.Dictionary(), "count", &text));
    EXPECT_FALSE(PlistDictString(dictionary.Dictionary(), "absent", &text));
    EXPECT_FALSE(PlistDictString(array.Root(), "name", &text));
    EXPECT_EQ("Coin", text);
}
