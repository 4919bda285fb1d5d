#include "PlistRead.h"

// No property lists in the browser: every document reads as none.
PlistDocument::PlistDocument(const std::string&) {}

PlistDocument::~PlistDocument() = default;

plist_t PlistDocument::Dictionary() const
{
    return nullptr;
}

bool PlistString(plist_t, std::string*)
{
    return false;
}

bool PlistDictString(plist_t, const char*, std::string*)
{
    return false;
}
