#include "Oscilator.h"

namespace
{
const double kWhistleOvertone = 20.0;
const double kWhistleOvertoneLevel = 0.25;
} // namespace

double Oscilator::nextSample(double frequency, double /*second*/)
{
    if (isPlain())
        return plainSample(frequency);
    switch (mType)
    {
    case kOscSin:
        return sin(frequency);
    case kOscTan:
        return tan(frequency);
    case kOscWhistle:
        return whistle(frequency);
    case kOscNoise:
        return noise();
    case kOscPinkNoise:
        return pinknoise();
    default:
        return 0.0;
    }
}

// The noises draw, so they run in full.
void Oscilator::skipSample(double frequency, double second)
{
    if (mType == kOscNoise || mType == kOscPinkNoise)
        nextSample(frequency, second);
    else
        skipTonal(frequency);
}

// The square keeps its last output at the duty point, so it runs in full.
void Oscilator::skipTonal(double frequency)
{
    switch (mType)
    {
    case kOscTriangle:
    case kOscSin:
    case kOscBreaker:
    case kOscTan:
        mOscA.step(frequency);
        return;
    case kOscSaw:
        mOscA.sawStep(frequency);
        return;
    case kOscWhistle:
        mOscA.step(frequency);
        mOscB.step(kWhistleOvertone * frequency);
        return;
    case kOscSquare:
        square(frequency, mDuty);
        return;
    case kOscOff: // nothing moves
    case kOscNoise:
    case kOscPinkNoise:
        return;
    }
}

void Oscilator::setPhase(double phase)
{
    mOscA.phaseReset(phase);
    mOscB.phaseReset(phase);
}

double Oscilator::whistle(double frequency)
{
    const double fundamental = mOscA.sinewave(frequency);
    return fundamental + kWhistleOvertoneLevel * mOscB.sinewave(kWhistleOvertone * frequency);
}
