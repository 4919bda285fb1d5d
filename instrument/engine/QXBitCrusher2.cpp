#include "QXBitCrusher2.h"

#include <cmath>

namespace
{
// A target rate of 0 or below (or NaN) would make the hold infinite or negative;
// such rates take one new value per second instead.
const double kFallbackTargetRate = 1.0;
// Holds longer than this are all the same to a listener.
const double kMaximumHold = 4.0e18;
} // namespace

double QXBitCrusher2::Process(double input, int)
{
    const double levels = std::pow(2.0, mBitDepth);
    const double target = mTargetRate > 0.0 ? mTargetRate : kFallbackTargetRate;
    const double ratio = mSampleRate / target;
    if (mHoldCounter > 0)
    {
        --mHoldCounter;
    }
    else
    {
        mHoldCounter =
            ratio < kMaximumHold ? static_cast<int64_t>(ratio) : static_cast<int64_t>(kMaximumHold);
        mHeldValue = std::floor(input * levels + 0.5) / levels;
    }
    return mHeldValue;
}
