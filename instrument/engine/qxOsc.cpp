#include "qxOsc.h"

#include "PortableMath.h"

#include <cmath>

std::atomic<int> qxOscSettings::sampleRate{44100};
std::atomic<int> qxOscSettings::channels{2};
std::atomic<int> qxOscSettings::bufferSize{1024};

void qxOscSettings::setup(int rate, int channelCount, int blockSize)
{
    sampleRate.store(rate, std::memory_order_relaxed);
    channels.store(channelCount, std::memory_order_relaxed);
    bufferSize.store(blockSize, std::memory_order_relaxed);
}

namespace
{

const double kTwoPi = 6.283185307179586;
const double kPi = 3.141592653589793;
// Frequency at which the sawtooth's smoothed step spans the whole cycle.
const double kSawTransitionHz = 8820.22;

double limit(double x, double lo, double hi)
{
    if (x > hi)
        return hi;
    if (x < lo)
        return lo;
    return x;
}

double interpolateTransition(double t)
{
    const double position = t * 1000.0 + 500.0;
    const int index = static_cast<int>(position);
    if (index >= qxOsc::kTransitionSize - 1)
        return qxOsc::transition[qxOsc::kTransitionSize - 1];
    const double r = position - std::floor(position);
    return (1.0 - r) * qxOsc::transition[index] + r * qxOsc::transition[index + 1];
}

} // namespace

double qxOsc::increment(double frequency)
{
    if (frequency != mIncFrequency || mRate != mIncRate)
    {
        mIncFrequency = frequency;
        mIncRate = mRate;
        mInc = 1.0 / (static_cast<double>(mIncRate) / frequency);
    }
    return mInc;
}

// One subtraction is the normal case; increments of a whole cycle or more need
// the full modulo to keep the phase within 0 ... 1.
void qxOsc::wrap()
{
    if (phase >= 1.0)
    {
        phase -= 1.0;
        if (phase >= 1.0)
            wrapWholeCycles();
    }
}

// Out of line and cold: the call stays off the waveforms' common path.
__attribute__((cold, noinline)) void qxOsc::wrapWholeCycles()
{
    phase = std::fmod(phase, 1.0);
}

double qxOsc::sinewave(double frequency)
{
    output = bf_sin(kTwoPi * phase);
    step(frequency);
    return output;
}

// Between the quarter and three-quarter phase the tangent lies beyond +-1, so
// the limit decides the value; a margin of 1e-4 keeps clear of the points where
// rounding could tip it (|tan| there is at least 1.0006, and the sign flips only
// at the half).
static double limitedTan(double phase)
{
    if (phase >= 0.2501 && phase <= 0.4999)
        return 1.0;
    if (phase >= 0.5001 && phase <= 0.7499)
        return -1.0;
    return limit(bf_tan(kPi * phase), -1.0, 1.0);
}

double qxOsc::tan(double frequency)
{
    output = limitedTan(phase);
    step(frequency);
    return output;
}

double qxOsc::breaker(double frequency)
{
    output = std::fabs(1.0 - phase * phase * 2.0) - 1.0;
    step(frequency);
    return output;
}

double qxOsc::triangle(double frequency)
{
    step(frequency);
    if (phase <= 0.5)
        output = (phase - 0.25) * 4.0;
    else
        output = ((1.0 - phase) - 0.25) * 4.0;
    return output;
}

double qxOsc::pulse(double frequency, double duty)
{
    duty = limit(duty, 0.0, 1.0);
    step(frequency);
    if (duty > phase)
        output = -1.0;
    if (phase > duty)
        output = 1.0;
    return output;
}

// The phase runs in -0.5 ... 0.5 here, so the step sits at phase 0.
void qxOsc::sawStep(double frequency)
{
    if (phase >= 0.5)
    {
        phase -= 1.0;
        if (phase >= 0.5)
            phase -= std::floor(phase + 0.5);
    }
    advance(frequency);
}

double qxOsc::sawn(double frequency)
{
    sawStep(frequency);
    double t = (kSawTransitionHz / frequency) * phase;
    if (std::isnan(t)) // zero frequency at phase 0: the centre of the step
        t = 0.0;
    t = limit(t, -0.5, 0.5);
    output = interpolateTransition(t) - phase;
    return output;
}
