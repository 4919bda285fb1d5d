#pragma once

#include "SoundFiles.h"
#include "SoundList.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Export starred… and Export all…: writes listed sounds into a folder on a
// thread of its own, while whoever started it watches how far it got and may
// cancel. Each file is written whole under a hidden name first, so neither a
// cancel nor a failure leaves part of one behind. The folder must be a real
// folder, not a link to one; files go into the folder opened at the start and
// nowhere else, and the batch stops when that folder is moved or replaced.
class ExportBatch
{
public:
    // Starts writing at once; the renders must outlive the batch.
    ExportBatch(RenderBundle& renders, std::vector<ListedSound> sounds, const ExportSettings& settings,
                std::string folder);
    // Cancels, letting the file being written finish.
    ~ExportBatch();
    ExportBatch(const ExportBatch&) = delete;
    ExportBatch& operator=(const ExportBatch&) = delete;

    // The sound being written is finished; none after it is started.
    void Cancel() { mCancelled = true; }
    bool Finished() const { return mFinished; }
    // Sounds dealt with so far, written or not, of Total().
    size_t Done() const { return mDone; }
    size_t Total() const { return mSounds.size(); }
    const std::string& Folder() const { return mFolder; }
    // What the status says once it has finished: how many were written, what
    // was numbered, and what could not be written; "Error: …" when any failed.
    std::string Summary() const;

private:
    void run();
    // Why the folder cannot be written into now, "" when it can.
    std::string folderProblem() const;
    void exportOne(const ListedSound& sound);

    RenderBundle& mRenders;
    const std::vector<ListedSound> mSounds;
    const ExportSettings mSettings;
    const std::string mFolder;
    // The folder as first opened, and a path that reaches it whatever takes
    // its name later; the worker's.
    int mFolderFd = -1;
    std::string mOpened;

    // The worker writes these; the watcher reads them on its own thread.
    std::atomic<bool> mCancelled{false}; // also written by the watcher
    std::atomic<bool> mFinished{false};
    std::atomic<size_t> mDone{0};
    // Written by the worker, read by the watcher only once Finished().
    size_t mNumbered = 0;
    std::string mStopped; // why the batch stopped short, "" when it did not
    mutable std::mutex mProblemsMutex;
    std::vector<std::string> mProblems; // guarded by mProblemsMutex

    std::thread mWorker; // last: starts once everything above is made
};
