#pragma once

#include "ScratchTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A scratch folder for a test that runs programs, and what they wrote there;
// each command's standard error is kept in err.txt.
class CommandTest : public ScratchTest
{
protected:
    // The command's exit status; -1 when it did not exit.
    int run(const std::string& command)
    {
        const int status = std::system((command + " 2>'" + path("err.txt") + "'").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Starts a program in a process group of its own, as a shell starts a
    // job, its output in out.txt and err.txt; its process id.
    pid_t start(const std::vector<std::string>& args) const
    {
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const std::string out = path("out.txt"), err = path("err.txt");
        const pid_t pid = fork();
        if (pid == 0)
        {
            setpgid(0, 0);
            if (freopen(out.c_str(), "w", stdout) && freopen(err.c_str(), "w", stderr))
                execv(argv[0], argv.data());
            _exit(127);
        }
        if (pid > 0)
            setpgid(pid, pid); // whichever of the two runs first
        return pid;
    }
    // Every name in a folder, hidden ones too.
    static std::vector<std::string> entries(const std::string& dir)
    {
        std::vector<std::string> names;
        if (DIR* folder = opendir(dir.c_str()))
        {
            while (const dirent* entry = readdir(folder))
            {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            closedir(folder);
        }
        return names;
    }
    // Waits until a folder holds at least count hidden files (files in
    // flight); false after a minute without.
    static bool waitForHidden(const std::string& dir, size_t count)
    {
        for (int tries = 0; tries < 6000; ++tries)
        {
            size_t hidden = 0;
            for (const std::string& name : entries(dir))
                hidden += name[0] == '.';
            if (hidden >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Waits until the process sleeps in a kernel function whose name holds
    // the text (its wchan), such as wait_for_partner for a FIFO's other end
    // or pipe_write (anon_pipe_write on newer kernels); false after a minute
    // without.
    static bool waitForSleepIn(pid_t pid, const std::string& function)
    {
        for (int tries = 0; tries < 6000; ++tries)
        {
            std::ifstream in("/proc/" + std::to_string(pid) + "/wchan");
            std::string name;
            if (std::getline(in, name) && name.find(function) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // The process's wait status once it has ended; a process still running
    // after a minute is killed with its group and -1 returned.
    static int waitFor(pid_t pid)
    {
        int status = 0;
        for (int tries = 0; tries < 6000; ++tries)
        {
            if (waitpid(pid, &status, WNOHANG) == pid)
                return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    // Each of INT, TERM and HUP (a closed terminal) sent to the program that
    // command(folder) starts, once its file is in flight there: it ends with
    // 128 + the signal, says it was interrupted, and leaves the folder empty.
    template <class Command>
    void expectSignalsRemoveTheFileInFlight(const Command& command)
    {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        {
            const std::string dir = path(std::to_string(signal));
            ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
            const pid_t pid = start(command(dir));
            ASSERT_GT(pid, 0);
            ASSERT_TRUE(waitForHidden(dir, 1)) << strsignal(signal);
            kill(pid, signal);
            const int status = waitFor(pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal)
                << strsignal(signal) << ": status " << status;
            const std::vector<std::string> left = entries(dir);
            EXPECT_TRUE(left.empty()) << strsignal(signal) << ": " << left.front();
            EXPECT_NE(read("err.txt").find("interrupted"), std::string::npos) << read("err.txt");
        }
    }
};
