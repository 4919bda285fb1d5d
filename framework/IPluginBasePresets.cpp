// Parameter and preset serialisation, preset operations, the program and bank
// interchange files and the developer dumps of IPluginBase.
#include "IPluginBase.h"

#include "ProgramFiles.h"

#include "KIT_Assert.h"
#include "KIT_Base64.h"
#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace
{

const char kFrameworkMagic[4] = {'t', 'f', 'f', 'p'};
const int kFrameworkVersion = 0x10000;
const double kUnsetMarker = 9.999e-08;

bool ReadWholeFile(const char* fileName, ByteChunk* chunk)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(
        fileName ? KIT_OpenRegularStream(fileName, nullptr) : nullptr, &std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long size = std::ftell(file.get());
    if (size < 0 || size > 0x7FFFFFFF || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return false;
    chunk->Resize(static_cast<int>(size));
    return size == 0 || std::fread(chunk->GetBytes(), 1, static_cast<size_t>(size), file.get()) ==
                            static_cast<size_t>(size);
}

bool WriteWholeFile(const char* fileName, const void* data, size_t size)
{
    return fileName && fileName[0] && KIT_WriteFileSafely(fileName, data, size);
}

bool WriteWholeFile(const char* fileName, const ByteChunk& chunk)
{
    return WriteWholeFile(fileName, chunk.GetBytes(), static_cast<size_t>(chunk.Size()));
}

bool WriteWholeFile(const char* fileName, const std::string& text)
{
    return WriteWholeFile(fileName, text.data(), text.size());
}

void AppendFormatted(std::string* text, const char* format, ...)
{
    va_list args, measure;
    va_start(args, format);
    va_copy(measure, args);
    const int n = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (n > 0)
    {
        const size_t end = text->size();
        text->resize(end + static_cast<size_t>(n) + 1);
        std::vsnprintf(&(*text)[end], static_cast<size_t>(n) + 1, format, args);
        text->resize(end + static_cast<size_t>(n));
    }
    va_end(args);
}

std::string Base64Of(const ByteChunk& chunk)
{
    std::string text(static_cast<size_t>(base64EncodedLength(chunk.Size())) + 1, '\0');
    base64encode(chunk.GetBytes(), &text[0], chunk.Size());
    text.resize(text.size() - 1);
    return text;
}

void AppendBlobCall(std::string* text, const char* name, const ByteChunk& chunk)
{
    AppendFormatted(text, "MakePresetFromBlob(\"%s\", \"", name);
    AppendFormatted(text, "%s\", %i);\n", Base64Of(chunk).c_str(), chunk.Size());
}

} // namespace

IPreset* GetNextUninitializedPreset(KIT_PtrList<IPreset>* presets)
{
    for (int i = 0; i < presets->GetSize(); ++i)
    {
        if (!presets->Get(i)->mInitialized)
            return presets->Get(i);
    }
    return nullptr;
}

void MakeDefaultUserPresetName(KIT_PtrList<IPreset>* presets, char* name)
{
    int count = 0;
    for (int i = 0; i < presets->GetSize(); ++i)
    {
        if (std::strstr(presets->Get(i)->mName, "user preset"))
            ++count;
    }
    std::snprintf(name, IPreset::kNameSize, "%s %d", "user preset", count + 1);
}

bool IPluginBase::SerializeParams(ByteChunk* chunk)
{
    KIT_MutexLock lock(mMutex);
    bool saved = true;
    for (int i = 0; i < NParams() && saved; ++i)
    {
        const double value = mParams.Get(i)->Value();
        saved &= chunk->Put(&value) > 0;
    }
    return saved;
}

int IPluginBase::UnserializeParams(ByteChunk* chunk, int startPos)
{
    KIT_MutexLock lock(mMutex);
    // Checked whole before any value is applied: a short or non-finite state
    // is refused and changes nothing.
    std::vector<double> values(static_cast<size_t>(NParams()));
    int pos = startPos;
    for (double& value : values)
    {
        pos = chunk->Get(&value, pos);
        if (pos < 0 || !std::isfinite(value))
            return -1;
    }
    RestoreParams(values.data());
    return pos;
}

void IPluginBase::RestoreParams(const double* values)
{
    KIT_MutexLock lock(mMutex);
    for (int i = 0; i < NParams(); ++i)
        mParams.Get(i)->SetAsPlayed(values[i]);
    OnParamReset();
}

bool IPluginBase::SerializePresets(ByteChunk* chunk)
{
    bool saved = true;
    for (int i = 0; i < NPresets() && saved; ++i)
    {
        IPreset* preset = mPresets.Get(i);
        chunk->PutStr(preset->mName);
        chunk->PutBool(preset->mInitialized);
        if (preset->mInitialized)
            saved &= chunk->PutChunk(&preset->mChunk) > 0;
    }
    return saved;
}

int IPluginBase::UnserializePresets(ByteChunk* chunk, int startPos)
{
    int pos = startPos;
    for (int i = 0; i < NPresets() && pos >= 0; ++i)
    {
        IPreset* preset = mPresets.Get(i);
        KIT_String name;
        pos = chunk->GetStr(&name, pos);
        preset->SetName(name.Get());
        pos = chunk->GetBool(&preset->mInitialized, pos);
        if (pos >= 0 && preset->mInitialized)
        {
            pos = UnserializeState(chunk, pos);
            if (pos > 0)
            {
                preset->mChunk.Clear();
                SerializeState(&preset->mChunk);
            }
        }
    }
    RestorePreset(GetCurrentPresetIdx());
    return pos;
}

void IPluginBase::MakeDefaultPreset(const char* name, int nPresets)
{
    for (int i = 0; i < nPresets; ++i)
    {
        IPreset* preset = GetNextUninitializedPreset(&mPresets);
        if (!preset)
            return;
        preset->mInitialized = true;
        preset->SetName(name ? name : "Empty");
        SerializeState(&preset->mChunk);
    }
}

void IPluginBase::MakePreset(const char* name, ...)
{
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset)
        return;
    preset->mInitialized = true;
    preset->SetName(name);
    va_list values;
    va_start(values, name);
    for (int i = 0; i < NParams(); ++i)
    {
        const IParam::EParamType type = mParams.Get(i)->Type();
        const bool integral =
            type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
        const double value =
            integral ? static_cast<double>(va_arg(values, int)) : va_arg(values, double);
        preset->mChunk.Put(&value);
    }
    va_end(values);
}

void IPluginBase::MakePresetFromNamedParams(const char* name, int nParamsNamed, ...)
{
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset)
        return;
    preset->mInitialized = true;
    preset->SetName(name);

    const int n = NParams();
    std::vector<double> values(static_cast<size_t>(n), kUnsetMarker);
    va_list args;
    va_start(args, nParamsNamed);
    for (int i = 0; i < nParamsNamed; ++i)
    {
        const int paramIdx = va_arg(args, int);
        KIT_ASSERT(paramIdx >= 0 && paramIdx < n);
        const IParam::EParamType type = mParams.Get(paramIdx)->Type();
        const bool integral =
            type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
        values[static_cast<size_t>(paramIdx)] =
            integral ? static_cast<double>(va_arg(args, int)) : va_arg(args, double);
    }
    va_end(args);
    for (int i = 0; i < n; ++i)
    {
        double& value = values[static_cast<size_t>(i)];
        if (value == kUnsetMarker)
            value = mParams.Get(i)->Value();
        preset->mChunk.Put(&value);
    }
}

void IPluginBase::MakePresetFromChunk(const char* name, ByteChunk* chunk)
{
    IPreset* preset = GetNextUninitializedPreset(&mPresets);
    if (!preset)
        return;
    preset->mInitialized = true;
    preset->SetName(name);
    preset->mChunk.PutChunk(chunk);
}

void IPluginBase::MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk)
{
    ByteChunk chunk;
    chunk.Resize(sizeOfChunk);
    base64decode(blob, chunk.GetBytes(), chunk.Size());
    MakePresetFromChunk(name, &chunk);
}

void IPluginBase::PruneUninitializedPresets()
{
    for (int i = 0; i < mPresets.GetSize();)
    {
        if (mPresets.Get(i)->mInitialized)
            ++i;
        else
            mPresets.Delete(i);
    }
}

bool IPluginBase::RestorePreset(int idx)
{
    IPreset* preset = mPresets.Get(idx);
    if (!preset)
        return false;
    bool restored;
    if (preset->mInitialized)
    {
        restored = UnserializeState(&preset->mChunk, 0) > 0;
    }
    else
    {
        char name[IPreset::kNameSize];
        MakeDefaultUserPresetName(&mPresets, name);
        preset->mInitialized = true;
        preset->SetName(name);
        restored = SerializeState(&preset->mChunk);
    }
    if (!restored)
        return false;
    mCurrentPresetIdx = idx;
    PresetsChangedByHost();
    RedrawParamControls();
    return true;
}

bool IPluginBase::RestorePreset(const char* name)
{
    if (!name || !name[0])
        return false;
    for (int i = 0; i < NPresets(); ++i)
    {
        if (std::strcmp(mPresets.Get(i)->mName, name) == 0)
            return RestorePreset(i);
    }
    return false;
}

const char* IPluginBase::GetPresetName(int idx) const
{
    const IPreset* preset = mPresets.Get(idx);
    return preset ? preset->mName : "";
}

void IPluginBase::ModifyCurrentPreset(const char* newName)
{
    IPreset* preset = mPresets.Get(mCurrentPresetIdx);
    if (!preset)
        return;
    preset->mChunk.Clear();
    SerializeState(&preset->mChunk);
    if (newName && newName[0])
        preset->SetName(newName);
}

void IPluginBase::InitChunkWithIPluginVer(ByteChunk* chunk)
{
    chunk->Clear();
    chunk->PutBytes(kFrameworkMagic, sizeof kFrameworkMagic);
    chunk->Put(&kFrameworkVersion);
}

int IPluginBase::GetIPluginVerFromChunk(ByteChunk* chunk, int* pos)
{
    char magic[4];
    int version = 0;
    const int afterMagic = chunk->GetBytes(magic, sizeof magic, *pos);
    if (afterMagic < 0 || std::memcmp(magic, kFrameworkMagic, sizeof magic) != 0)
        return 0;
    const int afterVersion = chunk->Get(&version, afterMagic);
    if (afterVersion < 0)
        return 0;
    *pos = afterVersion;
    return version;
}

ProgramFileOwner IPluginBase::FileOwner()
{
    return {GetUniqueID(), GetEffectVersion(true), NParams()};
}

ProgramValues IPluginBase::CurrentValues(const char* name)
{
    ProgramValues program{name, {}};
    for (int i = 0; i < NParams(); ++i)
        program.values.push_back(mParams.Get(i)->GetNormalized());
    return program;
}

// A preset's chunk is in the plug-in's own state layout, which need not start
// with the parameter values, so each preset is read back through the plug-in
// and the live state restored afterwards.
bool IPluginBase::FillProgramRecords(ByteChunk* image)
{
    KIT_MutexLock lock(mMutex);
    ByteChunk live;
    SerializeState(&live);
    bool filled = true;
    for (int i = 0; i < NPresets() && filled; ++i)
    {
        IPreset* preset = mPresets.Get(i);
        filled = UnserializeState(&preset->mChunk, 0) >= 0;
        if (filled)
            PutValueProgram(image, FileOwner(), CurrentValues(preset->mName));
    }
    UnserializeState(&live, 0);
    return filled;
}

bool IPluginBase::SaveProgramAsFXP(const KIT_String* fileName)
{
    if (!fileName || !fileName->GetLength())
        return false;
    ByteChunk image;
    const char* name = GetPresetName(GetCurrentPresetIdx());
    if (DoesStateChunks())
    {
        ByteChunk state;
        InitChunkWithIPluginVer(&state);
        SerializeState(&state);
        PutChunkProgram(&image, FileOwner(), name, state);
    }
    else
    {
        PutValueProgram(&image, FileOwner(), CurrentValues(name));
    }
    return WriteWholeFile(fileName->Get(), image);
}

bool IPluginBase::LoadProgramFromFXP(const KIT_String* fileName)
{
    ByteChunk file;
    if (!fileName || !fileName->GetLength() || !ReadWholeFile(fileName->Get(), &file))
        return false;
    return ApplyProgramFile(file);
}

bool IPluginBase::ApplyProgramFile(const ByteChunk& file)
{
    ProgramFile program;
    if (!ParseProgramFile(file, FileOwner(), &program) || (program.isChunk && !DoesStateChunks()))
        return false;
    if (program.isChunk)
    {
        // A state that does not load whole is undone, so nothing is half-applied.
        ByteChunk live;
        SerializeState(&live);
        int statePos = 0;
        GetIPluginVerFromChunk(&program.state, &statePos);
        if (UnserializeState(&program.state, statePos) < 0)
        {
            UnserializeState(&live, 0);
            return false;
        }
    }
    else
    {
        for (int i = 0; i < NParams(); ++i)
            mParams.Get(i)->SetNormalized(program.program.values[static_cast<size_t>(i)]);
    }
    ModifyCurrentPreset(program.program.name.c_str());
    RestorePreset(GetCurrentPresetIdx());
    InformHostOfProgramChange();
    return true;
}

bool IPluginBase::SaveBankAsFXB(const KIT_String* fileName)
{
    if (!fileName || !fileName->GetLength())
        return false;
    ByteChunk image;
    if (DoesStateChunks())
    {
        ByteChunk bank;
        InitChunkWithIPluginVer(&bank);
        SerializePresets(&bank);
        PutChunkBank(&image, FileOwner(), NPresets(), GetCurrentPresetIdx(), bank);
    }
    else
    {
        PutValueBankHead(&image, FileOwner(), NPresets(), GetCurrentPresetIdx());
        if (!FillProgramRecords(&image))
            return false;
    }
    return WriteWholeFile(fileName->Get(), image);
}

bool IPluginBase::LoadBankFromFXB(const KIT_String* fileName)
{
    ByteChunk file;
    if (!fileName || !fileName->GetLength() || !ReadWholeFile(fileName->Get(), &file))
        return false;
    return ApplyBankFile(file);
}

bool IPluginBase::ApplyBankFile(const ByteChunk& file)
{
    BankFile bank;
    if (!ParseBankFile(file, FileOwner(), NPresets(), &bank) || (bank.isChunk && !DoesStateChunks()))
        return false;
    if (bank.isChunk)
    {
        // A bank that does not load whole is undone: presets, then live state.
        ByteChunk presets, live;
        SerializePresets(&presets);
        SerializeState(&live);
        int bankPos = 0;
        GetIPluginVerFromChunk(&bank.bank, &bankPos);
        if (UnserializePresets(&bank.bank, bankPos) < 0)
        {
            UnserializePresets(&presets, 0);
            UnserializeState(&live, 0);
            return false;
        }
        InformHostOfProgramChange();
        return true;
    }
    for (size_t i = 0; i < bank.programs.size(); ++i)
    {
        RestorePreset(static_cast<int>(i));
        const std::vector<double>& values = bank.programs[i].values;
        for (int p = 0; p < NParams(); ++p)
            mParams.Get(p)->SetNormalized(values[static_cast<size_t>(p)]);
        ModifyCurrentPreset(bank.programs[i].name.c_str());
    }
    RestorePreset(bank.current);
    InformHostOfProgramChange();
    return true;
}

bool IPluginBase::DumpPresetSrcCode(const char* fileName, const char** paramEnumNames)
{
    std::string text;
    AppendFormatted(&text, "  MakePresetFromNamedParams(\"name\", %d", NParams());
    for (int i = 0; i < NParams(); ++i)
    {
        const IParam* param = mParams.Get(i);
        char value[64];
        switch (param->Type())
        {
        case IParam::kTypeBool:
            std::snprintf(value, sizeof value, "%s", param->Bool() ? "true" : "false");
            break;
        case IParam::kTypeInt:
        case IParam::kTypeEnum:
            std::snprintf(value, sizeof value, "%d", param->Int());
            break;
        default:
            std::snprintf(value, sizeof value, "%.6f", param->Value());
            break;
        }
        AppendFormatted(&text, ",\n    %s, %s", paramEnumNames[i], value);
    }
    text += ");\n";
    return WriteWholeFile(fileName, text);
}

bool IPluginBase::DumpPresetBlob(const char* fileName)
{
    const IPreset* preset = mPresets.Get(mCurrentPresetIdx);
    if (!preset)
        return false;
    std::string text;
    AppendBlobCall(&text, "name", preset->mChunk);
    return WriteWholeFile(fileName, text);
}

bool IPluginBase::DumpBankBlob(const char* fileName)
{
    std::string text;
    for (int i = 0; i < NPresets(); ++i)
    {
        const IPreset* preset = mPresets.Get(i);
        AppendBlobCall(&text, preset->mName, preset->mChunk);
    }
    return WriteWholeFile(fileName, text);
}
