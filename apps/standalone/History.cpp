#include "History.h"

void SoundHistory::Reset(const std::string& state)
{
    mPresent = state;
    mUndo.clear();
    mRedo.clear();
}

bool SoundHistory::Record(const std::string& state)
{
    if (state == mPresent)
        return false;
    mUndo.push_back(mPresent);
    if (mUndo.size() > kSteps)
        mUndo.pop_front();
    mRedo.clear();
    mPresent = state;
    return true;
}

namespace
{

// Moves the present onto one side and the nearest step of the other in.
const std::string* step(std::deque<std::string>& from, std::deque<std::string>& to,
                        std::string& present)
{
    if (from.empty())
        return nullptr;
    to.push_back(present);
    present = from.back();
    from.pop_back();
    return &present;
}

} // namespace

const std::string* SoundHistory::Undo()
{
    return step(mUndo, mRedo, mPresent);
}

const std::string* SoundHistory::Redo()
{
    return step(mRedo, mUndo, mPresent);
}
