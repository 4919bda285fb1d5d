#pragma once

// The folder a manifest is in, which a build reads and writes only inside and
// never through a link: each folder on a path is opened from the one before
// it without following a link, and a file is written under a temporary name
// and renamed there, so a link put in the way meanwhile cannot send it out.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

// A path a build will not read or write, with the reason, naming the path.
struct Refused : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// Why a path from the manifest's folder may leave it, is not the one spelling
// of its file, or cannot be named in a record one a line (a way up, an
// absolute path, a "." or empty name, a control or line-separator
// character), or "" when it stays inside.
std::string WhyNotInside(const std::string& path);

class BuildFolder
{
public:
    // The folder of the manifest at manifestPath as it is spelled (the
    // manifest itself may be reached through a link). Throws when it cannot
    // be opened.
    explicit BuildFolder(const std::string& manifestPath);
    ~BuildFolder();
    BuildFolder(const BuildFolder&) = delete;
    BuildFolder& operator=(const BuildFolder&) = delete;

    // The bytes of the file at a path inside, or nothing when there is none.
    // Throws Refused for a link on the way or at the end, for anything but a
    // regular file there, and for a file larger than mostBytes.
    std::optional<std::string> Read(const std::string& inside, size_t mostBytes) const;
    // Whether a regular file is at a path inside, reached without a link.
    bool Holds(const std::string& inside) const;
    // What is at a path inside when it is not a regular file reached without
    // a link ("a link", "a folder", "a FIFO", ...); "" for a file or nothing.
    std::string OtherThanAFile(const std::string& inside) const;
    // Puts the bytes at a path inside as a whole file, making its folders;
    // throws when it cannot, and for a link on the way or at the end.
    void Write(const std::string& inside, const std::string& bytes) const;

private:
    class Entry;
    Entry entryOf(const std::string& inside, bool makeFolders) const;

    int mFd;
    std::string mPath; // from the working folder: "" or ending in '/'
};
