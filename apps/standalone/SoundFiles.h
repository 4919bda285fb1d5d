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

// Moves a kept sound that cannot be read out of the way under the first free
// name of path.unreadable, path.unreadable-2, …, never replacing a file, so
// that every such sound can still be recovered. The new name, or "" when it
// could not be moved.
std::string MoveAside(const std::string& path);

// One app at a time keeps its sound in a file: an advisory lock on a file
// beside it, held as long as this object lives.
class KeepLock
{
public:
    explicit KeepLock(const std::string& keptPath);
    ~KeepLock();
    KeepLock(const KeepLock&) = delete;
    KeepLock& operator=(const KeepLock&) = delete;

    // False when another app holds it (or it cannot be taken).
    bool Held() const { return mFd >= 0; }

private:
    int mFd = -1;
};
