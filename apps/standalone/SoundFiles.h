#pragma once

#include "HostRender.h"

// The instrument's state as its 484 bytes; empty when it gives none.
ByteChunk CurrentState(AUInstance& unit);
// A state file, or an .aupreset by its extension; never half-written.
void SaveSound(AUInstance& unit, const std::string& path);
// Either kind, checked whole by the instrument before any of it applies.
void OpenSound(const AUBundle& bundle, AUInstance& unit, const std::string& path);
// The current sound rendered offline as bleepforge generate renders: one note
// held through attack, hold and decay, then until it has died away.
void ExportWav(const AUBundle& bundle, AUInstance& unit, const std::string& path);
