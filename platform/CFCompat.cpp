#include "CFCompat.h"

#include "KIT_ReadFile.h"
#include "PlistRead.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

const size_t kMaxPlistBytes = 1 << 20;

enum ETypeID : CFTypeID
{
    kStringTypeID = 7,
    kDictionaryTypeID = 18,
    kArrayTypeID = 19,
    kDataTypeID = 20,
    kNumberTypeID = 22,
    kURLTypeID = 29,
    kBundleTypeID = 31
};

// Every CF object starts with this header. Objects cross between modules that
// each carry a copy of this code (a bundle and its host), so the header is plain
// data: the type is a field, and each object frees itself through the function
// of the module that made it.
struct CFObject
{
    std::atomic<int> mRefCount{1};
    CFTypeID mTypeID = 0;
    void (*mDestroy)(CFObject*) = nullptr;
};

// Sets up the header of a new object of type T.
template <class T> T* newObject(CFTypeID type)
{
    T* object = new T;
    object->mTypeID = type;
    object->mDestroy = [](CFObject* self) { delete static_cast<T*>(self); };
    return object;
}

struct CFStringObject : CFObject
{
    std::string mText;
};

struct CFURLObject : CFObject
{
    std::string mPath;
};

struct CFBundleObject : CFObject
{
    std::string mFolder;    // the bundle (or plain resources) folder
    std::string mResources; // the resources folder
    CFStringRef mIdentifier;
};

struct CFNumberObject : CFObject
{
    SInt32 mValue = 0;
};

struct CFDataObject : CFObject
{
    std::vector<UInt8> mBytes;
};

struct CFDictionaryObject : CFObject
{
    ~CFDictionaryObject()
    {
        for (auto& entry : mEntries)
        {
            CFRelease(entry.first);
            CFRelease(entry.second);
        }
    }
    std::vector<std::pair<CFTypeRef, CFTypeRef>> mEntries;
};

struct CFArrayObject : CFObject
{
    ~CFArrayObject()
    {
        for (const void* value : mValues)
        {
            if (mCallBacks.release)
                mCallBacks.release(nullptr, value);
        }
    }
    CFArrayCallBacks mCallBacks = {};
    std::vector<const void*> mValues;
};

const CFObject* asObject(CFTypeRef object)
{
    return static_cast<const CFObject*>(object);
}

template <class T> const T* asKind(CFTypeRef object, CFTypeID type)
{
    const CFObject* cf = asObject(object);
    return cf && cf->mTypeID == type ? static_cast<const T*>(cf) : nullptr;
}

template <class T> T* asMutableKind(CFTypeRef object, CFTypeID type)
{
    return const_cast<T*>(asKind<T>(object, type));
}

template <class Ref> Ref refOf(CFObject* object)
{
    return reinterpret_cast<Ref>(static_cast<void*>(object));
}

const CFStringObject* asString(CFTypeRef text)
{
    return asKind<CFStringObject>(text, kStringTypeID);
}

CFStringRef makeString(const std::string& text)
{
    auto* string = newObject<CFStringObject>(kStringTypeID);
    string->mText = text;
    return refOf<CFStringRef>(string);
}

CFURLRef makeURL(const std::string& path)
{
    auto* url = newObject<CFURLObject>(kURLTypeID);
    url->mPath = path;
    return refOf<CFURLRef>(url);
}

std::string textOf(CFStringRef text)
{
    const CFStringObject* string = asString(text);
    return string ? string->mText : std::string();
}

bool isFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string parentOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// The identifier an Info.plist declares, "" when it cannot be read.
std::string plistIdentifier(const std::string& file)
{
    std::string xml, identifier;
    if (!KIT_ReadFile(file, kMaxPlistBytes, &xml, nullptr))
        return "";
    PlistDocument document(xml);
    PlistDictString(document.Dictionary(), "CFBundleIdentifier", &identifier);
    return identifier;
}

struct Candidate
{
    std::string folder;
    std::string resources;
    std::string infoPlist; // empty for a plain resources folder
};

// A folder is a bundle (Contents/Resources inside) or a resources folder itself.
Candidate candidateFor(const std::string& folder)
{
    if (isFolder(folder + "/Contents/Resources"))
        return {folder, folder + "/Contents/Resources", folder + "/Contents/Info.plist"};
    return {folder, folder, ""};
}

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::string>& searchPaths()
{
    static std::vector<std::string> paths;
    return paths;
}

// Bundles found so far, by identifier and folder; freed when the library unloads.
struct BundleTable
{
    std::map<std::string, CFBundleObject*> bundles;
    ~BundleTable()
    {
        for (auto& entry : bundles)
        {
            CFRelease(entry.second->mIdentifier);
            CFRelease(entry.second);
        }
    }
};

std::map<std::string, CFBundleObject*>& bundlesByIdentifier()
{
    static BundleTable table;
    return table.bundles;
}

// The bundle folder of the module holding this code, when it lies inside one.
std::string moduleBundle()
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&CFCompatDescribeBundleSearch), &info) || !info.dli_fname)
        return "";
    const std::string contents = parentOf(parentOf(info.dli_fname));
    if (contents.size() < 9 || contents.compare(contents.size() - 9, 9, "/Contents") != 0)
        return "";
    return parentOf(contents);
}

std::vector<Candidate> candidates()
{
    std::vector<Candidate> all;
    if (const char* override = std::getenv("BLEEPFORGE_RESOURCES"))
        all.push_back({override, override, ""});
    const std::string module = moduleBundle();
    if (!module.empty())
        all.push_back(candidateFor(module));
    for (const std::string& path : searchPaths())
        all.push_back(candidateFor(path));
    return all;
}

bool matches(const Candidate& candidate, const std::string& identifier)
{
    if (!isFolder(candidate.resources))
        return false;
    if (candidate.infoPlist.empty() || !isFile(candidate.infoPlist))
        return true;
    return plistIdentifier(candidate.infoPlist) == identifier;
}

} // namespace

CFTypeRef CFRetain(CFTypeRef object)
{
    if (const CFObject* cf = asObject(object))
        ++const_cast<CFObject*>(cf)->mRefCount;
    return object;
}

void CFRelease(CFTypeRef object)
{
    auto* cf = const_cast<CFObject*>(asObject(object));
    if (cf && --cf->mRefCount == 0)
        cf->mDestroy(cf);
}

CFIndex CFGetRetainCount(CFTypeRef object)
{
    return object ? asObject(object)->mRefCount.load() : 0;
}

CFTypeID CFGetTypeID(CFTypeRef object)
{
    return object ? asObject(object)->mTypeID : 0;
}

CFTypeID CFStringGetTypeID()
{
    return kStringTypeID;
}
CFTypeID CFNumberGetTypeID()
{
    return kNumberTypeID;
}
CFTypeID CFDataGetTypeID()
{
    return kDataTypeID;
}
CFTypeID CFDictionaryGetTypeID()
{
    return kDictionaryTypeID;
}
CFTypeID CFArrayGetTypeID()
{
    return kArrayTypeID;
}

const CFArrayCallBacks kCFTypeArrayCallBacks = {
    0, [](CFAllocatorRef, const void* value) { return CFRetain(value); },
    [](CFAllocatorRef, const void* value) { CFRelease(value); }, nullptr, nullptr};

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* value)
{
    if (type != kCFNumberSInt32Type || !value)
        return nullptr;
    auto* number = newObject<CFNumberObject>(kNumberTypeID);
    std::memcpy(&number->mValue, value, sizeof number->mValue);
    return refOf<CFNumberRef>(number);
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value)
{
    const auto* object = asKind<CFNumberObject>(number, kNumberTypeID);
    if (!object || type != kCFNumberSInt32Type || !value)
        return false;
    std::memcpy(value, &object->mValue, sizeof object->mValue);
    return true;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
    if (length < 0 || (length > 0 && !bytes))
        return nullptr;
    auto* data = newObject<CFDataObject>(kDataTypeID);
    data->mBytes.assign(bytes, bytes + length);
    return refOf<CFDataRef>(data);
}

CFIndex CFDataGetLength(CFDataRef data)
{
    const auto* object = asKind<CFDataObject>(data, kDataTypeID);
    return object ? static_cast<CFIndex>(object->mBytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef data)
{
    const auto* object = asKind<CFDataObject>(data, kDataTypeID);
    return object ? object->mBytes.data() : nullptr;
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex, const void*, const void*)
{
    return refOf<CFMutableDictionaryRef>(newObject<CFDictionaryObject>(kDictionaryTypeID));
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value)
{
    auto* object = asMutableKind<CFDictionaryObject>(dictionary, kDictionaryTypeID);
    if (!object || !asString(key) || !value)
        return;
    CFRetain(value);
    for (auto& entry : object->mEntries)
    {
        if (asString(entry.first)->mText == asString(key)->mText)
        {
            CFRelease(entry.second);
            entry.second = value;
            return;
        }
    }
    object->mEntries.push_back({CFRetain(key), value});
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key)
{
    const auto* object = asKind<CFDictionaryObject>(dictionary, kDictionaryTypeID);
    if (!object || !asString(key))
        return nullptr;
    for (const auto& entry : object->mEntries)
    {
        if (asString(entry.first)->mText == asString(key)->mText)
            return entry.second;
    }
    return nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary)
{
    const auto* object = asKind<CFDictionaryObject>(dictionary, kDictionaryTypeID);
    return object ? static_cast<CFIndex>(object->mEntries.size()) : 0;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    auto* array = newObject<CFArrayObject>(kArrayTypeID);
    if (callBacks)
        array->mCallBacks = *callBacks;
    return refOf<CFMutableArrayRef>(array);
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value)
{
    auto* object = asMutableKind<CFArrayObject>(array, kArrayTypeID);
    if (!object)
        return;
    object->mValues.push_back(object->mCallBacks.retain ? object->mCallBacks.retain(nullptr, value)
                                                        : value);
}

CFIndex CFArrayGetCount(CFArrayRef array)
{
    const auto* object = asKind<CFArrayObject>(array, kArrayTypeID);
    return object ? static_cast<CFIndex>(object->mValues.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index)
{
    const auto* object = asKind<CFArrayObject>(array, kArrayTypeID);
    if (!object || index < 0 || index >= static_cast<CFIndex>(object->mValues.size()))
        return nullptr;
    return object->mValues[static_cast<size_t>(index)];
}

CFIndex CFStringGetLength(CFStringRef text)
{
    return static_cast<CFIndex>(textOf(text).size());
}

CFIndex CFStringCompare(CFStringRef a, CFStringRef b, UInt32)
{
    const int order = textOf(a).compare(textOf(b));
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

CFStringRef CFStringCreateWithCString(void*, const char* text, CFStringEncoding)
{
    return text ? makeString(text) : nullptr;
}

Boolean CFStringGetCString(CFStringRef text, char* buffer, CFIndex bufferSize, CFStringEncoding)
{
    const CFStringObject* string = asString(text);
    if (!string || !buffer || bufferSize <= 0 ||
        string->mText.size() + 1 > static_cast<size_t>(bufferSize))
        return false;
    std::memcpy(buffer, string->mText.c_str(), string->mText.size() + 1);
    return true;
}

CFBundleRef CFBundleGetMainBundle()
{
    return nullptr;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
    const CFBundleObject* object = asKind<CFBundleObject>(bundle, kBundleTypeID);
    return object ? object->mIdentifier : nullptr;
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier)
{
    const std::string wanted = textOf(identifier);
    if (wanted.empty())
        return nullptr;
    std::lock_guard<std::mutex> lock(registryMutex());
    for (const Candidate& candidate : candidates())
    {
        if (!matches(candidate, wanted))
            continue;
        // Bundles live as long as the process, as loaded bundles do.
        CFBundleObject*& bundle = bundlesByIdentifier()[wanted + "\n" + candidate.resources];
        if (!bundle)
        {
            bundle = newObject<CFBundleObject>(kBundleTypeID);
            bundle->mFolder = candidate.folder;
            bundle->mResources = candidate.resources;
            bundle->mIdentifier = makeString(wanted);
        }
        return refOf<CFBundleRef>(bundle);
    }
    return nullptr;
}

static const CFBundleObject* asBundle(CFBundleRef bundle)
{
    return asKind<CFBundleObject>(bundle, kBundleTypeID);
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle)
{
    return asBundle(bundle) ? makeURL(asBundle(bundle)->mResources) : nullptr;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
{
    return asBundle(bundle) ? makeURL(asBundle(bundle)->mFolder) : nullptr;
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef name, CFStringRef type,
                                 CFStringRef subDir)
{
    const std::string base = textOf(name);
    if (!asBundle(bundle) || base.empty() || base.find('/') != std::string::npos)
        return nullptr;
    std::string folder = asBundle(bundle)->mResources;
    if (!textOf(subDir).empty())
        folder += "/" + textOf(subDir);
    const std::string extension = textOf(type);
    const std::string path = folder + "/" + base + (extension.empty() ? "" : "." + extension);
    return isFile(path) ? makeURL(path) : nullptr;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen)
{
    const CFURLObject* object = asKind<CFURLObject>(url, kURLTypeID);
    if (!object || !buffer || maxBufLen <= 0 ||
        object->mPath.size() + 1 > static_cast<size_t>(maxBufLen))
        return false;
    std::memcpy(buffer, object->mPath.c_str(), object->mPath.size() + 1);
    return true;
}

void CFCompatAddBundleSearchPath(const char* path)
{
    if (!path || !path[0])
        return;
    std::lock_guard<std::mutex> lock(registryMutex());
    searchPaths().push_back(path);
}

const char* CFCompatDescribeBundleSearch()
{
    static thread_local std::string description;
    std::lock_guard<std::mutex> lock(registryMutex());
    description.clear();
    for (const Candidate& candidate : candidates())
        description += (description.empty() ? "" : "\n") + candidate.resources;
    if (description.empty())
        description = "(no resources folder: set BLEEPFORGE_RESOURCES)";
    return description.c_str();
}
