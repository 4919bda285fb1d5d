#pragma once

#include <cstddef>
#include <deque>
#include <string>

// The sounds a session went through, for undo and redo: whole states, one per
// change of the sound. GUI thread only.
class SoundHistory
{
public:
    static const size_t kSteps = 500; // undo steps kept; the oldest go first

    // Starts over from a sound, with nothing to undo or redo.
    void Reset(const std::string& state);
    // A new sound after a change; clears redo. False, and nothing recorded,
    // when it is the sound already there.
    bool Record(const std::string& state);
    // The sound to go back or forward to, now the present; null when none.
    const std::string* Undo();
    const std::string* Redo();

    const std::string& Present() const { return mPresent; }
    bool CanUndo() const { return !mUndo.empty(); }
    bool CanRedo() const { return !mRedo.empty(); }

private:
    std::string mPresent;
    std::deque<std::string> mUndo, mRedo; // the nearest step last
};
