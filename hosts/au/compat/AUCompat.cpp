#include "AUCompat.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace
{

struct Listener
{
    AUEventListenerProc proc;
    void* refCon;
    bool operator==(const Listener& other) const
    {
        return proc == other.proc && refCon == other.refCon;
    }
};

std::mutex& listenerMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<Listener>& listeners()
{
    static std::vector<Listener> all;
    return all;
}

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

const CFStringObject* asString(CFStringRef text)
{
    return static_cast<const CFStringObject*>(reinterpret_cast<const CFObject*>(text));
}

} // namespace

OSStatus AUCompatAddEventListener(AUEventListenerProc proc, void* refCon)
{
    std::lock_guard<std::mutex> lock(listenerMutex());
    listeners().push_back({proc, refCon});
    return noErr;
}

OSStatus AUCompatRemoveEventListener(AUEventListenerProc proc, void* refCon)
{
    std::lock_guard<std::mutex> lock(listenerMutex());
    auto& all = listeners();
    all.erase(std::remove(all.begin(), all.end(), Listener{proc, refCon}), all.end());
    return noErr;
}

OSStatus AUEventListenerNotify(AUEventListenerRef, void* inSendingObject,
                               const AudioUnitEvent* inEvent)
{
    std::vector<Listener> current;
    {
        std::lock_guard<std::mutex> lock(listenerMutex());
        current = listeners();
    }
    for (const Listener& listener : current)
        listener.proc(listener.refCon, inSendingObject, inEvent, 0, 0.0f);
    return noErr;
}

void CFRelease(CFTypeRef object)
{
    auto* cf = const_cast<CFObject*>(static_cast<const CFObject*>(object));
    if (cf && --cf->mRefCount == 0)
        delete cf;
}

CFStringRef CFStringCreateWithCString(void*, const char* text, CFStringEncoding)
{
    if (!text)
        return nullptr;
    auto* string = new CFStringObject;
    string->mText = text;
    return reinterpret_cast<CFStringRef>(static_cast<CFObject*>(string));
}

Boolean CFStringGetCString(CFStringRef text, char* buffer, CFIndex bufferSize, CFStringEncoding)
{
    const CFStringObject* string = asString(text);
    if (!string || bufferSize <= 0 || string->mText.size() + 1 > static_cast<size_t>(bufferSize))
        return false;
    std::memcpy(buffer, string->mText.c_str(), string->mText.size() + 1);
    return true;
}

CFBundleRef CFBundleGetMainBundle()
{
    return nullptr;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef)
{
    return nullptr;
}
