#include "KIT_Text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::string TrimSpace(const std::string& text)
{
    const char* blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    const size_t last = text.find_last_not_of(blanks);
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& text, double* value)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    *value = std::strtod(t.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

long long ParseWhole(const std::string& text, long long min, long long max, const std::string& what)
{
    const std::string range = std::to_string(min) + " ... " + std::to_string(max);
    const std::string t = Trim(text);
    const size_t digits = t.compare(0, 1, "-") == 0 ? 1 : 0;
    if (t.size() == digits || t.find_first_not_of("0123456789", digits) != std::string::npos)
        throw UsageError(what + " '" + text + "': expected a whole decimal number, " + range);
    errno = 0;
    const long long value = std::strtoll(t.c_str(), nullptr, 10);
    if (errno == ERANGE || value < min || value > max)
        throw UsageError(what + " '" + text + "': out of range, expected " + range);
    return value;
}

std::string ShortestNumberText(double value)
{
    char text[400];
    // Plain decimals where they are short: 120, not 1.2e+02.
    if (value == 0.0 || (std::fabs(value) >= 1e-4 && std::fabs(value) < 1e15))
        for (int decimals = 0; decimals <= 17; ++decimals)
        {
            std::snprintf(text, sizeof text, "%.*f", decimals, value);
            if (std::strtod(text, nullptr) == value)
                return text;
        }
    for (int digits = 1; digits <= 17; ++digits)
    {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return text;
}
