#include "Oscilator.h"

namespace
{
const double kWhistleOvertone = 20.0;
const double kWhistleOvertoneLevel = 0.25;
} // namespace

double Oscilator::nextSample(double frequency, double /*second*/)
{
    switch (mType)
    {
    case kOscTriangle:
        return triangle(frequency);
    case kOscSin:
        return sin(frequency);
    case kOscSquare:
        return square(frequency, mDuty);
    case kOscSaw:
        return saw(frequency);
    case kOscBreaker:
        return breaker(frequency);
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

// The square keeps its last output at the duty point and the noises draw, so
// they run in full.
void Oscilator::skipSample(double frequency, double second)
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
    default:
        nextSample(frequency, second);
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
