// Rendered output must not change by a single bit when the engine is made
// faster or moved around. Each case's reference render (taken from the
// straightforward implementation, with the decimation filter flushed to exact
// silence once every voice ends) lives in tests/instrument/reference/ as the
// zlib-compressed samples of the left channel; the right carries the same. A
// difference names its case, channel, first sample and both values.
//
// After a change that is meant to move the sound, rewrite the references with
//   BLEEPFORGE_REWRITE_REFERENCE=1 build/test/tests/instrument_tests --gtest_filter='RenderDigest.*'
// which prints, per case, whether it moved, where first and by how much; read
// that summary before committing the new files.
#include "RenderJob.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace
{

RenderRequest heavyRequest()
{
    RenderRequest request;
    request.rate = 48000;
    request.lengthSeconds = 0.5;
    request.settings = {"Osc1 Type=Whistle",
                        "Osc2 Type=Tan",
                        "Osc3 Type=Square",
                        "Osc2 Level=0",
                        "Osc3 Level=0",
                        "White Level=-12",
                        "Pink Level=-12",
                        "Filter LP Env Depth=0.5",
                        "Filter HP Env Depth=0.5",
                        "Filter LP Cutoff=2000",
                        "Filter HP Cutoff=200",
                        "Pitch Start=-1",
                        "Pitch End=1",
                        "Pitch Duration=2",
                        "Pitch Curve=3",
                        "BitCrush Position=Inside",
                        "BitCrush Sample Rate=8000",
                        "BitCrush Bit Depth=8"};
    request.notes = {
        {48, 127, 0.0, 0.4}, {55, 100, 0.0, 0.4}, {60, 90, 0.01, 0.3}, {64, 80, 0.02, 1}};
    request.seeded = true;
    request.seed = 1234;
    return request;
}

struct Case
{
    const char* name;
    RenderRequest request;
};

std::vector<Case> cases()
{
    std::vector<Case> all;
    RenderRequest plain;
    plain.notes = {{69, 127, 0.0, 0.3}};
    all.push_back({"default patch", plain});
    all.push_back({"heavy patch", heavyRequest()});

    RenderRequest saws;
    saws.settings = {"Osc1 Type=Saw",
                     "Osc2 Type=Breaker",
                     "Osc2 Level=-6",
                     "Osc2 Octave=1",
                     "Osc1 Phase=0.25",
                     "Amp Env Attack=0.05",
                     "Amp Env Sustain=0.3",
                     "Amp Env Decay=0.1",
                     "Filter LP Cutoff=5000",
                     "Filter LP Resonance=4",
                     "Filter LP Env Depth=-0.7",
                     "BitCrush Position=After",
                     "BitCrush Sample Rate=11025",
                     "BitCrush Bit Depth=6",
                     "Compression Factor=0"};
    saws.notes = {{40, 127, 0.0, 0.2}, {52, 64, 0.1, 0.2}};
    all.push_back({"saws, crusher after", saws});

    RenderRequest jump;
    jump.settings = {"Osc1 Type=Square",        "Osc1 Square Duty=0.2",
                     "Pitch Jump Delay=0.05",   "Pitch Jump Transpose=7",
                     "Pitch Jump Trigger=Both", "Pitch Jump Time=0.05",
                     "Amp Env Release=0.05",    "Output Gain=3"};
    jump.notes = {{60, 110, 0.0, 0.1}};
    all.push_back({"pitch jump", jump});

    // Every waveform across the three oscillators (three passes), both noises,
    // both filters moved by their envelope.
    for (int pass = 0; pass < 3; ++pass)
    {
        const char* const types[] = {"Triangle", "Sin", "Square", "Saw",
                                     "Breaker",  "Tan", "Whistle"};
        RenderRequest every;
        every.seeded = true;
        every.seed = 77 + pass;
        for (int osc = 0; osc < 3; ++osc)
        {
            const std::string name = "Osc" + std::to_string(osc + 1);
            every.settings.push_back(name + " Type=" + types[(osc + 3 * pass) % 7]);
            every.settings.push_back(name + " Level=-6");
        }
        for (const char* s :
             {"White Level=-18", "Pink Level=-18", "Filter LP Cutoff=3000",
              "Filter LP Env Depth=0.6", "Filter HP Cutoff=300", "Filter HP Env Depth=-0.4",
              "Filter Env Decay=0.2", "Filter Env Sustain=0.3"})
            every.settings.push_back(s);
        every.notes = {{55, 120, 0.0, 0.25}, {62, 100, 0.05, 0.2}};
        all.push_back({"every waveform", every});
    }

    RenderRequest oneBit;
    oneBit.settings = {"Osc1 Type=Saw", "Filter LP Cutoff=4000", "BitCrush Position=After",
                       "BitCrush Bit Depth=1", "BitCrush Sample Rate=11025"};
    oneBit.notes = {{48, 127, 0.0, 0.3}};
    all.push_back({"one-bit crusher after the filter", oneBit});

    // Held notes that settle: the sweep ends, then the amplitude envelope
    // decays, sustains and releases with the cutoffs fixed; one note at a time.
    const std::vector<std::string> settling = {
        "Pitch Start=1",         "Pitch End=0.2",        "Pitch Duration=0.05",
        "Pitch Curve=2",         "Amp Env Attack=0.02",  "Amp Env Decay=0.1",
        "Amp Env Sustain=0.6",   "Amp Env Release=0.05", "Filter LP Cutoff=6000",
        "Filter LP Resonance=2", "Filter HP Cutoff=150", "Osc2 EnvDepth=0.7"};
    const char* const plainTypes[] = {"Triangle", "Square", "Saw", "Breaker"};
    for (int t = 0; t < 4; ++t)
    {
        RenderRequest held;
        held.settings = settling;
        // The one sounding oscillator in the second slot, the first off.
        for (const char* s :
             {"Osc1 Type=Off", "Osc2 Level=-3", "Osc2 Square Duty=0.3", "Osc2 Phase=0.1"})
            held.settings.push_back(s);
        held.settings.push_back(std::string("Osc2 Type=") + plainTypes[t]);
        held.notes = {{57, 120, 0.0, 0.25}, {64, 90, 0.35, 0.2}};
        all.push_back({"held, one oscillator", held});
    }
    RenderRequest mixed;
    mixed.settings = settling;
    // A silent sine still runs its phase; the filter envelope holds the
    // cutoffs where its sustain puts them.
    for (const char* s :
         {"Osc2 Type=Square", "Osc2 Level=-6", "Osc2 Octave=1", "Osc3 Type=Sin", "Osc3 Level=-96",
          "Osc1 Type=Breaker", "Filter LP Env Depth=0.5", "Filter Env Sustain=0.5"})
        mixed.settings.push_back(s);
    mixed.notes = {{50, 127, 0.0, 0.3}};
    all.push_back({"held, mixed oscillators", mixed});
    RenderRequest library;
    library.settings = settling;
    // Waveforms that call the maths library, and both noises.
    for (const char* s : {"Osc1 Type=Sin", "Osc2 Type=Whistle", "Osc2 Level=-6", "Osc3 Type=Tan",
                          "Osc3 Level=-12", "White Level=-24", "Pink Level=-24"})
        library.settings.push_back(s);
    library.seeded = true;
    library.seed = 99;
    library.notes = {{62, 127, 0.0, 0.25}, {45, 100, 0.35, 0.2}};
    all.push_back({"held, library waveforms and noise", library});
    return all;
}

std::string referencePath(size_t index)
{
    return std::string(BLEEPFORGE_REFERENCE_DIR) + "/case-" + std::to_string(index) + ".bin";
}

std::vector<double> readReference(size_t index)
{
    std::ifstream in(referencePath(index), std::ios::binary);
    const std::string packed((std::istreambuf_iterator<char>(in)), {});
    if (packed.size() < 8)
        return {};
    uint64_t count = 0;
    std::memcpy(&count, packed.data(), 8);
    std::vector<double> samples(static_cast<size_t>(count));
    uLongf size = static_cast<uLongf>(count * sizeof(double));
    if (uncompress(reinterpret_cast<Bytef*>(samples.data()), &size,
                   reinterpret_cast<const Bytef*>(packed.data() + 8), packed.size() - 8) != Z_OK ||
        size != count * sizeof(double))
        return {};
    return samples;
}

void writeReference(size_t index, const std::vector<double>& samples)
{
    const uLong raw = static_cast<uLong>(samples.size() * sizeof(double));
    std::string packed(8 + compressBound(raw), '\0');
    const uint64_t count = samples.size();
    std::memcpy(&packed[0], &count, 8);
    uLongf size = compressBound(raw);
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&packed[8]), &size,
                        reinterpret_cast<const Bytef*>(samples.data()), raw, Z_BEST_COMPRESSION),
              Z_OK);
    packed.resize(8 + size);
    std::ofstream(referencePath(index), std::ios::binary) << packed;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// "" when the channel is the reference to the bit, else where it first differs.
std::string firstDifference(const std::vector<double>& got, const std::vector<double>& want,
                            const char* channel)
{
    std::ostringstream text;
    text.precision(17);
    if (got.size() != want.size())
        text << channel << " has " << got.size() << " samples, the reference " << want.size()
             << "; ";
    size_t differing = 0, first = got.size();
    double worst = 0.0;
    for (size_t i = 0; i < got.size() && i < want.size(); ++i)
    {
        if (sameBits(got[i], want[i]))
            continue;
        first = std::min(first, i);
        ++differing;
        worst = std::max(worst, std::fabs(got[i] - want[i]));
    }
    if (differing > 0)
        text << channel << " first differs at sample " << first << ": " << got[first]
             << " rendered, " << want[first] << " in the reference (" << differing
             << " samples differ, by at most " << worst << ")";
    return text.str();
}

} // namespace

TEST(RenderDigest, OutputIsBitIdenticalToTheReference)
{
    const bool rewrite = std::getenv("BLEEPFORGE_REWRITE_REFERENCE") != nullptr;
    const std::vector<Case> all = cases();
    for (size_t i = 0; i < all.size(); ++i)
    {
        const RenderResult audio = Render(all[i].request);
        const std::vector<double> reference = readReference(i);
        const std::string left = firstDifference(audio.left, reference, "left");
        const std::string right = firstDifference(audio.right, reference, "right");
        if (rewrite)
        {
            writeReference(i, audio.left);
            std::cout << "case " << i << " (" << all[i].name << "): "
                      << (left.empty() ? "unchanged" : "moved: " + left) << std::endl;
            continue;
        }
        EXPECT_FALSE(reference.empty()) << all[i].name << ": no reference at " << referencePath(i);
        EXPECT_EQ(left, "") << all[i].name;
        EXPECT_EQ(right, "") << all[i].name;
    }
}
