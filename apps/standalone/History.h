#pragma once

#include <cstddef>
#include <deque>

// What a session went through, for undo and redo: whole steps (a sound's
// state, or the sound list with the sound), one per change. GUI thread only.
template <class Step> class UndoHistory
{
public:
    static constexpr size_t kSteps = 500; // undo steps kept; the oldest go first

    // Starts over from a step, with nothing to undo or redo.
    void Reset(const Step& step)
    {
        mPresent = step;
        mUndo.clear();
        mRedo.clear();
    }
    // A new step after a change; clears redo. False, and nothing recorded,
    // when it is the step already there.
    bool Record(const Step& step)
    {
        if (step == mPresent)
            return false;
        mUndo.push_back(mPresent);
        if (mUndo.size() > kSteps)
            mUndo.pop_front();
        mRedo.clear();
        mPresent = step;
        return true;
    }
    // The step to go back or forward to, now the present; null when none.
    const Step* Undo() { return move(mUndo, mRedo); }
    const Step* Redo() { return move(mRedo, mUndo); }

    const Step& Present() const { return mPresent; }
    bool CanUndo() const { return !mUndo.empty(); }
    bool CanRedo() const { return !mRedo.empty(); }

private:
    // Moves the present onto one side and the nearest step of the other in.
    const Step* move(std::deque<Step>& from, std::deque<Step>& to)
    {
        if (from.empty())
            return nullptr;
        to.push_back(mPresent);
        mPresent = from.back();
        from.pop_back();
        return &mPresent;
    }

    Step mPresent;
    std::deque<Step> mUndo, mRedo; // the nearest step last
};
