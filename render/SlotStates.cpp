#include "SlotStates.h"

#include "IParam.h"
#include "Params.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace
{

const size_t kSlotBytes = kNumParams * sizeof(double);

// The table's parameters, as the instrument initialises them.
struct ParamSet
{
    ParamSet()
    {
        for (int i = 0; i < kNumParams; ++i)
            InitParam(static_cast<EParams>(i), &params[i]);
    }
    IParam params[kNumParams];
};

ParamSet& table()
{
    static ParamSet set;
    return set;
}

std::string slotOfState(const std::string& state)
{
    double values[kNumParams] = {};
    int32_t version = 0;
    if (StateCodec::Decode(reinterpret_cast<const unsigned char*>(state.data()), state.size(), kNumParams,
                           &version, values) < 0)
        throw std::runtime_error("a sound of the list is not a state");
    std::string slot(kSlotBytes, '\0');
    for (int i = 0; i < kNumParams; ++i)
    {
        const double normalised = table().params[i].GetNormalized(values[i]);
        std::memcpy(&slot[static_cast<size_t>(i) * sizeof(double)], &normalised, sizeof normalised);
    }
    return slot;
}

std::string stateOfSlot(const char* slot, int32_t version)
{
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
    {
        double normalised;
        std::memcpy(&normalised, slot + static_cast<size_t>(i) * sizeof(double), sizeof normalised);
        IParam& param = table().params[i];
        param.SetNormalized(normalised);
        values[i] = param.Value();
    }
    std::string state(kStateSize, '\0');
    StateCodec::Encode(version, values, kNumParams, reinterpret_cast<unsigned char*>(&state[0]));
    return state;
}

} // namespace

std::string SlotsOfList(const SoundList& list)
{
    // None chosen: the slot box shows the number SAVE would give the sound.
    const size_t chosen = list.Current() == SoundList::kNone ? list.Size() : list.Current();
    const int32_t shown = static_cast<int32_t>(chosen);
    std::string slots(reinterpret_cast<const char*>(&shown), sizeof shown);
    for (size_t i = 0; i < list.Size(); ++i)
        slots += slotOfState(list.At(i).state);
    return slots;
}

SoundList ListOfSlots(const std::string& slots, const std::string& stateVersion)
{
    int32_t shown = 0, version = 0;
    if (slots.size() < sizeof shown || (slots.size() - sizeof shown) % kSlotBytes != 0 ||
        stateVersion.size() < sizeof version)
        throw std::runtime_error("the kept slots are not whole slots");
    std::memcpy(&shown, slots.data(), sizeof shown);
    std::memcpy(&version, stateVersion.data(), sizeof version);
    const size_t count = (slots.size() - sizeof shown) / kSlotBytes;
    SoundList list;
    for (size_t i = 0; i < count; ++i)
        list.Add(stateOfSlot(slots.data() + sizeof shown + i * kSlotBytes, version), "kept");
    if (count > 0)
        list.Choose(shown >= 0 && static_cast<size_t>(shown) < count ? static_cast<size_t>(shown) : count - 1);
    return list;
}
