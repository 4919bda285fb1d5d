#pragma once

// An X server of the test's own (Xvfb), and the mouse and keyboard driven on
// it with xdotool as a user's would be.
#include <gtk/gtk.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Starts Xvfb on a free display number and stops it at the end.
class VirtualDisplay
{
public:
    VirtualDisplay()
    {
        for (int n = 90; n < 140 && mPid <= 0; ++n)
        {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            struct stat info;
            if (stat(socket.c_str(), &info) == 0)
                continue;
            const std::string display = ":" + std::to_string(n);
            mPid = fork();
            if (mPid == 0)
            {
                execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                       "tcp", "-noreset", static_cast<char*>(nullptr));
                _exit(127);
            }
            for (int wait = 0; wait < 100 && stat(socket.c_str(), &info) != 0; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (stat(socket.c_str(), &info) != 0)
            {
                stop();
                continue;
            }
            setenv("DISPLAY", display.c_str(), 1);
        }
    }
    ~VirtualDisplay() { stop(); }
    bool Running() const { return mPid > 0; }

private:
    void stop()
    {
        if (mPid > 0)
        {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
        mPid = -1;
    }
    pid_t mPid = -1;
};

// Runs the GTK main loop for a while.
inline void pump(int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

inline int xdotool(const std::string& args)
{
    return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str());
}
