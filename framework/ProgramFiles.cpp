#include "ProgramFiles.h"

#include "IParam.h"
#include "KIT_ByteOrder.h"

#include <cmath>
#include <cstdint>

namespace
{

const int kProgramNameSize = 28; // 27 characters and a terminator
const int kProgramChunkHeaderSize = 60;
const int kBankChunkHeaderSize = 160;
const int kBankReservedSize = 124;

int FourCC(const char* text)
{
    return static_cast<int>(static_cast<uint32_t>(static_cast<unsigned char>(text[0])) << 24 |
                            static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 16 |
                            static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 8 |
                            static_cast<uint32_t>(static_cast<unsigned char>(text[3])));
}

const int kMagic = FourCC("CcnK");
const int kValueProgram = FourCC("FxCk");
const int kChunkProgram = FourCC("FPCh");
const int kValueBank = FourCC("FxBk");
const int kChunkBank = FourCC("FBCh");

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

void PutProgramName(ByteChunk* chunk, const std::string& name)
{
    char field[kProgramNameSize] = {};
    CopyCut(field, name.c_str(), kProgramNameSize);
    chunk->PutBytes(field, kProgramNameSize);
}

int GetProgramName(const ByteChunk& chunk, std::string* name, int pos)
{
    char field[kProgramNameSize + 1] = {};
    pos = chunk.GetBytes(field, kProgramNameSize, pos);
    char cut[kProgramNameSize];
    CopyCut(cut, field, kProgramNameSize);
    *name = cut;
    return pos;
}

// A size-prefixed block of a file, copied out. False when the size does not
// fit the file.
bool ReadSizedChunk(const ByteChunk& file, int pos, ByteChunk* out)
{
    int size = 0;
    pos = GetBigEndian(file, &size, pos);
    if (pos < 0 || size < 0 || size > file.Size() - pos)
        return false;
    out->PutBytes(file.GetBytes() + pos, size);
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

int GetValues(const ByteChunk& file, int count, std::vector<double>* values, int pos)
{
    values->resize(static_cast<size_t>(count));
    for (double& value : *values)
    {
        if ((pos = GetNormalizedFromFile(file, &value, pos)) < 0)
            return -1;
    }
    return pos;
}

// One program record of a value bank.
bool ReadValueProgram(const ByteChunk& file, int* pos, int nParams, ProgramValues* program)
{
    FxHeader header = {};
    int p = GetFxHeader(file, &header, *pos);
    if (p < 0 || header.magic != kMagic || header.kind != kValueProgram || header.version != 1 ||
        header.count != nParams)
        return false;
    p = GetValues(file, nParams, &program->values, GetProgramName(file, &program->name, p));
    if (p < 0)
        return false;
    *pos = p;
    return true;
}

} // namespace

void PutValueProgram(ByteChunk* image, const ProgramFileOwner& owner, const ProgramValues& program)
{
    PutFxHeader(image, {kMagic, 0, kValueProgram, 1, owner.id, owner.version, owner.nParams});
    PutProgramName(image, program.name);
    for (double value : program.values)
        PutBigEndianFloat(image, static_cast<float>(value));
}

void PutChunkProgram(ByteChunk* image, const ProgramFileOwner& owner, const std::string& name,
                     const ByteChunk& state)
{
    PutFxHeader(image, {kMagic, state.Size() + kProgramChunkHeaderSize, kChunkProgram, 1, owner.id,
                        owner.version, owner.nParams});
    PutProgramName(image, name);
    PutBigEndian(image, state.Size());
    image->PutChunk(&state);
}

void PutValueBankHead(ByteChunk* image, const ProgramFileOwner& owner, int nPrograms, int current)
{
    const char reserved[kBankReservedSize] = {};
    PutFxHeader(image, {kMagic, 0, kValueBank, 2, owner.id, owner.version, nPrograms});
    PutBigEndian(image, current);
    image->PutBytes(reserved, kBankReservedSize);
}

void PutChunkBank(ByteChunk* image, const ProgramFileOwner& owner, int nPrograms, int current,
                  const ByteChunk& bank)
{
    const char reserved[kBankReservedSize] = {};
    PutFxHeader(image, {kMagic, bank.Size() + kBankChunkHeaderSize, kChunkBank, 2, owner.id,
                        owner.version, nPrograms});
    PutBigEndian(image, current);
    image->PutBytes(reserved, kBankReservedSize);
    PutBigEndian(image, bank.Size());
    image->PutChunk(&bank);
}

bool ParseProgramFile(const ByteChunk& file, const ProgramFileOwner& owner, ProgramFile* out)
{
    FxHeader header = {};
    const int pos = GetProgramName(file, &out->program.name, GetFxHeader(file, &header, 0));
    if (pos < 0 || header.magic != kMagic || header.version != 1 || header.id != owner.id ||
        header.count != owner.nParams)
        return false;
    out->isChunk = header.kind == kChunkProgram;
    if (out->isChunk)
        return ReadSizedChunk(file, pos, &out->state);
    return header.kind == kValueProgram &&
           GetValues(file, owner.nParams, &out->program.values, pos) >= 0;
}

bool ParseBankFile(const ByteChunk& file, const ProgramFileOwner& owner, int maxPrograms,
                   BankFile* out)
{
    FxHeader header = {};
    int pos = GetBigEndian(file, &out->current, GetFxHeader(file, &header, 0));
    if (pos >= 0)
        pos += kBankReservedSize;
    if (pos < 0 || pos > file.Size() || header.magic != kMagic || header.id != owner.id)
        return false;
    out->isChunk = header.kind == kChunkBank;
    if (out->isChunk)
        return ReadSizedChunk(file, pos, &out->bank);
    if (header.kind != kValueBank || header.count < 0 || header.count > maxPrograms)
        return false;
    // Every program is read and checked before any is used.
    out->programs.resize(static_cast<size_t>(header.count));
    for (ProgramValues& program : out->programs)
    {
        if (!ReadValueProgram(file, &pos, owner.nParams, &program))
            return false;
    }
    return true;
}
