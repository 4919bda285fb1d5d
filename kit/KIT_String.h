#pragma once

#include <string>

// The framework's string: owns a NUL-terminated copy of its text.
class KIT_String
{
public:
    KIT_String() = default;
    explicit KIT_String(const char* text) { Set(text); }

    void Set(const char* text) { mText.assign(text ? text : ""); }
    void Set(const char* bytes, int length) { mText.assign(bytes, length > 0 ? length : 0); }
    void Append(const char* text) { mText.append(text ? text : ""); }
    const char* Get() const { return mText.c_str(); }
    int GetLength() const { return static_cast<int>(mText.size()); }

private:
    std::string mText;
};
