// Sound slots, the saved state, the one preset and MIDI program changes.
#include "Bleepforge.h"

#include "IGraphicsContext.h"

#include <cstdio>
#include <cstring>

void Bleepforge::SaveData()
{
    std::vector<double> values(static_cast<size_t>(kNumParams));
    for (int i = 0; i < kNumParams; ++i)
        values[static_cast<size_t>(i)] = GetParam(i)->GetNormalized();
    if (mSlots.empty() || mSlotIndex == static_cast<int>(mSlots.size()))
        mSlots.push_back(values);
    else
        mSlots[static_cast<size_t>(mSlotIndex)] = values;
}

void Bleepforge::PrevData()
{
    mSlotIndex = static_cast<int>(mSlots.size());
    SaveData();
    ShowSlotIndex();
}

void Bleepforge::LoadData()
{
    if (mSlotIndex >= static_cast<int>(mSlots.size()))
        return;
    const std::vector<double>& slot = mSlots[static_cast<size_t>(mSlotIndex)];
    for (int p = 0; p < kNumParams; ++p)
        SetAsKnob(p, slot[static_cast<size_t>(p)]);
}

void Bleepforge::ShowSlotIndex()
{
    if (mView)
        mView->ShowSlotIndex(mSlotIndex);
}

void Bleepforge::BtnPrev()
{
    if (mSlotIndex <= 0)
        return;
    --mSlotIndex;
    LoadData();
    ShowSlotIndex();
}

void Bleepforge::BtnNext()
{
    if (mSlotIndex + 1 >= static_cast<int>(mSlots.size()))
        return;
    ++mSlotIndex;
    LoadData();
    ShowSlotIndex();
}

// A host's kept slots: checked whole (a size of whole slots, every value a
// normalised number, the slot shown among them or just past them) before any
// of it replaces the slots of this session.
OSStatus Bleepforge::SetSlots(UInt32 dataSize, const void* data)
{
    const size_t slotBytes = kNumParams * sizeof(double);
    if (!data || dataSize < sizeof(SInt32) || (dataSize - sizeof(SInt32)) % slotBytes != 0)
        return kAudioUnitErr_InvalidPropertyValue;
    const auto* bytes = static_cast<const unsigned char*>(data);
    SInt32 shown;
    std::memcpy(&shown, bytes, sizeof shown);
    const size_t count = (dataSize - sizeof(SInt32)) / slotBytes;
    if (shown < 0 || static_cast<size_t>(shown) > count)
        return kAudioUnitErr_InvalidPropertyValue;
    std::vector<std::vector<double>> slots(count, std::vector<double>(kNumParams));
    for (size_t s = 0; s < count; ++s)
    {
        std::memcpy(slots[s].data(), bytes + sizeof shown + s * slotBytes, slotBytes);
        for (double value : slots[s])
            if (!(value >= 0.0 && value <= 1.0))
                return kAudioUnitErr_InvalidPropertyValue;
    }
    mSlots = std::move(slots);
    mSlotIndex = shown;
    ShowSlotIndex();
    return noErr;
}

void Bleepforge::BtnSave()
{
    SaveData();
}

void Bleepforge::CreatePresets()
{
    MakeDefaultPreset("-", 1);
}

void Bleepforge::PresetsChangedByHost()
{
    IMutexLock lock(this);
    if (GetGUI())
        GetGUI()->SetAllControlsDirty();
}

bool Bleepforge::SerializeState(ByteChunk* chunk)
{
    IMutexLock lock(this);
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = GetParam(i)->Value();
    unsigned char bytes[kStateSize];
    StateCodec::Encode(GetEffectVersion(false), values, kNumParams, bytes);
    const int before = chunk->Size();
    return chunk->PutBytes(bytes, kStateSize) == before + kStateSize;
}

// A state is taken whole or refused whole; the version word is not looked at.
int Bleepforge::UnserializeState(ByteChunk* chunk, int startPos)
{
    IMutexLock lock(this);
    if (startPos < 0 || startPos > chunk->Size())
        return -1;
    double values[kNumParams];
    int32_t version = 0;
    const int size = StateCodec::Decode(chunk->GetBytes() + startPos, static_cast<size_t>(chunk->Size() - startPos),
                                        kNumParams, &version, values);
    if (size < 0)
        return -1;
    RestoreParams(values);
    return startPos + size;
}

bool Bleepforge::CompareState(const unsigned char* data, int)
{
    int version;
    std::memcpy(&version, data, sizeof version);
    const bool sameVersion = version == GetEffectVersion(false);
    const bool sameValues = IPluginBase::CompareState(data, sizeof version);
    return sameVersion && sameValues;
}

// Runs on the audio thread, where printing could block: the number is handed
// to the main thread, which prints it on its next idle call.
void Bleepforge::onProgramChange(int program)
{
    mPendingProgram.store(program, std::memory_order_relaxed);
}

void Bleepforge::OnIdle()
{
    const int program = mPendingProgram.exchange(kNoProgram, std::memory_order_relaxed);
    if (program != kNoProgram)
    {
        std::printf("mudou %d", program);
        std::fflush(stdout);
    }
}
