#pragma once

#include "SoundList.h"

#include <string>

// The instrument's slots hold each sound as its 60 normalised values; the
// app's list holds states. These convert between them as the instrument
// itself does when it keeps and loads a slot.

// The instrument's slots property for a list: the chosen sound shown, every
// sound a slot.
std::string SlotsOfList(const SoundList& list);
// The sounds of a slots property (the kept slots of earlier sessions), each
// a state of the given version word, called "kept 1", "kept 2", …, with the
// slot that was shown chosen. Throws std::runtime_error for a property that
// is not whole slots.
SoundList ListOfSlots(const std::string& slots, const std::string& stateVersion);
