#include "ScratchTest.h"
#include "KIT_ReadFile.h"
#include "KIT_SafeFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

class SafeFileTest : public ScratchTest
{
protected:
    void put(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string get(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int entries() const
    {
        int n = 0;
        DIR* dir = opendir(mDir.c_str());
        while (dirent* e = readdir(dir))
            n += e->d_name[0] != '.' || (e->d_name[1] != '\0' && e->d_name[1] != '.');
        closedir(dir);
        return n;
    }

};

} // namespace

TEST_F(SafeFileTest, TargetChangesOnlyOnCommitAndNothingIsLeftBehind)
{
    put("out.wav", "old");
    put("out.wav.part", "unrelated");
    {
        KIT_SafeFile file(path("out.wav"));
        ASSERT_TRUE(file.Write("new and longer", 14));
        EXPECT_EQ(get("out.wav"), "old"); // a failure from here on keeps the old file
    }
    EXPECT_EQ(get("out.wav"), "old");
    EXPECT_EQ(entries(), 2);

    chmod(path("out.wav").c_str(), 0640);
    std::string error;
    ASSERT_TRUE(KIT_WriteFileSafely(path("out.wav"), "new", 3, &error)) << error;
    EXPECT_EQ(get("out.wav"), "new");
    EXPECT_EQ(get("out.wav.part"), "unrelated");
    EXPECT_EQ(entries(), 2);
    struct stat info;
    stat(path("out.wav").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(SafeFileTest, LinksAreFollowedAndDevicesWrittenDirectly)
{
    put("real.state", "old");
    ASSERT_EQ(symlink("real.state", path("link.state").c_str()), 0);
    ASSERT_TRUE(KIT_WriteFileSafely(path("link.state"), "new", 3));
    EXPECT_EQ(get("real.state"), "new");
    struct stat info;
    ASSERT_EQ(lstat(path("link.state").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));

    ASSERT_EQ(symlink("missing/target", path("dangling").c_str()), 0);
    std::string error;
    EXPECT_FALSE(KIT_WriteFileSafely(path("dangling"), "x", 1, &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    EXPECT_TRUE(KIT_WriteFileSafely("/dev/null", "x", 1));
    struct stat devNull;
    ASSERT_EQ(stat("/dev/null", &devNull), 0);
    EXPECT_TRUE(S_ISCHR(devNull.st_mode));
}

TEST_F(SafeFileTest, OnlyRegularFilesAreReadAndNothingBlocks)
{
    put("small", "abc");
    std::string bytes, error;
    ASSERT_TRUE(KIT_ReadFile(path("small"), 3, &bytes, &error)) << error;
    EXPECT_EQ(bytes, "abc");
    EXPECT_FALSE(KIT_ReadFile(path("small"), 2, &bytes, &error));
    EXPECT_NE(error.find("larger than 2"), std::string::npos) << error;

    // A FIFO with no writer would block an ordinary open for ever.
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    for (const std::string& odd : {path("fifo"), mDir, std::string("/dev/zero")})
    {
        EXPECT_FALSE(KIT_ReadFile(odd, 100, &bytes, &error)) << odd;
        EXPECT_NE(error.find("is not a regular file"), std::string::npos) << error;
        EXPECT_EQ(KIT_OpenRegularStream(odd, nullptr), nullptr) << odd;
    }
}

TEST_F(SafeFileTest, OutputsOntoOneFileShareAnIdentityWhetherOrNotItExists)
{
    put("a.wav", "x");
    ASSERT_EQ(symlink("a.wav", path("link.wav").c_str()), 0);
    ASSERT_EQ(symlink("new.wav", path("link-new.wav").c_str()), 0);
    ASSERT_EQ(mkdir(path("sub").c_str(), 0755), 0);
    EXPECT_EQ(KIT_OutputIdentity(path("a.wav")), KIT_OutputIdentity(path("link.wav")));
    EXPECT_EQ(KIT_OutputIdentity(path("sub/../a.wav")), KIT_OutputIdentity(path("a.wav")));
    EXPECT_EQ(KIT_OutputIdentity(path("new.wav")), KIT_OutputIdentity(path("link-new.wav")));
    EXPECT_EQ(KIT_OutputIdentity(path("sub/../new.wav")), KIT_OutputIdentity(path("new.wav")));
    EXPECT_NE(KIT_OutputIdentity(path("a.wav")), KIT_OutputIdentity(path("new.wav")));
    EXPECT_EQ(KIT_OutputIdentity("/dev/null"), "");
}

// A file its owner protected stays as it is, as a shell redirect leaves it;
// root may write anywhere, so the check runs as another user there.
TEST_F(SafeFileTest, WriteProtectedFilesAreNotReplaced)
{
    put("kept.wav", "precious");
    ASSERT_EQ(chmod(path("kept.wav").c_str(), 0444), 0);
    ASSERT_EQ(chmod(mDir.c_str(), 0777), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(3);
        std::string error;
        const bool written = KIT_WriteFileSafely(path("kept.wav"), "new", 3, &error);
        _exit(!written && error.find("Permission denied") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(get("kept.wav"), "precious");
    EXPECT_EQ(entries(), 1);
}

// What a signal handler removes is exactly the files still being written:
// never a finished one, never an existing target.
TEST_F(SafeFileTest, RemovingFilesInFlightSparesFinishedAndExistingFiles)
{
    put("kept.wav", "old");
    KIT_SafeFile done(path("done.wav"));
    ASSERT_TRUE(done.Write("whole", 5) && done.Commit());
    KIT_SafeFile first(path("kept.wav")), second(path("new.wav"));
    ASSERT_TRUE(first.Write("a", 1) && second.Write("b", 1));
    EXPECT_EQ(entries(), 4);
    KIT_RemoveFilesInFlight();
    EXPECT_EQ(entries(), 2);
    EXPECT_EQ(get("kept.wav"), "old");
    EXPECT_EQ(get("done.wav"), "whole");
    EXPECT_FALSE(first.Commit()); // its data is gone: refused, the target kept
    EXPECT_EQ(get("kept.wav"), "old");
}

// Inside an open folder, a link is never followed, and a link put in place
// of the folder once it is open sends nothing out: the file lands in the
// folder that was opened.
TEST_F(SafeFileTest, WritingInsideAnOpenFolderNeverFollowsALink)
{
    ASSERT_EQ(mkdir(path("game").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("outside").c_str(), 0755), 0);
    put("outside/kept.wav", "a person's file");
    const int folder = open(path("game").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(symlink("../outside/kept.wav", path("game/link.wav").c_str()), 0);
    ASSERT_EQ(mkfifo(path("game/fifo.wav").c_str(), 0600), 0);
    std::string bytes, error;
    for (const char* odd : {"link.wav", "fifo.wav"})
    {
        EXPECT_FALSE(
            KIT_WriteFileSafelyAt(folder, odd, "game/" + std::string(odd), "new", 3, &error))
            << odd;
        EXPECT_NE(error.find("'game/" + std::string(odd) + "' is"), std::string::npos) << error;
        EXPECT_FALSE(KIT_ReadFileAt(folder, odd, 100, &bytes, &error)) << odd;
    }
    EXPECT_NE(error.find("'fifo.wav' is not a regular file"), std::string::npos) << error;

    ASSERT_EQ(rename(path("game").c_str(), path("moved").c_str()), 0);
    ASSERT_EQ(symlink("outside", path("game").c_str()), 0);
    KIT_SafeFile file(folder, "new.wav", path("game/new.wav"));
    ASSERT_TRUE(file.Write("sound", 5) && file.Commit()) << file.Error();
    close(folder);
    EXPECT_EQ(get("moved/new.wav"), "sound");
    EXPECT_EQ(get("outside/kept.wav"), "a person's file");
    EXPECT_EQ(access(path("outside/new.wav").c_str(), F_OK), -1);
}
