#include "KIT_Assert.h"

#include <cstdio>
#include <cstdlib>

void KIT_AssertFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "Assertion failed: (%s), file %s, line %d.\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

void KIT_AssertFailed(const char* condition, const char* message, const char* file, int line)
{
    std::fprintf(stderr, "Assertion failed: (%s): %s, file %s, line %d.\n", condition, message,
                 file, line);
    std::fflush(stderr);
    std::abort();
}
