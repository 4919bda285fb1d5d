#include "Locks.h"

#include "Params.h"
#include "Params.h"
#include "KIT_UsageError.h"

namespace
{

// Each group by the names of its parameters: a prefix, or exact names.
struct LockGroup
{
    const char* group;
    std::vector<std::string> prefixes;
};
const LockGroup kLockGroups[] = {
    {"osc1", {"Osc1 "}},
    {"osc2", {"Osc2 "}},
    {"osc3", {"Osc3 "}},
    {"noise", {"White Level", "Pink Level", "Whiite EnvDepth", "Pink EnvDepth"}},
    {"amp-env", {"Amp Env "}},
    {"filter-env", {"Filter Env "}},
    {"filters", {"Filter LP ", "Filter HP "}},
    {"pitch", {"Pitch "}},
    {"crusher", {"BitCrush "}},
    {"output", {"Output Gain", "Compression Factor"}}};

bool startsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

bool inGroup(const LockGroup& group, int param)
{
    for (const std::string& prefix : group.prefixes)
        if (startsWith(paramProperties[param].name, prefix))
            return true;
    return false;
}

} // namespace

const std::vector<std::string>& LockGroupNames()
{
    static const std::vector<std::string> names = []
    {
        std::vector<std::string> all;
        for (const LockGroup& g : kLockGroups)
            all.push_back(g.group);
        return all;
    }();
    return names;
}

std::vector<int> LockedParams(const std::vector<std::string>& locks)
{
    std::vector<int> locked;
    for (const std::string& lock : locks)
    {
        const size_t before = locked.size();
        for (int i = 0; i < kNumParams; ++i)
            if (lock == paramProperties[i].name || lock == LockGroupOf(i))
                locked.push_back(i);
        if (locked.size() == before)
            throw UsageError("--lock '" + lock +
                             "': not a parameter name (see bleepforge params) "
                             "nor a group: osc1, osc2, osc3, noise, amp-env, filter-env, "
                             "filters, pitch, crusher, output");
    }
    return locked;
}

std::string LockGroupOf(int param)
{
    for (const LockGroup& g : kLockGroups)
        if (inGroup(g, param))
            return g.group;
    return "";
}
