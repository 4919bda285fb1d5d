#pragma once

#include <stdexcept>

// A mistake in what the user asked for (exit status 2), as opposed to a
// failure while doing it (exit status 1).
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};
