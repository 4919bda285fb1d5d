// The browser build has no property-list library: a sound is a code or a
// state, never an .aupreset.
#include "PresetSound.h"

#include "SoundState.h"

ByteChunk ReadSound(const std::string& fileOrCode)
{
    return ReadState(fileOrCode);
}
