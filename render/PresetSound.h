#pragma once

#include "Containers.h"

#include <string>

// A sound from whatever a user hands a render: a 484-byte state file, a sound
// code, an audio file Bleepforge wrote, or an .aupreset (the state in its
// "data"). Throws std::runtime_error saying what the input is not.
ByteChunk ReadSound(const std::string& fileOrCode);
