#pragma once

// Replaces the global allocator so that a test can count heap use. Include it
// in one source file of an executable, which defines noteAllocation(); call
// CountSanitizerAllocations() before counting, since under a sanitizer
// malloc itself belongs to its runtime, whose hook sees every allocation, C
// and C++ alike.
#include <cstdlib>
#include <new>

// The replacements pair malloc with free, which GCC cannot see through inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void noteAllocation();

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*))
    __attribute__((weak));

void* operator new(size_t size)
{
    noteAllocation();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size)
{
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    noteAllocation();
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}

inline void CountSanitizerAllocations()
{
    if (__sanitizer_install_malloc_and_free_hooks)
        __sanitizer_install_malloc_and_free_hooks([](const volatile void*, size_t) { noteAllocation(); },
                                                  [](const volatile void*) {});
}
