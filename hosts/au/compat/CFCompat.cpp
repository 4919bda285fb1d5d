#include "CFCompat.h"

#include <plist/plist.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

// Every CF object starts with its reference count.
struct CFObject
{
    virtual ~CFObject() = default;
    std::atomic<int> mRefCount{1};
};

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
    std::string mResources; // the resources folder
    CFStringRef mIdentifier;
};

const CFStringObject* asString(CFStringRef text)
{
    return static_cast<const CFStringObject*>(reinterpret_cast<const CFObject*>(text));
}

CFStringRef makeString(const std::string& text)
{
    auto* string = new CFStringObject;
    string->mText = text;
    return reinterpret_cast<CFStringRef>(static_cast<CFObject*>(string));
}

CFURLRef makeURL(const std::string& path)
{
    auto* url = new CFURLObject;
    url->mPath = path;
    return reinterpret_cast<CFURLRef>(static_cast<CFObject*>(url));
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
    std::ifstream in(file, std::ios::binary);
    const std::string xml((std::istreambuf_iterator<char>(in)), {});
    plist_t root = nullptr;
    if (xml.empty() || xml.size() > (1u << 20))
        return "";
    plist_from_memory(xml.data(), static_cast<uint32_t>(xml.size()), &root);
    std::string identifier;
    plist_t node = root ? plist_dict_get_item(root, "CFBundleIdentifier") : nullptr;
    if (node && plist_get_node_type(node) == PLIST_STRING)
    {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        identifier = value ? value : "";
        std::free(value);
    }
    if (root)
        plist_free(root);
    return identifier;
}

struct Candidate
{
    std::string resources;
    std::string infoPlist; // empty for a plain resources folder
};

// A folder is a bundle (Contents/Resources inside) or a resources folder itself.
Candidate candidateFor(const std::string& folder)
{
    if (isFolder(folder + "/Contents/Resources"))
        return {folder + "/Contents/Resources", folder + "/Contents/Info.plist"};
    return {folder, ""};
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
            delete entry.second;
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
        all.push_back({override, ""});
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
    auto* cf = const_cast<CFObject*>(static_cast<const CFObject*>(object));
    if (cf)
        ++cf->mRefCount;
    return object;
}

void CFRelease(CFTypeRef object)
{
    auto* cf = const_cast<CFObject*>(static_cast<const CFObject*>(object));
    if (cf && --cf->mRefCount == 0)
        delete cf;
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
    const auto* object = reinterpret_cast<const CFBundleObject*>(static_cast<void*>(bundle));
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
            bundle = new CFBundleObject;
            bundle->mResources = candidate.resources;
            bundle->mIdentifier = makeString(wanted);
        }
        return reinterpret_cast<CFBundleRef>(static_cast<CFObject*>(bundle));
    }
    return nullptr;
}

static const CFBundleObject* asBundle(CFBundleRef bundle)
{
    return static_cast<const CFBundleObject*>(reinterpret_cast<CFObject*>(bundle));
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle)
{
    return bundle ? makeURL(asBundle(bundle)->mResources) : nullptr;
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef name, CFStringRef type,
                                 CFStringRef subDir)
{
    const std::string base = textOf(name);
    if (!bundle || base.empty() || base.find('/') != std::string::npos)
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
    const auto* object = static_cast<const CFURLObject*>(reinterpret_cast<const CFObject*>(url));
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
