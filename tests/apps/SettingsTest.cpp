// The app's remembered choices and the files it keeps beside them, on the
// folders users actually have: FIFOs where files belong, folders it cannot write.
#include "ScratchTest.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

class AppFolders : public ScratchTest
{
};

TEST_F(AppFolders, AFifoInPlaceOfTheSettingsIsRefusedWithoutWaiting)
{
    const std::string path = mDir + "/settings.ini";
    std::string problem;
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    // A reader that blocks on the FIFO is let go after a while by a writer
    // that opens and closes it, so a fault fails here instead of hanging.
    std::atomic<bool> done{false};
    std::thread release([&] {
        for (int i = 0; i < 200 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    });
    const AppSettings defaults = LoadSettings(path, &problem);
    done = true;
    release.join();
    EXPECT_NE(problem.find("not a regular file"), std::string::npos) << problem;
    EXPECT_TRUE(defaults.playOnChange);
    EXPECT_TRUE(defaults.exportSettings.normalise);
}

TEST_F(AppFolders, AFolderThatCannotBeWrittenIsNamedNotTakenForAnotherWindow)
{
    const KeepLock lock(mDir + "/missing/last-sound.aupreset");
    EXPECT_FALSE(lock.Held());
    EXPECT_NE(lock.Problem().find(mDir + "/missing/"), std::string::npos) << lock.Problem();
    EXPECT_NE(lock.Problem().find("cannot be written"), std::string::npos) << lock.Problem();

    const std::string kept = mDir + "/last-sound.aupreset";
    const KeepLock first(kept), second(kept);
    EXPECT_TRUE(first.Held());
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(second.Problem(), ""); // another window holds it: no fault of the folder
}

} // namespace

// The first Export opened in the folder the app was started from (a build
// tree, a terminal's folder); a folder exported to and since removed is no
// better a start.
TEST_F(AppFolders, ExportOpensTheLastFolderStillThereElseMusicElseHome)
{
    const std::string last = path("exports"), music = path("Music"), home = path("home");
    ASSERT_EQ(mkdir(last.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(music.c_str(), 0755), 0);
    EXPECT_EQ(ExportStartFolder(last, music.c_str(), home), last);
    EXPECT_EQ(ExportStartFolder("", music.c_str(), home), music);
    EXPECT_EQ(ExportStartFolder("", nullptr, home), home);
    rmdir(last.c_str());
    EXPECT_EQ(ExportStartFolder(last, music.c_str(), home), music);
    rmdir(music.c_str());
    EXPECT_EQ(ExportStartFolder(last, music.c_str(), home), home);
    // A file where the music folder should be is no folder to open.
    std::ofstream(music) << "not a folder";
    EXPECT_EQ(ExportStartFolder("", music.c_str(), home), home);
}
