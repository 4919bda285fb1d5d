// Parameter and preset serialisation, preset operations, the program and bank
// interchange files and the developer dumps of IPluginBase.
#include "IPluginBase.h"

#include "KIT_Assert.h"
#include "KIT_Base64.h"
#include "KIT_ByteOrder.h"
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
const int kProgramNameSize = 28; // 27 characters and a terminator
const int kProgramChunkHeaderSize = 60;
const int kBankChunkHeaderSize = 160;
const int kBankReservedSize = 124;
const double kUnsetMarker = 9.999e-08;

int FourCC(const char* text)
{
    return static_cast<int>(static_cast<uint32_t>(static_cast<unsigned char>(text[0])) << 24 |
                            static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 16 |
                            static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 8 |
                            static_cast<uint32_t>(static_cast<unsigned char>(text[3])));
}

void PutBigEndian(ByteChunk* chunk, int value)
{
    const uint32_t swapped = KIT_SwapBigEndian32(static_cast<uint32_t>(value));
    chunk->Put(&swapped);
}

void PutBigEndianFloat(ByteChunk* chunk, float value)
{
    const uint32_t swapped = KIT_SwapBigEndian32(KIT_FloatBits(value));
    chunk->Put(&swapped);
}

int GetBigEndian(const ByteChunk& chunk, int* value, int pos)
{
    uint32_t raw = 0;
    pos = chunk.Get(&raw, pos);
    *value = static_cast<int>(KIT_SwapBigEndian32(raw));
    return pos;
}

int GetBigEndianFloat(const ByteChunk& chunk, float* value, int pos)
{
    uint32_t raw = 0;
    pos = chunk.Get(&raw, pos);
    *value = KIT_BitsToFloat(KIT_SwapBigEndian32(raw));
    return pos;
}

// The integers that open every program and bank: magic, byte size, kind,
// format version, plug-in code, plug-in version, and a count (of parameters or
// programs).
struct FxHeader
{
    int magic, byteSize, kind, version, id, plugVersion, count;
};

void PutFxHeader(ByteChunk* chunk, const FxHeader& h)
{
    for (int value : {h.magic, h.byteSize, h.kind, h.version, h.id, h.plugVersion, h.count})
        PutBigEndian(chunk, value);
}

int GetFxHeader(const ByteChunk& chunk, FxHeader* h, int pos)
{
    for (int* field :
         {&h->magic, &h->byteSize, &h->kind, &h->version, &h->id, &h->plugVersion, &h->count})
        pos = GetBigEndian(chunk, field, pos);
    return pos;
}

void PutProgramName(ByteChunk* chunk, const char* name)
{
    char field[kProgramNameSize] = {};
    CopyCut(field, name, kProgramNameSize);
    chunk->PutBytes(field, kProgramNameSize);
}

int GetProgramName(const ByteChunk& chunk, char* name, int pos)
{
    char field[kProgramNameSize + 1] = {};
    pos = chunk.GetBytes(field, kProgramNameSize, pos);
    CopyCut(name, field, kProgramNameSize);
    return pos;
}

// A size-prefixed block of a file, copied out; contentPos is where its content
// starts after an optional framework version header. False when the size does
// not fit the file.
bool ReadSizedChunk(const ByteChunk& file, int pos, ByteChunk* out, int* contentPos)
{
    int size = 0;
    pos = GetBigEndian(file, &size, pos);
    if (pos < 0 || size < 0 || size > file.Size() - pos)
        return false;
    out->PutBytes(file.GetBytes() + pos, size);
    *contentPos = 0;
    IPluginBase::GetIPluginVerFromChunk(out, contentPos);
    return true;
}

// Normalised values from files are held to 0 ... 1; a non-finite one makes the
// whole file invalid, so it reads as a failed read (-1).
int GetNormalizedFromFile(const ByteChunk& chunk, double* value, int pos)
{
    float normalized = 0.0f;
    pos = GetBigEndianFloat(chunk, &normalized, pos);
    if (!std::isfinite(normalized))
        return -1;
    *value = normalized <= 0.0f ? 0.0 : (normalized < 1.0f ? normalized : 1.0);
    return pos;
}

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
    for (int i = 0; i < NParams(); ++i)
        mParams.Get(i)->Set(values[static_cast<size_t>(i)]);
    OnParamReset();
    return pos;
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

void IPluginBase::FillProgramRecord(ByteChunk* image, const char* name)
{
    PutFxHeader(image, {FourCC("CcnK"), 0, FourCC("FxCk"), 1, GetUniqueID(), GetEffectVersion(true),
                        NParams()});
    PutProgramName(image, name);
    for (int i = 0; i < NParams(); ++i)
        PutBigEndianFloat(image, static_cast<float>(mParams.Get(i)->GetNormalized()));
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
            FillProgramRecord(image, preset->mName);
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
        PutFxHeader(&image, {FourCC("CcnK"), state.Size() + kProgramChunkHeaderSize, FourCC("FPCh"),
                             1, GetUniqueID(), GetEffectVersion(true), NParams()});
        PutProgramName(&image, name);
        PutBigEndian(&image, state.Size());
        image.PutChunk(&state);
    }
    else
    {
        FillProgramRecord(&image, name);
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
    FxHeader header = {};
    char name[kProgramNameSize];
    int pos = GetProgramName(file, name, GetFxHeader(file, &header, 0));
    if (pos < 0 || header.magic != FourCC("CcnK") || header.version != 1 ||
        header.id != GetUniqueID() || header.count != NParams())
        return false;
    const int kind = header.kind;

    if (DoesStateChunks() && kind == FourCC("FPCh"))
    {
        ByteChunk state;
        int statePos = 0;
        if (!ReadSizedChunk(file, pos, &state, &statePos))
            return false;
        // A state that does not load whole is undone, so nothing is half-applied.
        ByteChunk live;
        SerializeState(&live);
        if (UnserializeState(&state, statePos) < 0)
        {
            UnserializeState(&live, 0);
            return false;
        }
    }
    else if (kind == FourCC("FxCk"))
    {
        std::vector<double> values(static_cast<size_t>(NParams()));
        for (double& value : values)
        {
            if ((pos = GetNormalizedFromFile(file, &value, pos)) < 0)
                return false;
        }
        for (int i = 0; i < NParams(); ++i)
            mParams.Get(i)->SetNormalized(values[static_cast<size_t>(i)]);
    }
    else
    {
        return false;
    }
    ModifyCurrentPreset(name);
    RestorePreset(GetCurrentPresetIdx());
    InformHostOfProgramChange();
    return true;
}

bool IPluginBase::SaveBankAsFXB(const KIT_String* fileName)
{
    if (!fileName || !fileName->GetLength())
        return false;
    ByteChunk image;
    const char reserved[kBankReservedSize] = {};
    if (DoesStateChunks())
    {
        ByteChunk bank;
        InitChunkWithIPluginVer(&bank);
        SerializePresets(&bank);
        PutFxHeader(&image, {FourCC("CcnK"), bank.Size() + kBankChunkHeaderSize, FourCC("FBCh"), 2,
                             GetUniqueID(), GetEffectVersion(true), NPresets()});
        PutBigEndian(&image, GetCurrentPresetIdx());
        image.PutBytes(reserved, kBankReservedSize);
        PutBigEndian(&image, bank.Size());
        image.PutChunk(&bank);
    }
    else
    {
        PutFxHeader(&image, {FourCC("CcnK"), 0, FourCC("FxBk"), 2, GetUniqueID(),
                             GetEffectVersion(true), NPresets()});
        PutBigEndian(&image, GetCurrentPresetIdx());
        image.PutBytes(reserved, kBankReservedSize);
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

bool IPluginBase::ReadProgramRecord(const ByteChunk& file, int* pos, char* name,
                                    std::vector<double>* values)
{
    FxHeader header = {};
    int p = GetFxHeader(file, &header, *pos);
    if (p < 0 || header.magic != FourCC("CcnK") || header.kind != FourCC("FxCk") ||
        header.version != 1 || header.count != NParams())
        return false;
    p = GetProgramName(file, name, p);
    values->resize(static_cast<size_t>(NParams()));
    for (double& value : *values)
    {
        if ((p = GetNormalizedFromFile(file, &value, p)) < 0)
            return false;
    }
    *pos = p;
    return true;
}

bool IPluginBase::ApplyBankFile(const ByteChunk& file)
{
    FxHeader header = {};
    int currentProgram = 0;
    int pos = GetBigEndian(file, &currentProgram, GetFxHeader(file, &header, 0));
    if (pos >= 0)
        pos += kBankReservedSize;
    if (pos < 0 || pos > file.Size() || header.magic != FourCC("CcnK") ||
        header.id != GetUniqueID())
        return false;
    const int kind = header.kind;
    const int nPrograms = header.count;

    if (DoesStateChunks() && kind == FourCC("FBCh"))
    {
        ByteChunk bank;
        int bankPos = 0;
        if (!ReadSizedChunk(file, pos, &bank, &bankPos))
            return false;
        // A bank that does not load whole is undone: presets, then live state.
        ByteChunk presets, live;
        SerializePresets(&presets);
        SerializeState(&live);
        if (UnserializePresets(&bank, bankPos) < 0)
        {
            UnserializePresets(&presets, 0);
            UnserializeState(&live, 0);
            return false;
        }
        InformHostOfProgramChange();
        return true;
    }
    if (kind != FourCC("FxBk") || nPrograms < 0 || nPrograms > NPresets())
        return false;

    // Every program is read and checked before any is applied.
    std::vector<std::string> names(static_cast<size_t>(nPrograms));
    std::vector<std::vector<double>> programs(static_cast<size_t>(nPrograms));
    for (int i = 0; i < nPrograms; ++i)
    {
        char name[kProgramNameSize];
        if (!ReadProgramRecord(file, &pos, name, &programs[static_cast<size_t>(i)]))
            return false;
        names[static_cast<size_t>(i)] = name;
    }
    for (int i = 0; i < nPrograms; ++i)
    {
        RestorePreset(i);
        const std::vector<double>& values = programs[static_cast<size_t>(i)];
        for (int p = 0; p < NParams(); ++p)
            mParams.Get(p)->SetNormalized(values[static_cast<size_t>(p)]);
        ModifyCurrentPreset(names[static_cast<size_t>(i)].c_str());
    }
    RestorePreset(currentProgram);
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
