#include "BuildRecord.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace
{

// The header names the version that wrote the record; a record from before
// the version was named has only the header's words.
const char kHeaderStart[] = "# bleepforge build";
const char kHeaderWords[] = ": entry and bytes of each file made; kept by 'bleepforge build'";
const size_t kHashDigits = 16;
const size_t kPathAt = 2 * (kHashDigits + 1);
// Far above the largest set: 100,000 files of a long path each.
const size_t kMostRecordBytes = size_t(64) << 20;

std::string recordOf(const std::string& manifest)
{
    return manifest.substr(manifest.rfind('/') + 1) + ".built";
}

bool isHash(const std::string& text)
{
    if (text.size() != kHashDigits)
        return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            std::isupper(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// What is wrong with an entry line, or "".
std::string whyNotAnEntry(const BuildFolder& folder, const std::string& line)
{
    if (line.size() <= kPathAt || !isHash(line.substr(0, kHashDigits)) ||
        line[kHashDigits] != ' ' || !isHash(line.substr(kHashDigits + 1, kHashDigits)) ||
        line[kPathAt - 1] != ' ')
        return "not an entry (two 16-digit hashes and a path)";
    const std::string path = line.substr(kPathAt);
    const std::string outside = WhyNotInside(path);
    if (!outside.empty())
        return outside;
    const std::string other = folder.OtherThanAFile(path);
    return other.empty() ? "" : "'" + path + "' is " + other + ", not a file a build made";
}

void readHeader(const std::string& line, BuildRecord& record)
{
    if (line.rfind(kHeaderStart, 0) != 0)
        return;
    const size_t words = line.find(kHeaderWords);
    const std::string version =
        words == std::string::npos
            ? ""
            : line.substr(sizeof kHeaderStart - 1, words - (sizeof kHeaderStart - 1));
    record.otherVersion = !version.empty() && version != std::string(" ") + BLEEPFORGE_VERSION;
}

} // namespace

std::string HashOf(const std::string& bytes)
{
    unsigned long long hash = 14695981039346656037ULL;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ULL;
    char text[kHashDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", hash);
    return text;
}

BuildRecord ReadRecord(const BuildFolder& folder, const std::string& manifest)
{
    BuildRecord record;
    const std::optional<std::string> text = folder.Read(recordOf(manifest), kMostRecordBytes);
    std::istringstream lines(text.value_or(""));
    int number = 0;
    for (std::string line; std::getline(lines, line);)
    {
        ++number;
        if (line.empty() || line[0] == '#')
        {
            readHeader(line, record);
            continue;
        }
        const std::string why = whyNotAnEntry(folder, line);
        if (why.empty())
            record.stamps[line.substr(kPathAt)] = {line.substr(0, kHashDigits),
                                                   line.substr(kHashDigits + 1, kHashDigits)};
        else
            std::cerr << "bleepforge: " << manifest << ".built:" << number << ": " << why
                      << "; the line is left out" << std::endl;
    }
    return record;
}

void WriteRecord(const BuildFolder& folder, const std::string& manifest, const Stamps& stamps)
{
    std::string text = std::string(kHeaderStart) + " " + BLEEPFORGE_VERSION + kHeaderWords + "\n";
    for (const auto& [path, stamp] : stamps)
        text += stamp.entry + " " + stamp.bytes + " " + path + "\n";
    folder.Write(recordOf(manifest), text);
}
