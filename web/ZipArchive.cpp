#include "ZipArchive.h"

#include "KIT_Crc32.h"

#include <algorithm>
#include <stdexcept>

namespace
{

const uint32_t kLocalHeader = 0x04034b50, kCentralHeader = 0x02014b50, kEndOfDirectory = 0x06054b50;
const uint16_t kVersion = 20;         // 2.0: stored files and folders
// Made on Unix: unzip reads an MS-DOS archive's names as an old code page,
// whatever its UTF-8 flag says. Files are read-write for their owner.
const uint16_t kMadeBy = (3 << 8) | kVersion;
const uint32_t kFileMode = 0100644u << 16;
const uint16_t kUtf8Names = 1 << 11;  // the general-purpose flag for UTF-8 names
const uint16_t kFirstDay = (0 << 9) | (1 << 5) | 1; // 1980-01-01, the format's first day
const uint64_t kMostBytes = 0xFFFFFFFFu;
const size_t kMostEntries = 0xFFFF;

void put16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// The fields a file's local header and its central record share, from the
// version needed to the extra field's length.
void putCommon(std::vector<uint8_t>& out, const std::string& name, uint32_t crc, uint32_t size)
{
    put16(out, kVersion);
    put16(out, kUtf8Names);
    put16(out, 0); // stored
    put16(out, 0); // 00:00:00
    put16(out, kFirstDay);
    put32(out, crc);
    put32(out, size); // compressed
    put32(out, size);
    put16(out, static_cast<uint32_t>(name.size()));
    put16(out, 0); // no extra field
}

} // namespace

void ZipArchive::Add(const std::string& name, const std::vector<uint8_t>& bytes)
{
    if (name.empty())
        throw std::invalid_argument("a file in an archive needs a name");
    if (std::any_of(mEntries.begin(), mEntries.end(), [&](const Entry& e) { return e.name == name; }))
        throw std::invalid_argument("two files named '" + name + "' in one archive");
    const uint64_t grown = mFiles.size() + 30 + name.size() + bytes.size();
    // The central directory follows the files: it must start within reach too.
    if (name.size() > 0xFFFF || mEntries.size() == kMostEntries || grown + 46 * (mEntries.size() + 1) > kMostBytes)
        throw std::length_error("too much for one archive");
    Entry entry{name, Crc32(bytes.data(), bytes.size()), static_cast<uint32_t>(bytes.size()),
                static_cast<uint32_t>(mFiles.size())};
    put32(mFiles, kLocalHeader);
    putCommon(mFiles, name, entry.crc, entry.size);
    mFiles.insert(mFiles.end(), name.begin(), name.end());
    mFiles.insert(mFiles.end(), bytes.begin(), bytes.end());
    mEntries.push_back(std::move(entry));
}

std::vector<uint8_t> ZipArchive::Bytes() const
{
    std::vector<uint8_t> out = mFiles;
    const size_t directoryStart = out.size();
    for (const Entry& entry : mEntries)
    {
        put32(out, kCentralHeader);
        put16(out, kMadeBy);
        putCommon(out, entry.name, entry.crc, entry.size);
        put16(out, 0); // no comment
        put16(out, 0); // disk 0
        put16(out, 0); // no internal attributes
        put32(out, kFileMode);
        put32(out, entry.offset);
        out.insert(out.end(), entry.name.begin(), entry.name.end());
    }
    const uint64_t directorySize = out.size() - directoryStart;
    if (out.size() + 22 > kMostBytes)
        throw std::length_error("too much for one archive");
    put32(out, kEndOfDirectory);
    put16(out, 0); // this disk
    put16(out, 0); // the directory's disk
    put16(out, static_cast<uint32_t>(mEntries.size()));
    put16(out, static_cast<uint32_t>(mEntries.size()));
    put32(out, static_cast<uint32_t>(directorySize));
    put32(out, static_cast<uint32_t>(directoryStart));
    put16(out, 0); // no comment
    return out;
}
