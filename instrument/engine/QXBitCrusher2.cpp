#include "QXBitCrusher2.h"

#include "PortableMath.h"

#include <cmath>

namespace
{
// A target rate of 0 or below (or NaN) would make the hold infinite or negative;
// such rates take one new value per second instead.
const double kFallbackTargetRate = 1.0;
// Holds longer than this are all the same to a listener.
const double kMaximumHold = 4.0e18;
} // namespace

void QXBitCrusher2::SetupBD(double bitDepth)
{
    mBitDepth = bitDepth;
    mLevels = bf_pow(2.0, mBitDepth);
}

void QXBitCrusher2::UpdateHold()
{
    const double target = mTargetRate > 0.0 ? mTargetRate : kFallbackTargetRate;
    const double ratio = mSampleRate / target;
    mHoldLength =
        ratio < kMaximumHold ? static_cast<int64_t>(ratio) : static_cast<int64_t>(kMaximumHold);
}

double QXBitCrusher2::Process(double input, int)
{
    if (mHoldCounter > 0)
    {
        --mHoldCounter;
    }
    else
    {
        mHoldCounter = mHoldLength;
        mHeldValue = std::floor(input * mLevels + 0.5) / mLevels;
    }
    return mHeldValue;
}
