// Sound slots, the saved state, the one preset and MIDI program changes.
#include "Bleepforge.h"

#include "IGraphics.h"
#include "qxControls.h"

#include <cstdio>
#include <cstring>

void Bleepforge::SaveData()
{
    if (!mEditor)
        return;
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
    if (!mEditor || mSlotIndex >= static_cast<int>(mSlots.size()))
        return;
    const std::vector<double>& slot = mSlots[static_cast<size_t>(mSlotIndex)];
    for (int p = 0; p < kNumParams; ++p)
        mEditor->SetParameterFromGUI(p, slot[static_cast<size_t>(p)]);
}

void Bleepforge::ShowSlotIndex()
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", mSlotIndex);
    if (mSlotLabel)
        mSlotLabel->SetTextFromPlug(text);
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
    const int version = GetEffectVersion(false);
    chunk->Put(&version);
    return SerializeParams(chunk);
}

int Bleepforge::UnserializeState(ByteChunk* chunk, int startPos)
{
    IMutexLock lock(this);
    int version = 0;
    const int pos = chunk->Get(&version, startPos);
    return UnserializeParams(chunk, pos);
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
