// Rendered output must not change by a single bit when the engine is made
// faster; these digests were taken from the straightforward implementation
// (with the decimation filter flushed to exact silence once every voice ends).
#include "RenderJob.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{

uint64_t digest(const RenderResult& audio)
{
    uint64_t hash = 1469598103934665603ull; // FNV-1a over the sample bytes
    for (const std::vector<double>* channel : {&audio.left, &audio.right})
    {
        for (double sample : *channel)
        {
            unsigned char bytes[sizeof sample];
            std::memcpy(bytes, &sample, sizeof sample);
            for (unsigned char byte : bytes)
                hash = (hash ^ byte) * 1099511628211ull;
        }
    }
    return hash;
}

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

const uint64_t kEveryWaveform[3] = {6913764101476997751ull, 239271833812241195ull,
                                    10722939573142457295ull};
const uint64_t kOneBitAfter = 5245685993703882107ull;
const uint64_t kHeldOneWave[4] = {6964915492396595815ull, 11140332990083822027ull,
                                  7846443911814979347ull, 12093701737360944655ull};
const uint64_t kHeldMixed = 12443180496232035275ull;
const uint64_t kHeldLibrary = 4863255635910860387ull;

struct Case
{
    const char* name;
    RenderRequest request;
    uint64_t expected;
};

std::vector<Case> cases()
{
    std::vector<Case> all;
    RenderRequest plain;
    plain.notes = {{69, 127, 0.0, 0.3}};
    all.push_back({"default patch", plain, 10977852008590629315ull});
    all.push_back({"heavy patch", heavyRequest(), 14925957524896680119ull});

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
    all.push_back({"saws, crusher after", saws, 2404451366084720731ull});

    RenderRequest jump;
    jump.settings = {"Osc1 Type=Square",        "Osc1 Square Duty=0.2",
                     "Pitch Jump Delay=0.05",   "Pitch Jump Transpose=7",
                     "Pitch Jump Trigger=Both", "Pitch Jump Time=0.05",
                     "Amp Env Release=0.05",    "Output Gain=3"};
    jump.notes = {{60, 110, 0.0, 0.1}};
    all.push_back({"pitch jump", jump, 16093797986757856523ull});

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
        all.push_back({"every waveform", every, kEveryWaveform[pass]});
    }

    RenderRequest oneBit;
    oneBit.settings = {"Osc1 Type=Saw", "Filter LP Cutoff=4000", "BitCrush Position=After",
                       "BitCrush Bit Depth=1", "BitCrush Sample Rate=11025"};
    oneBit.notes = {{48, 127, 0.0, 0.3}};
    all.push_back({"one-bit crusher after the filter", oneBit, kOneBitAfter});

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
        all.push_back({"held, one oscillator", held, kHeldOneWave[t]});
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
    all.push_back({"held, mixed oscillators", mixed, kHeldMixed});
    RenderRequest library;
    library.settings = settling;
    // Waveforms that call the maths library, and both noises.
    for (const char* s : {"Osc1 Type=Sin", "Osc2 Type=Whistle", "Osc2 Level=-6", "Osc3 Type=Tan",
                          "Osc3 Level=-12", "White Level=-24", "Pink Level=-24"})
        library.settings.push_back(s);
    library.seeded = true;
    library.seed = 99;
    library.notes = {{62, 127, 0.0, 0.25}, {45, 100, 0.35, 0.2}};
    all.push_back({"held, library waveforms and noise", library, kHeldLibrary});
    return all;
}

} // namespace

TEST(RenderDigest, OutputIsBitIdenticalToTheReference)
{
    for (const Case& c : cases())
        EXPECT_EQ(digest(Render(c.request)), c.expected) << c.name;
}
