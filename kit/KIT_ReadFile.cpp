#include "KIT_ReadFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

int failWith(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return -1;
}

// O_NONBLOCK makes opening a FIFO with no writer return at once.
int openRegular(int folder, const std::string& name, int flags, std::string* error)
{
    const int fd =
        openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags);
    if (fd < 0 && errno == ELOOP && (flags & O_NOFOLLOW))
        return failWith(error, "'" + name + "' is a link; links are not followed here");
    if (fd < 0)
        return failWith(error, "cannot read '" + name + "': " + std::strerror(errno));
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        close(fd);
        return failWith(error, "'" + name + "' is not a regular file");
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Reads and closes fd.
bool readWhole(int fd, const std::string& path, size_t maxBytes, std::string* bytes,
               std::string* error)
{
    // Read in pieces the file's announced size (it may grow meanwhile) up to one
    // byte more than allowed, which tells a file that is too large; a large
    // limit then costs nothing for a small file.
    struct stat info;
    const size_t announced = fstat(fd, &info) == 0 ? static_cast<size_t>(info.st_size) : 0;
    const size_t kPiece = std::max(announced + 1, size_t(1) << 12);
    std::string data;
    size_t size = 0;
    while (size <= maxBytes)
    {
        const size_t want = std::min(kPiece, maxBytes + 1 - size);
        data.resize(size + want);
        const ssize_t n = read(fd, &data[size], want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
        {
            const int code = errno;
            close(fd);
            failWith(error, "cannot read '" + path + "': " + std::strerror(code));
            return false;
        }
        if (n == 0)
            break;
        size += static_cast<size_t>(n);
    }
    close(fd);
    if (size > maxBytes)
    {
        failWith(error, "'" + path + "' is larger than " + std::to_string(maxBytes) + " bytes");
        return false;
    }
    data.resize(size);
    *bytes = std::move(data);
    return true;
}

} // namespace

int KIT_OpenRegularFile(const std::string& path, std::string* error)
{
    return openRegular(AT_FDCWD, path, 0, error);
}

FILE* KIT_OpenRegularStream(const std::string& path, std::string* error)
{
    const int fd = KIT_OpenRegularFile(path, error);
    if (fd < 0)
        return nullptr;
    FILE* stream = fdopen(fd, "rb");
    if (!stream)
    {
        close(fd);
        failWith(error, "cannot read '" + path + "': " + std::strerror(errno));
    }
    return stream;
}

bool KIT_ReadFile(const std::string& path, size_t maxBytes, std::string* bytes, std::string* error)
{
    const int fd = KIT_OpenRegularFile(path, error);
    return fd >= 0 && readWhole(fd, path, maxBytes, bytes, error);
}

bool KIT_ReadFileAt(int folder, const std::string& name, size_t maxBytes, std::string* bytes,
                    std::string* error)
{
    const int fd = openRegular(folder, name, O_NOFOLLOW, error);
    return fd >= 0 && readWhole(fd, name, maxBytes, bytes, error);
}
