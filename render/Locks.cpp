#include "Locks.h"

#include "Params.h"
#include "StateCodec.h"
#include "KIT_UsageError.h"

#include <cstdint>
#include <stdexcept>

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

namespace
{

struct StateOf
{
    explicit StateOf(const std::string& state)
    {
        if (StateCodec::Decode(reinterpret_cast<const unsigned char*>(state.data()), state.size(),
                               kNumParams, &version, values) < 0)
            throw std::runtime_error("a sound that locks apply to is not a state");
    }

    std::string bytes() const
    {
        std::string out(kStateSize, '\0');
        StateCodec::Encode(version, values, kNumParams, reinterpret_cast<unsigned char*>(&out[0]));
        return out;
    }

    int32_t version = 0;
    double values[kNumParams] = {};
};

} // namespace

std::string KeepLockedValues(const std::string& before, const std::string& after,
                             const std::vector<int>& locked)
{
    if (locked.empty())
        return after;
    const StateOf was(before);
    StateOf kept(after);
    for (int param : locked)
        kept.values[param] = was.values[param];
    return kept.bytes();
}
