#pragma once

#include <cstddef>
#include <string>

// Writes a file so that a failure never leaves the target half-written: the
// data goes to a new, uniquely named file beside the target, which replaces the
// target only on Commit. A symbolic link is followed, so the file it points at
// is replaced and the link stays. An existing target that is not a regular
// file (a device such as /dev/null, a FIFO) is written directly. An existing
// file that cannot be opened for writing is refused, not replaced.
class KIT_SafeFile
{
public:
    explicit KIT_SafeFile(const std::string& path);
    // Writes the entry name of an open folder, which stays open until the
    // file is committed or discarded, and never through a link: a link or
    // anything but a regular file there is refused. path names the same file
    // from the working folder, in errors and for KIT_RemoveFilesInFlight.
    KIT_SafeFile(int folder, const std::string& name, const std::string& path);
    ~KIT_SafeFile();
    KIT_SafeFile(const KIT_SafeFile&) = delete;
    KIT_SafeFile& operator=(const KIT_SafeFile&) = delete;

    bool IsOpen() const { return mFd >= 0; }
    int Descriptor() const { return mFd; }
    bool Write(const void* data, size_t size);
    // Flushes, closes and moves the new file over the target; false (with the
    // target untouched) when any step fails.
    bool Commit();
    // Why opening, writing or committing failed.
    const std::string& Error() const { return mError; }

private:
    void Start(const struct stat* existing);
    bool OpenTemporary();
    void Discard();
    bool Fail(const char* what);
    bool Refuse(const char* why);

    int mFolder; // what mTarget and mTemporary are named from: a folder, or the working folder
    std::string mTarget;    // the file written, symbolic links resolved
    std::string mShown;     // the target as errors name it
    std::string mTemporary; // empty when writing the target directly
    std::string mInFlight;  // the temporary file from the working folder, for signal handlers
    int mFd = -1;
    bool mDirect = false;
    std::string mError;
};

// The whole of data as the file at path; false, with a reason in *error when
// given, when it could not be written. The target is never left half-written.
bool KIT_WriteFileSafely(const std::string& path, const void* data, size_t size,
                         std::string* error = nullptr);
// The same for the entry name of an open folder, never through a link.
bool KIT_WriteFileSafelyAt(int folder, const std::string& name, const std::string& path,
                           const void* data, size_t size, std::string* error = nullptr);

// Removes the temporary files of every KIT_SafeFile still writing, for a
// signal handler about to end the process: async-signal-safe. A file written
// on another thread than the handler's may be missed.
void KIT_RemoveFilesInFlight();

// The signal that asked the program to stop (INT, TERM or HUP), noted by the
// program's handler (async-signal-safe). Once one has come, a write to a
// pipe, FIFO or device that it cuts short is not retried, so a reader that
// stalls cannot hold the program; files on disk are still written whole.
void KIT_NoteStopSignal(int number);
// The signal's number; 0 until one has come.
int KIT_StopSignal();

// What an output path writes to, so that two outputs onto one file are told
// apart from two files: equal for two paths that reach the same file (through
// links too), whether or not it exists yet. Empty for a character device such
// as /dev/null, which takes any number of outputs.
std::string KIT_OutputIdentity(const std::string& path);
