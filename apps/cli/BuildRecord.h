#pragma once

// The record beside a manifest (MANIFEST.built): for each file a build made,
// the hashes of the entry that made it and of its bytes, so that a build
// skips what is up to date and --check names what is not. A line a file:
// entry hash, bytes hash, the file's path from the manifest's folder.
#include "BuildFolder.h"

#include <map>
#include <string>

struct Stamp
{
    std::string entry, bytes;
};

using Stamps = std::map<std::string, Stamp>; // by path from the manifest's folder

struct BuildRecord
{
    Stamps stamps;
    // Written by another version of the program, which may make other bytes
    // of the same entry.
    bool otherVersion = false;
};

// FNV-1a, 64 bits, in hexadecimal: enough to tell a changed entry or file
// from a kept one.
std::string HashOf(const std::string& bytes);

// The manifest's record, empty when there is none. A line that is damaged,
// names a path outside the folder, or names what is not a file (a folder, a
// link) is said on stderr, with its line number, and left out. Throws
// Refused for a record that is a link, not a regular file, or larger than
// any record a build writes.
BuildRecord ReadRecord(const BuildFolder& folder, const std::string& manifest);
// Replaces the record whole; never through a link.
void WriteRecord(const BuildFolder& folder, const std::string& manifest, const Stamps& stamps);
