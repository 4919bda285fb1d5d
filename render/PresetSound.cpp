#include "PresetSound.h"

#include "KIT_ReadFile.h"
#include "Params.h"
#include "PlistRead.h"
#include "SoundState.h"

#include <stdexcept>
#include <unistd.h>

namespace
{

// Presets of this instrument hold a few kilobytes; anything far larger is
// not one of them.
const size_t kMostPresetBytes = 1 << 20;

bool looksLikePropertyList(const std::string& path)
{
    const int fd = KIT_OpenRegularFile(path, nullptr);
    if (fd < 0)
        return false;
    char head[8] = {};
    const ssize_t n = read(fd, head, sizeof head);
    close(fd);
    const std::string start(head, n > 0 ? static_cast<size_t>(n) : 0);
    return start.compare(0, 5, "<?xml") == 0 || start.compare(0, 6, "bplist") == 0;
}

ByteChunk presetState(const std::string& path)
{
    std::string bytes, error;
    if (!KIT_ReadFile(path, kMostPresetBytes, &bytes, &error))
        throw std::runtime_error("cannot read preset: " + error);
    const PlistDocument preset(bytes);
    const plist_t data = preset.Dictionary() ? plist_dict_get_item(preset.Dictionary(), "data") : nullptr;
    if (!data || plist_get_node_type(data) != PLIST_DATA)
        throw std::runtime_error("'" + path + "' is not a preset (no \"data\" in a property list)");
    uint64_t length = 0;
    const char* state = plist_get_data_ptr(data, &length);
    if (length != static_cast<uint64_t>(kStateSize))
        throw std::runtime_error("'" + path + "' holds no Bleepforge sound (" +
                                 std::to_string(length) + " bytes of data, expected " +
                                 std::to_string(kStateSize) + ")");
    ByteChunk chunk;
    chunk.PutBytes(state, kStateSize);
    StateValues(chunk); // a damaged value is refused here, naming it
    return chunk;
}

} // namespace

ByteChunk ReadSound(const std::string& fileOrCode)
{
    return looksLikePropertyList(fileOrCode) ? presetState(fileOrCode) : ReadState(fileOrCode);
}
