#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A ZIP archive of stored (uncompressed) files, as every unzip tool opens:
// sound files compress little, and storing keeps the writer small. Names are
// UTF-8 (flagged so); each file is dated 1980-01-01, so the same files give
// the same archive.
class ZipArchive
{
public:
    // Throws std::length_error past what an archive without 64-bit fields
    // holds, std::invalid_argument for an empty name or one already added.
    void Add(const std::string& name, const std::vector<uint8_t>& bytes);
    // The whole archive: each file, then the central directory and its end.
    std::vector<uint8_t> Bytes() const;

private:
    struct Entry
    {
        std::string name;
        uint32_t crc = 0, size = 0, offset = 0;
    };
    std::vector<Entry> mEntries;
    std::vector<uint8_t> mFiles; // the local headers and data, in order
};
