#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

// A folder of the test's own under /tmp, removed with all it holds.
class ScratchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bleepforge-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr) << "no scratch folder in /tmp";
        mDir = made;
    }
    void TearDown() override
    {
        if (!mDir.empty())
            std::system(("rm -rf '" + mDir + "'").c_str());
    }
    std::string path(const std::string& name) const { return mDir + "/" + name; }

    std::string mDir;
};
