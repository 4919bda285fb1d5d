#pragma once

#include "Containers.h"

#include <string>
#include <vector>

// The program (.fxp) and bank (.fxb) interchange files: big-endian records
// that open with "CcnK". Only the byte layout lives here, as functions over
// byte chunks; what a plug-in does with a file's contents is the plug-in
// base's business.

// The plug-in a file is written by or for.
struct ProgramFileOwner
{
    int id;      // the plug-in's unique code
    int version; // its version word
    int nParams;
};

// A program of normalised values, one per parameter.
struct ProgramValues
{
    std::string name;
    std::vector<double> values;
};

// A program of values ("FxCk"), also the record each program of a value bank is.
void PutValueProgram(ByteChunk* image, const ProgramFileOwner& owner, const ProgramValues& program);
// A program holding the plug-in's own state ("FPCh").
void PutChunkProgram(ByteChunk* image, const ProgramFileOwner& owner, const std::string& name,
                     const ByteChunk& state);
// A bank of value programs ("FxBk"): the head; the programs follow as PutValueProgram writes them.
void PutValueBankHead(ByteChunk* image, const ProgramFileOwner& owner, int nPrograms, int current);
// A bank holding the plug-in's own preset state ("FBCh").
void PutChunkBank(ByteChunk* image, const ProgramFileOwner& owner, int nPrograms, int current,
                  const ByteChunk& bank);

// What a program file holds: values, or the plug-in's state (which may open
// with the framework's version header).
struct ProgramFile
{
    bool isChunk = false;
    ProgramValues program; // the values are empty for a chunk
    ByteChunk state;
};

// False for a file that is not a whole program for the owner. Normalised
// values are held to 0 ... 1; a non-finite one refuses the file.
bool ParseProgramFile(const ByteChunk& file, const ProgramFileOwner& owner, ProgramFile* out);

struct BankFile
{
    bool isChunk = false;
    int current = 0;
    std::vector<ProgramValues> programs; // empty for a chunk
    ByteChunk bank;
};

// False for a file that is not a whole bank for the owner, or a bank of more
// than maxPrograms value programs.
bool ParseBankFile(const ByteChunk& file, const ProgramFileOwner& owner, int maxPrograms,
                   BankFile* out);
