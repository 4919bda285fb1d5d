#pragma once

#include "KIT_String.h"

#include <ctime>

// Lower-cases src into dest, cut to capacity - 1 characters and terminated.
void ToLower(char* dest, const char* src, int capacity);
bool IsWhitespace(char c);

// The trace sink: tracing is off, so every call is discarded.
void Trace(const char* location, int line, const char* format, ...);

// Local date, time and UTC offset ("20261208 17:10 +0000") in a per-thread buffer.
const char* CurrentTime();

// "[Mon D HH:MM]" from a compiler build date and time.
void CompileTimestamp(const char* date, const char* time, KIT_String* out);
// text, a blank and the stamp, in a per-thread string each call overwrites.
const char* AppendTimestamp(const char* date, const char* time, const char* text);

// Reports when more than a given number of processor seconds have passed.
class Timer
{
public:
    Timer() : mStart(std::clock()) {}
    bool Every(double seconds);

private:
    std::clock_t mStart;
};
