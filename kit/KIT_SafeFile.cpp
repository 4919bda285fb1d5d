#include "KIT_SafeFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const int kMaxLinkDepth = 40;
const int kNameAttempts = 100;

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links, also a dangling one, to the path really written.
std::string resolveLinks(std::string path)
{
    for (int depth = 0; depth < kMaxLinkDepth; ++depth)
    {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        char link[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
        if (n <= 0)
            return path;
        link[n] = '\0';
        path = link[0] == '/' ? std::string(link) : folderOf(path) + "/" + link;
    }
    return path;
}

// A suffix unlikely to repeat; O_EXCL makes sure it names no existing file.
std::string uniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    char text[48];
    std::snprintf(text, sizeof text, ".%d.%x.%llx", static_cast<int>(getpid()),
                  counter.fetch_add(1, std::memory_order_relaxed),
                  static_cast<unsigned long long>(ticks) & 0xFFFFFFull);
    return text;
}

// The temporary files being written, as pointers to their writers' own
// names, so that a signal handler can remove them without locks or memory.
const int kMostFilesInFlight = 64;
std::atomic<const char*> gInFlight[kMostFilesInFlight];

// Written by the program's signal handler, read on any thread.
volatile std::sig_atomic_t gStopSignal = 0;
static_assert(std::atomic<const char*>::is_always_lock_free, "read by signal handlers");

// Beyond the most at once, a file is removed only by its writer.
void track(const std::string& name)
{
    for (std::atomic<const char*>& slot : gInFlight)
    {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, name.c_str()))
            return;
    }
}

void untrack(const std::string& name)
{
    for (std::atomic<const char*>& slot : gInFlight)
    {
        const char* mine = name.c_str();
        if (slot.compare_exchange_strong(mine, nullptr))
            return;
    }
}

bool writable(int folder, const std::string& name)
{
    const int fd =
        openat(folder, name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

} // namespace

KIT_SafeFile::KIT_SafeFile(const std::string& path) : mFolder(AT_FDCWD)
{
    struct stat info;
    // What the path leads to is not a regular file (a pipe reached through
    // /dev/stdout, a device): written directly, by the name given.
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    {
        mTarget = mShown = path;
        mDirect = true;
        mFd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (mFd < 0)
            Fail("cannot open");
        return;
    }
    mTarget = mShown = resolveLinks(path);
    Start(stat(mTarget.c_str(), &info) == 0 ? &info : nullptr);
}

KIT_SafeFile::KIT_SafeFile(int folder, const std::string& name, const std::string& path)
    : mFolder(folder), mTarget(name), mShown(path)
{
    struct stat info;
    const bool exists = fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISLNK(info.st_mode))
        Refuse("is a link, which is never written through");
    else if (exists && !S_ISREG(info.st_mode))
        Refuse("is not a regular file");
    else
        Start(exists ? &info : nullptr);
}

void KIT_SafeFile::Start(const struct stat* existing)
{
    // A file we may not write to stays as it is, as a shell redirect leaves it.
    if (existing && !writable(mFolder, mTarget))
    {
        Fail("cannot write");
        return;
    }
    if (OpenTemporary() && existing)
        fchmod(mFd, existing->st_mode & 07777); // the replacement keeps the target's permissions
}

KIT_SafeFile::~KIT_SafeFile()
{
    Discard();
}

bool KIT_SafeFile::OpenTemporary()
{
    const std::string stem = folderOf(mTarget) + "/." + baseOf(mTarget);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt)
    {
        const std::string name = stem + uniqueSuffix() + ".part";
        // A signal between creating the file and tracking it would find it
        // untracked and leave it behind, so signals wait for both.
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        // 0666 lets the user's umask decide, as for any newly created file.
        mFd = openat(mFolder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     0666);
        const int error = errno;
        if (mFd >= 0)
        {
            mTemporary = name;
            mInFlight = folderOf(mShown) + "/" + baseOf(name);
            track(mInFlight);
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        if (mFd >= 0)
            return true;
        errno = error;
        if (error != EEXIST)
            break;
    }
    return Fail("cannot create a file in the folder of");
}

bool KIT_SafeFile::Write(const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (IsOpen() && size > 0)
    {
        // A pipe's reader may never read on; a signal ends the wait for it.
        if (mDirect && KIT_StopSignal() != 0)
        {
            errno = EINTR;
            return Fail("cannot write");
        }
        const ssize_t n = write(mFd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail("cannot write");
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return IsOpen();
}

bool KIT_SafeFile::Commit()
{
    if (!IsOpen())
        return false;
    if (mDirect)
    {
        const int fd = mFd;
        mFd = -1;
        return close(fd) == 0 || Fail("cannot finish");
    }
    if (fsync(mFd) != 0 || close(mFd) != 0)
    {
        mFd = -1;
        return Fail("cannot finish");
    }
    mFd = -1;
    if (renameat(mFolder, mTemporary.c_str(), mFolder, mTarget.c_str()) != 0)
        return Fail("cannot replace");
    untrack(mInFlight);
    mTemporary.clear();
    return true;
}

void KIT_SafeFile::Discard()
{
    if (mFd >= 0)
        close(mFd);
    mFd = -1;
    if (!mTemporary.empty())
    {
        unlinkat(mFolder, mTemporary.c_str(),
                 0); // before untracking, so that a handler never misses it
        untrack(mInFlight);
    }
    mTemporary.clear();
}

bool KIT_SafeFile::Fail(const char* what)
{
    const int code = errno;
    if (mError.empty())
        mError = std::string(what) + " '" + mShown + "': " + std::strerror(code);
    Discard();
    return false;
}

bool KIT_SafeFile::Refuse(const char* why)
{
    if (mError.empty())
        mError = "'" + mShown + "' " + why;
    Discard();
    return false;
}

namespace
{

bool writeWhole(KIT_SafeFile& file, const void* data, size_t size, std::string* error)
{
    const bool written = file.Write(data, size) && file.Commit();
    if (!written && error)
        *error = file.Error();
    return written;
}

} // namespace

bool KIT_WriteFileSafely(const std::string& path, const void* data, size_t size, std::string* error)
{
    KIT_SafeFile file(path);
    return writeWhole(file, data, size, error);
}

bool KIT_WriteFileSafelyAt(int folder, const std::string& name, const std::string& path,
                           const void* data, size_t size, std::string* error)
{
    KIT_SafeFile file(folder, name, path);
    return writeWhole(file, data, size, error);
}

void KIT_NoteStopSignal(int number)
{
    gStopSignal = number;
}

int KIT_StopSignal()
{
    return gStopSignal;
}

void KIT_RemoveFilesInFlight()
{
    for (const std::atomic<const char*>& slot : gInFlight)
    {
        if (const char* name = slot.load())
            unlink(name);
    }
}

std::string KIT_OutputIdentity(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
    {
        if (S_ISCHR(info.st_mode))
            return ""; // /dev/null and its kind take any number of outputs
        return "inode " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    }
    const std::string target = resolveLinks(path);
    char folder[PATH_MAX];
    if (!realpath(folderOf(target).c_str(), folder))
        return "path " + target;
    return "path " + std::string(folder) + "/" + baseOf(target);
}
