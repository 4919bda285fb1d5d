#include "VoiceManager.h"
#include "qxDSP.h"
#include "qxOsc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

const double kRate = 44100.0;

class VoiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qxOscSettings::setup(static_cast<int>(kRate), 2, 1024);
        manager.setSampleRate(kRate);
        holdPitch(manager);
    }
    void TearDown() override { qxOscSettings::setup(44100, 2, 1024); }

    // The default pitch envelope sweeps up to the high note; these tests want
    // each note's own frequency.
    static void holdPitch(VoiceManager& vm)
    {
        vm.Apply(&Voice::SetPitchStart, 0.0);
        vm.Apply(&Voice::SetPitchEnd, 0.0);
    }

    std::vector<double> render(VoiceManager& vm, int samples)
    {
        std::vector<double> out;
        for (int i = 0; i < samples; ++i)
            out.push_back(vm.nextSample());
        return out;
    }

    static double peak(const std::vector<double>& x, size_t from = 0)
    {
        double p = 0.0;
        for (size_t i = from; i < x.size(); ++i)
            p = std::max(p, std::fabs(x[i]));
        return p;
    }

    int activeVoices() const
    {
        int n = 0;
        for (int i = 0; i < VoiceManager::kNumVoices; ++i)
            n += manager.voice(i).isActive();
        return n;
    }

    RandomSource random;
    VoiceManager manager{random};
};

} // namespace

TEST_F(VoiceTest, DefaultPatchIsASineOnTheFirstSourceOnly)
{
    manager.onNoteOn(69, 127);
    const auto sine = render(manager, 2000);
    EXPECT_GT(peak(sine, 1000), 0.9);
    EXPECT_LT(peak(sine), 1.0 + 1e-9);

    VoiceManager silent{random};
    silent.setSampleRate(kRate);
    silent.Apply(&Voice::SetOscLevel, 0, 0.0);
    silent.onNoteOn(69, 127);
    for (double v : render(silent, 2000))
        ASSERT_EQ(v, 0.0);
}

TEST_F(VoiceTest, FifthNoteIsDroppedUntilAReleaseRunsOut)
{
    manager.Apply(&Voice::SetEnvRelease, 0.01); // 441 samples
    for (int note : {60, 62, 64, 65})
        manager.onNoteOn(note, 100);
    manager.onNoteOn(67, 100);
    EXPECT_EQ(activeVoices(), 4);
    for (int i = 0; i < VoiceManager::kNumVoices; ++i)
        EXPECT_NE(manager.voice(i).getNoteNumber(), 67);

    render(manager, 100);
    manager.onNoteOff(62, 0);
    render(manager, 441);
    EXPECT_TRUE(manager.voice(1).isActive()); // the release's last sample
    manager.onNoteOn(67, 100);
    EXPECT_NE(manager.voice(1).getNoteNumber(), 67);
    render(manager, 1);
    EXPECT_FALSE(manager.voice(1).isActive());
    manager.onNoteOn(67, 100);
    EXPECT_EQ(manager.voice(1).getNoteNumber(), 67);
    EXPECT_EQ(activeVoices(), 4);
}

TEST_F(VoiceTest, SameNoteTwiceSoundsTwiceAndOneNoteOffReleasesBoth)
{
    manager.Apply(&Voice::SetEnvRelease, 0.001);
    manager.onNoteOn(60, 100);
    render(manager, 10);
    manager.onNoteOn(60, 100);
    EXPECT_EQ(activeVoices(), 2);
    manager.onNoteOff(61, 0); // not sounding: nothing changes
    render(manager, 100);
    EXPECT_EQ(activeVoices(), 2);
    manager.onNoteOff(60, 0);
    render(manager, 100);
    EXPECT_EQ(activeVoices(), 0);
}

TEST_F(VoiceTest, VelocityScalesTheOutput)
{
    VoiceManager soft{random};
    soft.setSampleRate(kRate);
    holdPitch(soft);
    manager.onNoteOn(57, 127);
    soft.onNoteOn(57, 64);
    const auto full = render(manager, 3000);
    const auto half = render(soft, 3000);
    for (size_t i = 0; i < full.size(); ++i)
        ASSERT_NEAR(half[i], full[i] * 64.0 / 127.0, 1e-10);
}

TEST_F(VoiceTest, FilterEnvelopeDepthOpensTheLowPass)
{
    // A 5 kHz tone through a 100 Hz low-pass.
    auto configure = [](VoiceManager& vm, double depth)
    {
        vm.setSampleRate(kRate);
        holdPitch(vm);
        vm.Apply(&Voice::SetOscTranspose, 0, 12 * 5 + 3); // note 12 + 63 = 75, about 600 Hz
        vm.Apply(&Voice::SetOscOctave, 0, 3);             // about 4.9 kHz
        vm.Apply(&Voice::SetLPFilterCutoff, 100.0);
        vm.Apply(&Voice::SetLPFilterDepth, depth);
        vm.Apply(&Voice::SetFilterEnvSustain, 1.0);
        vm.onNoteOn(12, 127);
    };
    VoiceManager closed{random}, opened{random};
    configure(closed, 0.0);
    configure(opened, 1.0);
    EXPECT_LT(peak(render(closed, 4000), 2000), 0.01);
    EXPECT_GT(peak(render(opened, 4000), 2000), 0.9);
}

// The cutoffs are set again only when something that moves them changed;
// every such change must still reach a sounding note, the filter envelope's
// new sustain level among them.
TEST_F(VoiceTest, FilterChangesDuringANoteTakeEffect)
{
    using Change = void (*)(VoiceManager&);
    const Change changes[] = {
        [](VoiceManager& vm) { vm.Apply(&Voice::SetLPFilterCutoff, 300.0); },
        [](VoiceManager& vm) { vm.Apply(&Voice::SetHPFilterCutoff, 3000.0); },
        [](VoiceManager& vm) { vm.Apply(&Voice::SetLPFilterDepth, -1.0); },
        [](VoiceManager& vm) { vm.Apply(&Voice::SetHPFilterDepth, 1.0); },
        [](VoiceManager& vm) { vm.setSampleRate(kRate / 4); },
        [](VoiceManager& vm) { vm.Apply(&Voice::SetFilterEnvSustain, 0.1); },
    };
    for (const Change& change : changes)
    {
        VoiceManager changed{random}, kept{random};
        for (VoiceManager* vm : {&changed, &kept})
        {
            vm->setSampleRate(kRate);
            holdPitch(*vm);
            vm->Apply(&Voice::SetLPFilterCutoff, 8000.0);
            vm->Apply(&Voice::SetHPFilterCutoff, 100.0);
            vm->Apply(&Voice::SetEnvSustain, 1.0);
            vm->Apply(&Voice::SetFilterEnvSustain, 0.5);
            vm->Apply(&Voice::SetLPFilterDepth, 0.5);
            vm->onNoteOn(60, 127);
        }
        EXPECT_EQ(render(changed, 2000), render(kept, 2000)); // into the sustain
        change(changed);
        EXPECT_NE(render(changed, 500), render(kept, 500));
    }
}

TEST_F(VoiceTest, SourceIndicesOutsideTheirRangeAreIgnored)
{
    VoiceManager reference{random};
    reference.setSampleRate(kRate);
    holdPitch(reference);
    manager.Apply(&Voice::SetOscLevel, 5, 1.0);
    manager.Apply(&Voice::SetOscLevel, -1, 1.0);
    manager.Apply(&Voice::SetOscEnvDepth, 7, 0.0);
    manager.Apply(&Voice::SetOscType, 3, Oscilator::kOscSquare);
    manager.Apply(&Voice::SetOscPhase, 4, 0.5);
    manager.Apply(&Voice::SetOscOctave, 1000000, 2);
    manager.Apply(&Voice::SetOscTranspose, -5, 2);
    manager.Apply(&Voice::SetOscCent, 3, 50);
    manager.Apply(&Voice::SetSquareDuty, 9, 0.1);
    manager.onNoteOn(60, 100);
    reference.onNoteOn(60, 100);
    EXPECT_EQ(render(manager, 500), render(reference, 500));
}

TEST_F(VoiceTest, TranspositionRetunesTheSoundingNote)
{
    manager.onNoteOn(45, 127);
    const auto before = render(manager, 44100);
    manager.Apply(&Voice::SetOscTranspose, 0, 12);
    const auto after = render(manager, 44100);
    auto crossings = [](const std::vector<double>& x)
    {
        int n = 0;
        for (size_t i = 1; i < x.size(); ++i)
            n += (x[i - 1] < 0.0) != (x[i] < 0.0);
        return n;
    };
    // The engine's approximate tuning makes this octave slightly wide.
    const double ratio = qxDSP::MIDItoHz(57) / qxDSP::MIDItoHz(45);
    EXPECT_NEAR(static_cast<double>(crossings(after)) / crossings(before), ratio, 0.02);
}

TEST_F(VoiceTest, InactiveVoiceIsSilentAndStartPhasesApplyAtNoteOn)
{
    Voice voice{random};
    voice.setSampleRate(kRate);
    EXPECT_EQ(voice.nextSample(), 0.0);
    voice.SetEnvAttack(1e-9); // leaves attack at once: full level from the start
    voice.SetOscEnvDepth(0, 0.0);
    voice.SetOscPhase(0, 0.25);
    voice.NoteOn(81, 127);
    // The sine starts at its crest, shaped only by the filters.
    EXPECT_GT(voice.nextSample(), 0.3);
}
