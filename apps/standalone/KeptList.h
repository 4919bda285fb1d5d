#pragma once

#include "SoundList.h"

#include <string>

// The list a session finds at its start.
struct KeptList
{
    SoundList sounds;
    std::string problem; // what could not be read, and where it went; "" when all was read
    bool keep = true;    // false: a file that could not be read is still in the list's place
};

// The list kept at listPath. Before there was one, sessions kept their slots
// at slotsPath: those become the list (see ListOfSlots), and that file is
// left as it was. A file that cannot be read is moved aside (MoveAside) and
// the list starts empty; one that cannot be moved either is never written
// over, so the list is then not kept.
KeptList LoadKeptList(const std::string& listPath, const std::string& slotsPath,
                      const std::string& stateVersion);
