#include "BuildFolder.h"

#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

// The names on a path that WhyNotInside takes.
std::vector<std::string> namesOf(const std::string& path)
{
    std::vector<std::string> names;
    std::istringstream in(path);
    for (std::string name; std::getline(in, name, '/');)
        names.push_back(name);
    return names;
}

std::string linkRefusal(const std::string& path)
{
    return path + " is a link, and a build reads and writes only inside the manifest's "
                  "folder, never through a link (put a folder or file of its own there)";
}

const char* kindOf(mode_t mode)
{
    return S_ISFIFO(mode)   ? "a FIFO"
           : S_ISDIR(mode)  ? "a folder"
           : S_ISSOCK(mode) ? "a socket"
                            : "a device";
}

// Refuses what a build never reads or replaces.
void refuseUnlessRegular(const std::string& path, const struct stat& info)
{
    if (S_ISLNK(info.st_mode))
        throw Refused(linkRefusal(path));
    if (!S_ISREG(info.st_mode))
        throw Refused(path + " is " + kindOf(info.st_mode) +
                      " where a build keeps a file (move it away)");
}

// The folder name in the open folder at, opened without following a link;
// -1 when it is not there and make is false.
int openFolder(int at, const std::string& name, const std::string& path, bool make)
{
    struct stat info;
    if (fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    {
        if (!make)
            return -1;
        if (mkdirat(at, name.c_str(), 0777) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot make the folder '" + path +
                                     "': " + std::strerror(errno));
    }
    else if (S_ISLNK(info.st_mode))
        throw Refused(linkRefusal(path));
    else if (!S_ISDIR(info.st_mode))
    {
        if (!make)
            return -1;
        throw std::runtime_error("cannot make the folder '" + path + "': a file is in its place");
    }
    const int fd = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ELOOP)
        throw Refused(linkRefusal(path)); // put in since it was looked at
    if (fd < 0)
        throw std::runtime_error("cannot open the folder '" + path + "': " + std::strerror(errno));
    return fd;
}

// The code of a character a line can break at or a terminal acts on: an
// ASCII or C1 control, or a line or paragraph separator; 0 for none.
unsigned controlAt(const std::string& path, size_t i)
{
    const unsigned char c = static_cast<unsigned char>(path[i]);
    const auto next = [&](size_t k) { return i + k < path.size() ? static_cast<unsigned char>(path[i + k]) : 0u; };
    if (c < 0x20 || c == 0x7f)
        return c;
    if (c == 0xc2 && next(1) >= 0x80 && next(1) <= 0x9f)
        return next(1);
    if (c == 0xe2 && next(1) == 0x80 && (next(2) == 0xa8 || next(2) == 0xa9))
        return 0x2000u + next(2) - 0x80u;
    return 0;
}

} // namespace

// A path's last name and the folder it is in, open; no folder when one on
// the way is not there.
class BuildFolder::Entry
{
public:
    Entry(int folder, std::string name) : mFolder(folder), mName(std::move(name)) {}
    ~Entry()
    {
        if (mFolder >= 0)
            close(mFolder);
    }
    Entry(Entry&& other) noexcept : mFolder(other.mFolder), mName(std::move(other.mName))
    {
        other.mFolder = -1;
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    Entry& operator=(Entry&&) = delete;

    bool Missing() const { return mFolder < 0; }
    int Folder() const { return mFolder; }
    const std::string& Name() const { return mName; }

    // Goes one folder down; Missing() after when it is not there.
    void Enter(const std::string& name, const std::string& path, bool make)
    {
        const int next = openFolder(mFolder, name, path, make);
        close(mFolder);
        mFolder = next;
    }

private:
    int mFolder;
    std::string mName;
};

std::string WhyNotInside(const std::string& path)
{
    for (size_t i = 0; i < path.size(); ++i)
        if (const unsigned code = controlAt(path, i))
            return "holds a control character (code " + std::to_string(code) +
                   "): paths are printed and recorded one a line";
    // "a/./b" and "a//b" are "a/b" by another name: one spelling a file.
    bool strange = path.empty() || path[0] == '/';
    std::istringstream in(path + "/");
    for (std::string name; std::getline(in, name, '/');)
        strange = strange || name.empty() || name == "." || name == "..";
    if (strange)
        return "'" + path +
               "': expected a path inside the manifest's folder (relative, without .., . or an empty name)";
    return "";
}

BuildFolder::BuildFolder(const std::string& manifestPath)
{
    const size_t slash = manifestPath.rfind('/');
    mPath = slash == std::string::npos ? "" : manifestPath.substr(0, slash + 1);
    mFd = open(mPath.empty() ? "." : mPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (mFd < 0)
        throw std::runtime_error("cannot open the manifest's folder '" +
                                 (mPath.empty() ? "." : mPath) + "': " + std::strerror(errno));
}

BuildFolder::~BuildFolder()
{
    close(mFd);
}

BuildFolder::Entry BuildFolder::entryOf(const std::string& inside, bool makeFolders) const
{
    const std::string why = WhyNotInside(inside);
    if (!why.empty())
        throw Refused(why);
    const std::vector<std::string> names = namesOf(inside);
    Entry entry(fcntl(mFd, F_DUPFD_CLOEXEC, 0), names.back());
    if (entry.Missing())
        throw std::runtime_error("cannot open the manifest's folder: " +
                                 std::string(std::strerror(errno)));
    std::string path;
    for (size_t i = 0; i + 1 < names.size() && !entry.Missing(); ++i)
    {
        path += (path.empty() ? "" : "/") + names[i];
        entry.Enter(names[i], path, makeFolders);
    }
    return entry;
}

std::optional<std::string> BuildFolder::Read(const std::string& inside, size_t mostBytes) const
{
    const Entry entry = entryOf(inside, false);
    struct stat info;
    if (entry.Missing() ||
        fstatat(entry.Folder(), entry.Name().c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    refuseUnlessRegular(inside, info);
    std::string bytes, error;
    if (!KIT_ReadFileAt(entry.Folder(), entry.Name(), mostBytes, &bytes, &error))
        throw Refused(inside + ": " + error);
    return bytes;
}

bool BuildFolder::Holds(const std::string& inside) const
{
    try
    {
        const Entry entry = entryOf(inside, false);
        struct stat info;
        return !entry.Missing() &&
               fstatat(entry.Folder(), entry.Name().c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(info.st_mode);
    }
    catch (const Refused&)
    {
        return false;
    }
}

std::string BuildFolder::OtherThanAFile(const std::string& inside) const
{
    try
    {
        const Entry entry = entryOf(inside, false);
        struct stat info;
        if (entry.Missing() || fstatat(entry.Folder(), entry.Name().c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            S_ISREG(info.st_mode))
            return "";
        return S_ISLNK(info.st_mode) ? "a link" : kindOf(info.st_mode);
    }
    catch (const Refused&)
    {
        return "a link"; // on the way
    }
}

void BuildFolder::Write(const std::string& inside, const std::string& bytes) const
{
    const Entry entry = entryOf(inside, true);
    std::string error;
    if (!KIT_WriteFileSafelyAt(entry.Folder(), entry.Name(), mPath + inside, bytes.data(),
                               bytes.size(), &error))
        throw std::runtime_error(error);
}
