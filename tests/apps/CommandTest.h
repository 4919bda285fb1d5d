#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// A scratch folder for a test that runs programs, and what they wrote there;
// each command's standard error is kept in err.txt.
class CommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bleepforge-test-XXXXXX";
        mDir = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + mDir + "'").c_str()); }
    std::string path(const std::string& name) const { return mDir + "/" + name; }
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

    std::string mDir;
};
