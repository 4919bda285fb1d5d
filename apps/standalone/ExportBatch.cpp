#include "ExportBatch.h"

#include "Wording.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isLink(const std::string& path)
{
    struct stat status = {};
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// The opened folder by its descriptor, so that a name swapped for a link
// meanwhile leads nowhere else; by its name where /proc is not there, the
// check before each file then standing guard alone.
std::string throughDescriptor(int fd, const std::string& name)
{
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    return access(path.c_str(), F_OK) == 0 ? path : name;
}

std::string replacedAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

ExportBatch::ExportBatch(RenderBundle& renders, std::vector<ListedSound> sounds, const ExportSettings& settings,
                         std::string folder)
    : mRenders(renders), mSounds(std::move(sounds)), mSettings(settings), mFolder(std::move(folder)),
      mWorker([this] { run(); })
{
}

ExportBatch::~ExportBatch()
{
    Cancel();
    mWorker.join();
    if (mFolderFd >= 0)
        close(mFolderFd);
}

std::string ExportBatch::folderProblem() const
{
    struct stat opened = {}, now = {};
    if (lstat(mFolder.c_str(), &now) != 0)
        return mFolder + " is gone: " + std::strerror(errno);
    if (S_ISLNK(now.st_mode))
        return mFolder + " is a link, not a folder";
    if (fstat(mFolderFd, &opened) != 0 || !sameFile(opened, now))
        return mFolder + " was replaced";
    return "";
}

void ExportBatch::run()
{
    // Opened without following a link: the files go into this folder or nowhere.
    mFolderFd = open(mFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    if (mFolderFd < 0)
        mStopped = isLink(mFolder) ? mFolder + " is a link, not a folder"
                                   : "cannot open " + mFolder + ": " + std::strerror(error);
    else
        mOpened = throughDescriptor(mFolderFd, mFolder);
    for (const ListedSound& sound : mSounds)
    {
        if (mCancelled || !mStopped.empty())
            break;
        mStopped = folderProblem();
        if (mStopped.empty())
        {
            exportOne(sound);
            ++mDone;
        }
    }
    mFinished = true;
}

void ExportBatch::exportOne(const ListedSound& sound)
{
    try
    {
        const std::string written = ExportListed(mRenders, sound.state, sound.name, mSettings, mOpened);
        if (written.substr(written.rfind('/') + 1) !=
            NumberedName(FileNameFor(sound.name), 1, mSettings.format.container))
            ++mNumbered;
    }
    catch (const std::exception& e)
    {
        std::lock_guard<std::mutex> lock(mProblemsMutex);
        mProblems.push_back("'" + sound.name + "': " + replacedAll(e.what(), mOpened, mFolder));
    }
}

std::string ExportBatch::Summary() const
{
    std::lock_guard<std::mutex> lock(mProblemsMutex);
    const size_t done = mDone, failed = mProblems.size(), written = done - failed;
    std::string text = "Exported " + std::to_string(written) + " of " + std::to_string(Total()) +
                       (Total() == 1 ? " sound to " : " sounds to ") + mFolder;
    if (!mStopped.empty())
        text += " (stopped: " + mStopped + ")";
    else if (done < Total())
        text += " (cancelled)";
    if (mNumbered > 0)
        text += "; " + Counted(mNumbered, "file") + " numbered past names already taken, none replaced";
    if (failed == 0 && mStopped.empty())
        return text;
    if (failed == 0)
        return "Error: " + text;
    return "Error: " + text + "; " + std::to_string(failed) + " could not be written: " + mProblems.front() +
           (failed > 1 ? " (and " + std::to_string(failed - 1) + " more)" : "");
}
