// The sounds the instrument makes from a seed, and what it tells its host
// and shows on its knobs while it makes them, must not move by a bit when
// the way values reach the parameters changes. Every kind for a thousand
// seeds, kinds chained from defaults and from loaded sounds, Mutate at
// several amounts, recipes, locks, the slot buttons, an editor whose host
// echoes each value back in single precision, and noise rendered after a
// seed: each case's state, host notifications and knob values are digests in
// reference/made-sounds.txt, a line a case. A difference names the first
// case that moved.
//
// After a change meant to move them, rewrite the file with
//   BLEEPFORGE_REWRITE_REFERENCE=1 build/test/tests/instrument_editor_tests --gtest_filter='MadeSounds.*'
#include "Bleepforge.h"
#include "IControl.h"
#include "IGraphics.h"
#include "InstrumentTarget.h"
#include "Layout.h"
#include "Locks.h"
#include "Recipe.h"
#include "RenderJob.h"
#include "ShareCode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{

const char* const kReference = BLEEPFORGE_REFERENCE_DIR "/made-sounds.txt";
const unsigned kSeedsPerKind = 1000;

struct Digest
{
    uint64_t value = 1469598103934665603ull;

    void add(const void* data, size_t size)
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            value = (value ^ bytes[i]) * 1099511628211ull;
    }
    template <class T> void add(const T& x) { add(&x, sizeof x); }
};

// An instrument that keeps what it tells its host of parameter changes and,
// like the LV2 editor's instance, may take each value back as the host's
// single-precision port holds it.
class Recorder : public Bleepforge
{
public:
    explicit Recorder(bool echoesAsFloat) : Bleepforge(IPluginInstanceInfo()), mEchoesAsFloat(echoesAsFloat)
    {
        for (int i = 0; i < kNumParams; ++i)
            mPorts[i] = static_cast<float>(GetParam(i)->Value());
    }

    void InformHostOfParamChange(int paramIdx, double normalized) override
    {
        Bleepforge::InformHostOfParamChange(paramIdx, normalized);
        told.add(paramIdx);
        told.add(normalized);
        if (!mEchoesAsFloat)
            return;
        const float port = static_cast<float>(GetParam(paramIdx)->Value());
        if (port == mPorts[paramIdx])
            return;
        mPorts[paramIdx] = port;
        SetParameterFromHost(paramIdx, port);
    }

    Digest told;

private:
    bool mEchoesAsFloat;
    float mPorts[kNumParams];
};

// Whether the cases' instruments show their editor; the same cases run both ways.
bool gWithEditor = true;

std::unique_ptr<Recorder> newInstrument(bool echoesAsFloat = false)
{
    auto plug = std::make_unique<Recorder>(echoesAsFloat);
    if (gWithEditor)
        AttachEditor(*plug);
    return plug;
}

// What a case leaves behind: the state with the slot shown and the slot
// count, what the host was told, and the value each knob holds.
struct Made
{
    std::string name;
    uint64_t state = 0, told = 0, shown = 0;
};

// The values the knobs hold: the editor's, which the plug-in's own record of
// them must match, or without an editor that record alone.
uint64_t shownDigest(Bleepforge& plug)
{
    std::vector<double> shown(kNumParams);
    for (int i = 0; i < kNumParams; ++i)
        shown[static_cast<size_t>(i)] = plug.GetShownValue(i);
    IGraphics* editor = EditorOf(plug);
    for (int c = 0; editor && c < editor->NControls(); ++c)
    {
        IControl* control = editor->GetControl(c);
        const int p = control->ParamIdx();
        if (p >= 0)
        {
            EXPECT_EQ(control->GetValue(), shown[static_cast<size_t>(p)]) << "the knob of parameter " << p;
        }
    }
    Digest digest;
    for (double value : shown)
        digest.add(value);
    return digest.value;
}

Made madeBy(const std::string& name, Recorder& plug, const std::vector<double>& rendered = {})
{
    ByteChunk state;
    plug.SerializeState(&state);
    Digest digest;
    digest.add(rendered.data(), rendered.size() * sizeof(double));
    digest.add(state.GetBytes(), static_cast<size_t>(state.Size()));
    digest.add(plug.GetSlotIndex());
    digest.add(plug.GetNumSlots());
    return {name, digest.value, plug.told.value, shownDigest(plug)};
}

void generate(Bleepforge& plug, const std::string& kind)
{
    (plug.*GeneratorOf(kind))();
}

// A sound of exact values no knob step gives: each parameter anywhere in
// its range, whole where it must be.
ByteChunk arbitraryState(uint64_t seed)
{
    std::mt19937_64 bits(seed);
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
    {
        IParam param;
        InitParam(static_cast<EParams>(i), &param);
        const double u = static_cast<double>(bits() >> 11) * 0x1.0p-53;
        values[i] = param.GetMin() + u * (param.GetMax() - param.GetMin());
        if (param.Type() != IParam::kTypeDouble)
            values[i] = std::floor(values[i]);
    }
    unsigned char bytes[kStateSize];
    StateCodec::Encode(Bleepforge::kStateVersion, values, kNumParams, bytes);
    ByteChunk state;
    state.PutBytes(bytes, kStateSize);
    return state;
}

// Where a case starts: the defaults, or a loaded sound the way a recipe
// loads one (the knobs not told) or the way render --state does (told).
enum class Start
{
    kDefaults,
    kLoadedQuietly,
    kLoadedAndShown
};

const char* const kStartNames[] = {"defaults", "loaded", "shown"};

void begin(Bleepforge& plug, Start start, uint64_t seed)
{
    if (start == Start::kDefaults)
        return;
    ByteChunk state = arbitraryState(seed);
    ASSERT_EQ(plug.UnserializeState(&state, 0), kStateSize);
    if (start == Start::kLoadedAndShown)
        plug.RedrawParamControls();
}

using Cases = std::vector<Made>;

void everyKindForEverySeed(Cases* cases, bool echoesAsFloat, unsigned seeds)
{
    for (const char* kind : kGeneratorKinds)
        for (unsigned seed = 0; seed < seeds; ++seed)
        {
            auto plug = newInstrument(echoesAsFloat);
            plug->SeedRandom(seed);
            generate(*plug, kind);
            cases->push_back(madeBy(std::string(echoesAsFloat ? "echoed/" : "kind/") + kind + "/" +
                                        std::to_string(seed),
                                    *plug));
        }
}

void chainedKinds(Cases* cases, bool echoesAsFloat)
{
    const int kChains = 150, kSteps = 8;
    for (int c = 0; c < kChains; ++c)
    {
        const Start start = static_cast<Start>(c % 3);
        auto plug = newInstrument(echoesAsFloat);
        begin(*plug, start, 1000 + static_cast<uint64_t>(c));
        plug->SeedRandom(static_cast<unsigned>(c));
        for (int s = 0; s < kSteps; ++s)
        {
            const char* kind = kGeneratorKinds[(c + 3 * s + (s * s) / 2) % kNumGeneratorKinds];
            generate(*plug, kind);
            cases->push_back(madeBy(std::string(echoesAsFloat ? "echoed-chain/" : "chain/") +
                                        kStartNames[static_cast<int>(start)] + "/" +
                                        std::to_string(c) + "/" + std::to_string(s) + "/" + kind,
                                    *plug));
        }
    }
}

void mutateAtAmounts(Cases* cases)
{
    for (double amount : {0.0, 2.5, 5.0, 10.0, 37.0, 100.0})
        for (int start = 0; start < 3; ++start)
            for (unsigned seed = 0; seed < 60; ++seed)
            {
                auto plug = newInstrument();
                begin(*plug, static_cast<Start>(start), 5000 + seed);
                plug->SetParameterFromHost(kMutation, amount);
                plug->SeedRandom(seed);
                for (int round = 0; round < 3; ++round)
                {
                    plug->MutateParams();
                    char name[96];
                    std::snprintf(name, sizeof name, "mutate/%g/%s/%u/%d", amount,
                                  kStartNames[start], seed, round);
                    cases->push_back(madeBy(name, *plug));
                }
            }
}

std::vector<Recipe> recipes()
{
    const std::vector<ParamInfo> params = TableParams();
    const std::string sound = EncodeShareCode(arbitraryState(77));
    std::vector<Recipe> all;
    all.push_back(ParseRecipe("start = \"blip\"\nmutate = 5\n[params]\n"
                              "\"Osc1 Type\" = { choose = [\"Off\", \"Saw\", \"Whistle\"] }\n"
                              "\"Amp Env Decay\" = { range = [0.05, 0.3], scale = \"log\" }\n"
                              "\"Output Gain\" = -3\n\"Osc2 Octave\" = { range = [-2, 2] }\n"
                              "\"Filter LP Cutoff\" = { range = [300, 9000] }\n",
                              "kinds/first.toml", params));
    all.push_back(ParseRecipe("sound = \"" + sound + "\"\nmutate = 1.5\n[params]\n"
                              "\"Pitch Start\" = { range = [-1, 1] }\n\"Osc3 Type\" = \"Tan\"\n",
                              "kinds/second.toml", params));
    all.push_back(ParseRecipe("[params]\n\"Pink Level\" = { range = [-30, 0] }\n"
                              "\"Pitch Jump Trigger\" = { choose = [\"Both\", \"On NoteOff\"] }\n",
                              "kinds/third.toml", params));
    all.push_back(ParseRecipe("start = \"random\"\n", "kinds/fourth.toml", params));
    all.push_back(ReadRecipe(BLEEPFORGE_KINDS "/explosion.toml", params));
    return all;
}

// As the command line applies a recipe, and as the app hands one over.
void recipesForSeeds(Cases* cases)
{
    const std::vector<Recipe> all = recipes();
    for (size_t r = 0; r < all.size(); ++r)
        for (int start = 0; start < 3; ++start)
            for (unsigned seed = 0; seed < 40; ++seed)
            {
                const std::string name = "recipe/" + std::to_string(r) + "/" + kStartNames[start] + "/" +
                                         std::to_string(seed);
                auto plug = newInstrument();
                begin(*plug, static_cast<Start>(start), 9000 + seed);
                plug->SeedRandom(seed);
                ApplyRecipe(*plug, all[r]);
                cases->push_back(madeBy(name, *plug));

                auto hosted = newInstrument();
                begin(*hosted, static_cast<Start>(start), 9000 + seed);
                hosted->SeedRandom(seed);
                const std::vector<unsigned char> bytes = EncodeRecipe(all[r]);
                ASSERT_EQ(hosted->SetCustomProperty(kPropertyRecipe, static_cast<UInt32>(bytes.size()),
                                                    bytes.data()),
                          noErr);
                cases->push_back(madeBy(name + "/hosted", *hosted));
            }
}

// As generate --lock keeps values through a kind.
void lockedKinds(Cases* cases)
{
    const std::vector<std::vector<std::string>> lockSets = {
        {"pitch"}, {"osc1", "Output Gain"}, {"filters", "amp-env"}, {"noise", "Pitch Jump Trigger"}};
    for (size_t l = 0; l < lockSets.size(); ++l)
        for (const char* kind : kGeneratorKinds)
            for (unsigned seed = 0; seed < 25; ++seed)
            {
                auto plug = newInstrument();
                for (const char* setting : {"Osc1 Type=Whistle", "Filter LP Cutoff=1234.5", "Pitch End=-0.3",
                                            "White Level=-20", "Pitch Jump Trigger=Both", "Output Gain=-1.25"})
                    ApplySetting(*plug, setting);
                std::vector<std::pair<int, double>> kept;
                for (int idx : LockedParams(lockSets[l]))
                    kept.emplace_back(idx, plug->GetParam(idx)->Value());
                plug->SeedRandom(seed);
                generate(*plug, kind);
                for (const auto& [idx, value] : kept)
                    plug->SetParameterFromHost(idx, value);
                cases->push_back(madeBy("lock/" + std::to_string(l) + "/" + kind + "/" + std::to_string(seed),
                                        *plug));
            }
}

// The slot buttons, as clicked, between sounds made, changed and loaded.
void slotWalks(Cases* cases)
{
    for (unsigned seed = 0; seed < 80; ++seed)
    {
        auto plug = newInstrument();
        plug->SeedRandom(seed);
        const auto step = [&](const std::string& what, const std::function<void()>& action)
        {
            action();
            cases->push_back(madeBy("slots/" + std::to_string(seed) + "/" + what, *plug));
        };
        step("save", [&] { plug->BtnSave(); });
        step("hit", [&] { plug->HitParams(); });
        step("coin", [&]
             {
                 const char kind[16] = "coin";
                 plug->SetCustomProperty(kPropertyGenerate, sizeof kind, kind);
             });
        step("slash", [&] { plug->SlashParams(); });
        step("prev", [&] { plug->BtnPrev(); });
        step("change", [&] { plug->SetParameterFromHost(kOutputGain, -20.0 - seed % 7); });
        step("save", [&] { plug->BtnSave(); });
        step("next", [&] { plug->BtnNext(); });
        step("next", [&] { plug->BtnNext(); });
        step("prev", [&] { plug->BtnPrev(); });
        step("prev", [&] { plug->BtnPrev(); });
        step("prev", [&] { plug->BtnPrev(); });
        step("mutate", [&] { plug->MutateParams(); });
        step("loaded", [&] { begin(*plug, Start::kLoadedQuietly, 20000 + seed); });
        step("prev", [&] { plug->BtnPrev(); });
        step("shown", [&] { begin(*plug, Start::kLoadedAndShown, 30000 + seed); });
        step("next", [&] { plug->BtnNext(); });
        step("reset", [&] { plug->ResetParams(); });
        step("prev", [&] { plug->BtnPrev(); });
        step("kept", [&]
             {
                 UInt32 size = 0;
                 plug->GetCustomProperty(kPropertySlots, &size, nullptr);
                 std::vector<unsigned char> bytes(size);
                 plug->GetCustomProperty(kPropertySlots, &size, bytes.data());
                 const SInt32 shown = 1;
                 std::memcpy(bytes.data(), &shown, sizeof shown);
                 ASSERT_EQ(plug->SetCustomProperty(kPropertySlots, size, bytes.data()), noErr);
             });
        step("next", [&] { plug->BtnNext(); });
        step("prev", [&] { plug->BtnPrev(); });
    }
}

// The rendered samples of noise sounds made after a seed, and of a loaded
// noise sound rendered after one.
void noiseRenders(Cases* cases)
{
    RenderRequest request;
    request.notes = {{60, 127, 0.0, 0.1}};
    request.lengthSeconds = 0.15;
    for (unsigned seed = 0; seed < 12; ++seed)
        for (const char* kind : {"slash", "random", "explosion", "loaded"})
        {
            auto plug = newInstrument();
            if (std::strcmp(kind, "explosion") == 0)
            {
                plug->SeedRandom(seed);
                ApplyRecipe(*plug, ReadRecipe(BLEEPFORGE_KINDS "/explosion.toml", TableParams()));
            }
            else if (std::strcmp(kind, "loaded") == 0)
            {
                begin(*plug, Start::kLoadedAndShown, 40000 + seed);
                plug->SetParameterFromHost(kWhiteLevel, -6.0);
                plug->SetParameterFromHost(kPinkLevel, -6.0);
                plug->SeedRandom(seed);
            }
            else
            {
                plug->SeedRandom(seed);
                generate(*plug, kind);
            }
            const RenderResult result = RunRenderLoop(request, InstrumentTarget(*plug, 44100.0, 512));
            cases->push_back(madeBy("render/" + std::string(kind) + "/" + std::to_string(seed), *plug, result.left));
        }
}

Cases everyCase()
{
    Cases cases;
    everyKindForEverySeed(&cases, false, kSeedsPerKind);
    everyKindForEverySeed(&cases, true, 100);
    chainedKinds(&cases, false);
    chainedKinds(&cases, true);
    mutateAtAmounts(&cases);
    recipesForSeeds(&cases);
    lockedKinds(&cases);
    slotWalks(&cases);
    noiseRenders(&cases);
    return cases;
}

// A case's three digests folded to 32 bits each: the reference holds one
// line a case, in the order the cases run.
std::string lineOf(const Made& made)
{
    const auto fold = [](uint64_t x) { return static_cast<unsigned>((x ^ (x >> 32)) & 0xFFFFFFFFu); };
    char line[32];
    std::snprintf(line, sizeof line, "%08x %08x %08x", fold(made.state), fold(made.told), fold(made.shown));
    return line;
}

std::vector<std::string> referenceLines()
{
    std::ifstream file(kReference);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

// The first case whose line differs from the reference, with both lines.
void expectReference(const Cases& cases)
{
    if (std::getenv("BLEEPFORGE_REWRITE_REFERENCE"))
    {
        std::ofstream file(kReference);
        for (const Made& made : cases)
            file << lineOf(made) << "\n";
        return;
    }
    const std::vector<std::string> reference = referenceLines();
    ASSERT_EQ(reference.size(), cases.size()) << "cases in " << kReference;
    size_t moved = 0;
    for (size_t i = 0; i < cases.size(); ++i)
    {
        const std::string line = lineOf(cases[i]);
        if (line == reference[i])
            continue;
        if (moved++ == 0)
            ADD_FAILURE() << "the first case that moved: " << cases[i].name
                          << "\n  state, told, knobs now " << line << "\n  in the reference     " << reference[i];
    }
    EXPECT_EQ(moved, 0u) << "cases that moved, of " << cases.size();
}

} // namespace

TEST(MadeSounds, EveryCaseMakesItsReferenceBytesWithAnEditor)
{
    gWithEditor = true;
    expectReference(everyCase());
}

TEST(MadeSounds, EveryCaseMakesItsReferenceBytesWithoutAnEditor)
{
    gWithEditor = false;
    expectReference(everyCase());
    gWithEditor = true;
}
