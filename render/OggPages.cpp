#include "OggPages.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <vector>

namespace
{

const long kHeaderSize = 27;
const long kSerialAt = 14;
const long kChecksumAt = 22;
const long kMostPageSize = kHeaderSize + 255 + 255 * 255;

std::array<uint32_t, 256> checksumTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i)
    {
        uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04c11db7u : r << 1;
        table[i] = r;
    }
    return table;
}

bool readFully(int fd, unsigned char* data, long size, off_t at)
{
    while (size > 0)
    {
        const ssize_t n = pread(fd, data, static_cast<size_t>(size), at);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        at += n;
    }
    return true;
}

using PageVisitor = std::function<bool(unsigned char* page, long size, off_t at)>;

// Each page in turn, whole; false at anything that is not a page. An empty
// output (a device that keeps nothing) has none.
bool forEachPage(int fd, const PageVisitor& visit)
{
    std::vector<unsigned char> page(kMostPageSize);
    for (off_t at = 0;;)
    {
        const ssize_t head = pread(fd, page.data(), kHeaderSize, at);
        if (head == 0)
            return true;
        if (head != kHeaderSize || std::memcmp(page.data(), "OggS", 4) != 0)
            return false;
        const long segments = page[26];
        if (!readFully(fd, &page[kHeaderSize], segments, at + kHeaderSize))
            return false;
        long body = 0;
        for (long s = 0; s < segments; ++s)
            body += page[static_cast<size_t>(kHeaderSize + s)];
        const long size = kHeaderSize + segments + body;
        if (!readFully(fd, &page[static_cast<size_t>(kHeaderSize + segments)], body,
                       at + kHeaderSize + segments) ||
            !visit(page.data(), size, at))
            return false;
        at += size;
    }
}

bool isNumbering(long at)
{
    return (at >= kSerialAt && at < kSerialAt + 4) || (at >= kChecksumAt && at < kChecksumAt + 4);
}

void putLittleEndian(unsigned char* to, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<unsigned char>(value >> (8 * i));
}

// The checksum a page carries, over the page with that field zero.
uint32_t pageChecksum(const unsigned char* page, long size)
{
    static const std::array<uint32_t, 256> table = checksumTable();
    uint32_t crc = 0;
    for (long i = 0; i < size; ++i)
    {
        const bool checksum = i >= kChecksumAt && i < kChecksumAt + 4;
        const unsigned char byte = checksum ? 0 : page[i];
        crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xff];
    }
    return crc;
}

} // namespace

bool RenumberOggStream(int fd)
{
    // FNV-1a over every byte but the stream's number and the checksums.
    uint32_t serial = 2166136261u;
    const PageVisitor hash = [&serial](unsigned char* page, long size, off_t)
    {
        for (long i = 0; i < size; ++i)
        {
            if (!isNumbering(i))
                serial = (serial ^ page[i]) * 16777619u;
        }
        return true;
    };
    const PageVisitor renumber = [fd, &serial](unsigned char* page, long size, off_t at)
    {
        putLittleEndian(page + kSerialAt, serial);
        putLittleEndian(page + kChecksumAt, pageChecksum(page, size));
        return pwrite(fd, page, kHeaderSize, at) == kHeaderSize;
    };
    return forEachPage(fd, hash) && forEachPage(fd, renumber);
}
