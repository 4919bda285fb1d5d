#pragma once

// Fatal programming errors: print the failed condition and stop, in every build.
[[noreturn]] void KIT_AssertFailed(const char* condition, const char* file, int line);

#define KIT_ASSERT(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : KIT_AssertFailed(#condition, __FILE__, __LINE__))
