#pragma once

// Fatal programming errors: print the failed condition and stop, in every build.
[[noreturn]] void KIT_AssertFailed(const char* condition, const char* file, int line);

#define KIT_ASSERT(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : KIT_AssertFailed(#condition, __FILE__, __LINE__))

// The same with an explanation after the condition, such as which file is missing.
[[noreturn]] void KIT_AssertFailed(const char* condition, const char* message, const char* file,
                                   int line);

#define KIT_ASSERT_MSG(condition, message)                                                         \
    ((condition) ? static_cast<void>(0)                                                            \
                 : KIT_AssertFailed(#condition, (message), __FILE__, __LINE__))
