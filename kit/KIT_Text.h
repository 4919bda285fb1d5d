#pragma once

#include "KIT_UsageError.h"

#include <string>

// Text as users and files give it: case, blanks and numbers.

std::string Lower(std::string text);
std::string Trim(const std::string& text);
// Trims every kind of white space, line ends too.
std::string TrimSpace(const std::string& text);
// A whole finite number, surrounding blanks allowed.
bool ParseNumber(const std::string& text, double* value);
// A whole decimal number in min ... max (never octal or hexadecimal, never
// empty); what names the option in the UsageError.
long long ParseWhole(const std::string& text, long long min, long long max, const std::string& what);
// The shortest text that reads back as the same number: exact where it is
// read again, and in messages what the user wrote (0.1, not 0.10000000000000001).
std::string ShortestNumberText(double value);
