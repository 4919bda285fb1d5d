#include "Log.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void ToLower(char* dest, const char* src, int capacity)
{
    int i = 0;
    for (; i < capacity - 1 && src[i]; ++i)
        dest[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(src[i])));
    dest[i] = '\0';
}

bool IsWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void Trace(const char*, int, const char*, ...) {}

const char* CurrentTime()
{
    static thread_local char text[32]; // instances may start on several threads
    const std::time_t now = std::time(nullptr);
    std::tm local{}, utc{};
    localtime_r(&now, &local);
    gmtime_r(&now, &utc);
    const size_t length = std::strftime(text, sizeof text, "%Y%m%d %H:%M ", &local);

    int offset = (local.tm_hour * 60 + local.tm_min) - (utc.tm_hour * 60 + utc.tm_min);
    int dayDifference = local.tm_yday - utc.tm_yday;
    if (dayDifference >= 2)
        dayDifference = -1; // across a year boundary
    else if (dayDifference <= -2)
        dayDifference = 1;
    offset += dayDifference * 1440;

    const int magnitude = std::abs(offset);
    std::snprintf(text + length, sizeof text - length, "%c%02d%02d", offset >= 0 ? '+' : '-',
                  magnitude / 60, magnitude % 60);
    return text;
}

void CompileTimestamp(const char* date, const char* time, KIT_String* out)
{
    // The month, then the day: one blank before a single digit, none before two.
    char stamp[16] = "[";
    int length = 1;
    for (int i = 0; i < 6 && date[i]; ++i)
    {
        if (i != 3)
            stamp[length++] = date[i];
    }
    stamp[length++] = ' ';
    for (int i = 0; i < 5 && time[i]; ++i)
        stamp[length++] = time[i];
    stamp[length++] = ']';
    stamp[length] = '\0';
    out->Set(stamp);
}

const char* AppendTimestamp(const char* date, const char* time, const char* text)
{
    static thread_local KIT_String result;
    KIT_String stamp;
    CompileTimestamp(date, time, &stamp);
    result.Set(text);
    result.Append(" ");
    result.Append(stamp.Get());
    return result.Get();
}

bool Timer::Every(double seconds)
{
    const std::clock_t now = std::clock();
    if (static_cast<double>(now - mStart) > seconds * 1000000.0)
    {
        mStart = now;
        return true;
    }
    return false;
}
