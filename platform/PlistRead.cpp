#include "PlistRead.h"

#include <cstring>
#include <limits>

PlistDocument::PlistDocument(const std::string& bytes)
{
    if (!bytes.empty() && bytes.size() <= std::numeric_limits<uint32_t>::max())
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &mRoot);
}

PlistDocument::~PlistDocument()
{
    if (mRoot)
        plist_free(mRoot);
}

plist_t PlistDocument::Dictionary() const
{
    return mRoot && plist_get_node_type(mRoot) == PLIST_DICT ? mRoot : nullptr;
}

bool PlistString(plist_t node, std::string* text)
{
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return false;
    uint64_t length = 0;
    const char* value = plist_get_string_ptr(node, &length);
    if (!value || std::strlen(value) != length)
        return false;
    text->assign(value, static_cast<size_t>(length));
    return true;
}

bool PlistDictString(plist_t dict, const char* key, std::string* text)
{
    return dict && plist_get_node_type(dict) == PLIST_DICT &&
           PlistString(plist_dict_get_item(dict, key), text);
}
