#include "AUCompat.h"

#include <algorithm>
#include <mutex>
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
