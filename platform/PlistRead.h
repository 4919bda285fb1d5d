#pragma once

#include <plist/plist.h>

#include <string>

// Property lists from outside (presets, bundle descriptions): parsing, and
// getters that refuse what the library's own getters stop the process on, such
// as a string with a NUL byte inside.

// Owns a parsed document; Root() is null when the bytes are no property list.
class PlistDocument
{
public:
    explicit PlistDocument(const std::string& bytes);
    ~PlistDocument();
    PlistDocument(const PlistDocument&) = delete;
    PlistDocument& operator=(const PlistDocument&) = delete;

    plist_t Root() const { return mRoot; }
    // The root when it is a dictionary, else null.
    plist_t Dictionary() const;

private:
    plist_t mRoot = nullptr;
};

// The text of a string node; false for no node, another type, or a NUL inside.
bool PlistString(plist_t node, std::string* text);
// The same for a dictionary's item.
bool PlistDictString(plist_t dict, const char* key, std::string* text);
