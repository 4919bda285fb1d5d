// The frame kernels against the per-sample path: seeded random patches, each
// rendered both ways through a voice manager with the same notes, must give
// the same samples to the bit. A difference names its patch, sample and both
// values.
#include "VoiceManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <vector>

namespace
{

const double kVoiceRate = 44100.0 * 16;
const int kFrame = 16;
const int kFrames = 1500;

struct Note
{
    int frame, note, velocity, offFrame;
};

struct Patch
{
    unsigned seed;
    std::vector<Note> notes;
};

// Every setting drawn from the patch's seed, so both renders get the same.
void applyPatch(VoiceManager& vm, unsigned seed)
{
    std::mt19937 rng(seed);
    auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto whole = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto maybeZero = [&](double x) { return whole(0, 3) == 0 ? 0.0 : x; };
    // A third of the patches each: any sources; one plain oscillator alone;
    // plain oscillators only. Each kernel gets its share of frames.
    const unsigned shape = seed % 3;
    const int alone = whole(0, Voice::kNumTonalSources - 1);
    const Oscilator::OscType plain[] = {Oscilator::kOscTriangle, Oscilator::kOscSquare,
                                        Oscilator::kOscSaw, Oscilator::kOscBreaker};
    auto typeFor = [&](int i)
    {
        if (shape == 0)
            return static_cast<Oscilator::OscType>(whole(0, 7));
        if (shape == 1 && i != alone)
            return Oscilator::kOscOff;
        return plain[whole(0, 3)];
    };
    auto levelFor = [&](int i)
    {
        const double level = real(0.05, 1.0);
        if (shape != 0 && i >= Voice::kNumTonalSources)
            return 0.0; // the plain kernels need silent noise
        return shape == 1 && i == alone ? level : maybeZero(level);
    };
    vm.setSampleRate(kVoiceRate);
    for (int i = 0; i < Voice::kNumTonalSources; ++i)
    {
        vm.Apply(&Voice::SetOscType, i, typeFor(i));
        vm.Apply(&Voice::SetOscOctave, i, whole(-1, 1));
        vm.Apply(&Voice::SetOscTranspose, i, whole(-12, 12));
        vm.Apply(&Voice::SetOscCent, i, whole(-50, 50));
        vm.Apply(&Voice::SetSquareDuty, i, real(0.05, 0.95));
        vm.Apply(&Voice::SetOscPhase, i, real(0.0, 1.0));
    }
    for (int i = 0; i < Voice::kNumSources; ++i)
    {
        vm.Apply(&Voice::SetOscLevel, i, levelFor(i));
        vm.Apply(&Voice::SetOscEnvDepth, i, real(0.0, 1.0));
    }
    vm.Apply(&Voice::SetEnvAttack, real(0.0001, 0.01));
    vm.Apply(&Voice::SetEnvHold, real(0.0001, 0.01));
    vm.Apply(&Voice::SetEnvDecay, real(0.001, 0.02));
    vm.Apply(&Voice::SetEnvSustain, real(0.0, 1.0));
    vm.Apply(&Voice::SetEnvRelease, real(0.001, 0.01));
    vm.Apply(&Voice::SetPitchHighNote, whole(60, 100));
    vm.Apply(&Voice::SetPitchLowNote, whole(20, 60));
    vm.Apply(&Voice::SetPitchDuration, real(0.001, 0.03));
    vm.Apply(&Voice::SetPitchStart, maybeZero(real(-1.0, 1.0)));
    vm.Apply(&Voice::SetPitchEnd, maybeZero(real(-1.0, 1.0)));
    vm.Apply(&Voice::SetPitchSlope, real(0.3, 4.0));
    vm.Apply(&Voice::SetLPFilterCutoff, real(200.0, 20000.0));
    vm.Apply(&Voice::SetHPFilterCutoff, real(0.0, 2000.0));
    vm.Apply(&Voice::SetLPFilterResonance, real(0.5, 8.0));
    vm.Apply(&Voice::SetHPFilterResonance, real(0.5, 8.0));
    vm.Apply(&Voice::SetLPFilterDepth, maybeZero(real(-1.0, 1.0)));
    vm.Apply(&Voice::SetHPFilterDepth, maybeZero(real(-1.0, 1.0)));
    vm.Apply(&Voice::SetFilterEnvAttack, real(0.0001, 0.01));
    vm.Apply(&Voice::SetFilterEnvHold, real(0.0001, 0.01));
    vm.Apply(&Voice::SetFilterEnvDecay, real(0.001, 0.02));
    vm.Apply(&Voice::SetFilterEnvSustain, real(0.0, 1.0));
    vm.Apply(&Voice::SetFilterEnvRelease, real(0.001, 0.01));
}

Patch randomPatch(unsigned seed)
{
    std::mt19937 rng(seed ^ 0x9e3779b9u);
    auto whole = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Patch patch{seed, {}};
    const int count = whole(1, 3); // one note at a time, or a chord
    for (int n = 0; n < count; ++n)
    {
        const int on = whole(0, kFrames / 3);
        patch.notes.push_back({on, whole(30, 90), whole(1, 127), on + whole(0, kFrames / 2)});
    }
    return patch;
}

// Notes start and end between frames, as the instrument sends them.
template <class RenderFrame> std::vector<double> render(const Patch& patch, RenderFrame frame)
{
    RandomSource random;
    VoiceManager vm(random);
    applyPatch(vm, patch.seed);
    random.seed(patch.seed); // the noises draw the same in both renders
    std::vector<double> out;
    for (int f = 0; f < kFrames; ++f)
    {
        for (const Note& n : patch.notes)
        {
            if (n.offFrame == f)
                vm.onNoteOff(n.note, 0);
            if (n.frame == f)
                vm.onNoteOn(n.note, n.velocity);
        }
        frame(vm, out);
    }
    return out;
}

std::string firstDifference(const std::vector<double>& frames, const std::vector<double>& samples)
{
    for (size_t i = 0; i < frames.size(); ++i)
    {
        if (std::memcmp(&frames[i], &samples[i], sizeof(double)) == 0)
            continue;
        std::ostringstream text;
        text.precision(17);
        text << "voice sample " << i << " (frame " << i / kFrame << "): frame path " << frames[i]
             << ", per-sample path " << samples[i];
        return text.str();
    }
    return "";
}

// The sink a frame hands its samples to; assignable, as the kernels need.
struct Collect
{
    std::vector<double>* out;
    void operator()(int, double sample) { out->push_back(sample); }
};

} // namespace

TEST(FramePath, RandomPatchesRenderTheSameSamplesAsThePerSamplePath)
{
    for (unsigned seed = 1; seed <= 60; ++seed)
    {
        const Patch patch = randomPatch(seed);
        const std::vector<double> frames = render(patch, [](VoiceManager& vm, std::vector<double>& out)
        {
            vm.render(kFrame, Collect{&out});
        });
        const std::vector<double> samples = render(patch, [](VoiceManager& vm, std::vector<double>& out)
        {
            for (int k = 0; k < kFrame; ++k)
                out.push_back(vm.nextSample());
        });
        ASSERT_EQ(frames.size(), samples.size());
        EXPECT_EQ(firstDifference(frames, samples), "") << "patch seed " << seed;
    }
}
