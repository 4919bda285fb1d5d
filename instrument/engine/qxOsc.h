#pragma once

#include <atomic>

// Process-wide settings, still written by every instance's reset; the engine
// reads none of them, each oscillator keeps its own rate.
struct qxOscSettings
{
    // Atomic, since instances reset on different threads.
    static std::atomic<int> sampleRate;
    static std::atomic<int> channels;
    static std::atomic<int> bufferSize;
    static void setup(int sampleRate, int channels, int bufferSize);
};

// One naive phase accumulator. Each waveform call advances the phase by one
// sample at the given frequency and this oscillator's rate (the voice rate).
class qxOsc
{
public:
    static const int kTransitionSize = 1001;
    // The smoothed step that replaces the sawtooth's jump, indexed 0 ... 1000.
    static const double transition[kTransitionSize];

    void phaseReset(double p) { phase = p; }
    void setSampleRate(int rate) { mRate = rate; }

    // Output first, then wrap, then advance.
    double sinewave(double frequency);
    double tan(double frequency);
    double breaker(double frequency);

    // Wrap, then advance, then output.
    double triangle(double frequency);
    double pulse(double frequency, double duty);
    double sawn(double frequency);

    // The phase steps of the waveforms above, without their output: all but
    // the sawtooth wrap and then advance; the sawtooth wraps at one half.
    void step(double frequency)
    {
        wrap();
        advance(frequency);
    }
    void sawStep(double frequency);

    double phase = 0.0;  // cycles
    double output = 0.0; // the last value returned

private:
    double increment(double frequency);
    void wrap();
    void wrapWholeCycles();
    void advance(double frequency) { phase += increment(frequency); }

    // The last increment and what it was computed from: held pitches skip the
    // two divisions.
    int mRate = 44100;
    double mIncFrequency = 0.0;
    int mIncRate = 0;
    double mInc = 0.0;
};
