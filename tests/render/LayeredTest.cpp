// Layered sounds: the mix is the sum of its layers' solo renders to the last
// bit, however many threads render it; its text and code give the same sound
// back; what is out of bounds or hostile is refused, naming what is wrong.
#include "LayeredSources.h"
#include "SoundWriting.h"

#include "Bleepforge.h"
#include "Packed.h"
#include "PresetSound.h"
#include "RenderJob.h"
#include "ScratchTest.h"
#include "ShareCode.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>

extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace
{

const double kRate = 22050.0;

// A kind's sound, with noise where asked: the built-in kinds make little.
ByteChunk kindState(const std::string& kind, unsigned seed, bool noisy)
{
    InstrumentBackend instrument;
    instrument.Open(kRate, 512, std::nullopt);
    RunKind(instrument.Plug(), kind, nullptr, seed);
    if (noisy)
        for (const char* setting : {"White Level=-12", "Pink Level=-9"})
            ApplySetting(instrument.Plug(), setting);
    return instrument.State();
}

Layer layerOf(const std::string& kind, unsigned seed, bool noisy = false)
{
    Layer layer;
    layer.state = kindState(kind, seed, noisy);
    layer.seed = seed;
    return layer;
}

// Noise in two layers, a list of notes, a pattern with a rest, repeats that move in time,
// level and pitch, every pan from hard left to hard right.
LayeredSound mixOfFour()
{
    LayeredSound sound;
    Layer hit = layerOf("hit", 3, true);
    hit.gain = -3.0;
    Layer shot = layerOf("shoot", 5);
    shot.start = 0.05;
    shot.pan = -1.0;
    shot.notes.kind = LayerNotes::kList;
    shot.notes.list = {{64, 100, 0.0, 0.05}, {57, 127, 0.11, 0.02}};
    Layer blip = layerOf("blip", 2);
    blip.start = 0.013;
    blip.pan = 0.75;
    blip.notes.kind = LayerNotes::kPattern;
    blip.notes.steps = ParsePattern("C5 E5 - G5");
    blip.notes.step = 0.06;
    blip.repeat = {3, 0.21, -6.0, 2};
    Layer boom = layerOf("random", 11, true);
    boom.start = 0.3;
    boom.gain = 2.5;
    boom.pan = 1.0;
    sound.layers = {hit, shot, blip, boom};
    return sound;
}

struct Mix
{
    std::vector<double> left, right;
};

// The sum written out here on its own: each sounding play rendered through
// the single-sound path, then added in layer and play order.
Mix sumOfSoloRenders(const LayeredSound& sound, int block)
{
    const bool anySolo = std::any_of(sound.layers.begin(), sound.layers.end(),
                                     [](const Layer& l) { return l.solo; });
    struct Placed
    {
        RenderResult audio;
        long offset;
        double left, right;
    };
    std::vector<Placed> plays;
    long end = 1 + static_cast<long>(kAutoTailSeconds * kRate);
    for (const Layer& layer : sound.layers)
    {
        if (layer.mute || (anySolo && !layer.solo))
            continue;
        for (int k = 0; k < layer.repeat.count; ++k)
        {
            RenderRequest solo;
            solo.rate = kRate;
            solo.block = block;
            solo.stateIn = EncodeShareCode(layer.state);
            solo.notes = PlayedNotes(layer, k);
            solo.seeded = true;
            solo.seed = layer.seed;
            const double gain = std::pow(10.0, (layer.gain + k * layer.repeat.gain) / 20.0);
            Placed play{
                Render(solo), static_cast<long>((layer.start + k * layer.repeat.interval) * kRate),
                gain * std::min(1.0, 1.0 - layer.pan), gain * std::min(1.0, 1.0 + layer.pan)};
            end = std::max(end, play.offset + static_cast<long>(play.audio.left.size()));
            plays.push_back(std::move(play));
        }
    }
    Mix mix;
    mix.left.assign(static_cast<size_t>(end), 0.0);
    mix.right.assign(mix.left.size(), 0.0);
    std::vector<bool> reached(mix.left.size(), false);
    for (const Placed& play : plays)
        for (size_t i = 0; i < play.audio.left.size(); ++i)
        {
            const size_t at = static_cast<size_t>(play.offset) + i;
            const double l = play.audio.left[i] * play.left, r = play.audio.right[i] * play.right;
            mix.left[at] = reached[at] ? mix.left[at] + l : l;
            mix.right[at] = reached[at] ? mix.right[at] + r : r;
            reached[at] = true;
        }
    return mix;
}

Mix layeredRender(const LayeredSound& sound, int block, int threads, double length = -1.0)
{
    RenderRequest request;
    request.rate = kRate;
    request.block = block;
    request.lengthSeconds = length;
    LayeredRender render(sound, request, InstrumentBackends(), threads);
    Mix mix;
    RenderLayered(render,
                  [&mix](const double* left, const double* right, long frames)
                  {
                      mix.left.insert(mix.left.end(), left, left + frames);
                      mix.right.insert(mix.right.end(), right, right + frames);
                  });
    return mix;
}

// Bit for bit, -0 apart from 0; names the first frame that differs.
void expectSameBits(const Mix& expected, const Mix& actual, const std::string& what)
{
    ASSERT_EQ(expected.left.size(), actual.left.size()) << what;
    for (size_t i = 0; i < expected.left.size(); ++i)
    {
        ASSERT_EQ(0, std::memcmp(&expected.left[i], &actual.left[i], sizeof(double)))
            << what << ": left frame " << i << ": " << expected.left[i] << " vs " << actual.left[i];
        ASSERT_EQ(0, std::memcmp(&expected.right[i], &actual.right[i], sizeof(double)))
            << what << ": right frame " << i << ": " << expected.right[i] << " vs "
            << actual.right[i];
    }
}

} // namespace

TEST(LayeredRender, IsTheSumOfItsLayersSoloRendersToTheLastBitInOneThreadOrSeveral)
{
    LayeredSound soloed = mixOfFour();
    soloed.layers[2].solo = true;
    soloed.layers[3].solo = true;
    soloed.layers[3].mute = true; // a muted layer stays silent, soloed or not
    LayeredSound one;
    one.layers = {mixOfFour().layers[0]};
    one.layers[0].gain = 0.0; // a centred layer at 0 dB is its solo render as it is
    const std::vector<std::pair<std::string, LayeredSound>> cases = {
        {"four layers", mixOfFour()}, {"soloed and muted", soloed}, {"one layer", one}};
    for (const auto& [name, sound] : cases)
    {
        const Mix expected = sumOfSoloRenders(sound, 512);
        expectSameBits(expected, layeredRender(sound, 64, 1), name + ", one thread");
        expectSameBits(expected, layeredRender(sound, 512, 3), name + ", three threads");
    }
}

TEST(LayeredRender, LastsAsAskedOrUntilTheLastPlayEndsWithinTheLimitAndSaysWhenItCuts)
{
    const LayeredSound sound = mixOfFour();
    const Mix whole = layeredRender(sound, 512, 1);
    const Mix asked = layeredRender(sound, 512, 1, 0.2);
    ASSERT_EQ(asked.left.size(), static_cast<size_t>(0.2 * kRate));
    expectSameBits(
        {std::vector<double>(whole.left.begin(), whole.left.begin() + asked.left.size()),
         std::vector<double>(whole.right.begin(), whole.right.begin() + asked.right.size())},
        asked, "the first 0.2 s");

    LayeredSound late = mixOfFour();
    late.layers[0].start = kMaxAutoSeconds - 0.01;
    RenderRequest request;
    request.rate = kRate;
    LayeredRender cut(late, request, InstrumentBackends());
    EXPECT_EQ(RenderLayered(cut, [](const double*, const double*, long) {}), MostFrames(request));
    EXPECT_TRUE(cut.Cut());
    LayeredRender whole2(sound, request, InstrumentBackends());
    RenderLayered(whole2, [](const double*, const double*, long) {});
    EXPECT_FALSE(whole2.Cut());

    // A note past the most, in a layer that starts at once, is cut as a late layer is.
    LayeredSound lateNote;
    lateNote.layers.push_back(layerOf("blip", 1));
    lateNote.layers[0].notes.kind = LayerNotes::kList;
    lateNote.layers[0].notes.list = {{60, 127, 3600.0, 3600.0}};
    LayeredRender noteCut(lateNote, request, InstrumentBackends());
    EXPECT_EQ(RenderLayered(noteCut, [](const double*, const double*, long) {}), MostFrames(request));
    EXPECT_TRUE(noteCut.Cut());
}

// Sixteen layers of sixteen plays, spread over 40 s and then over 400 s: the
// same plays, as many sounding at once, ten times as long. Memory follows
// the plays that sound at once, never the length nor the plays in all: a
// few times what it takes when each layer plays once.
TEST(LayeredRender, MemoryStaysFlatWithSixteenLayersOfSixteenPlaysHoweverLongTheRender)
{
    const auto allocated = []
    {
        return __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes()
                                                       : mallinfo2().uordblks;
    };
    const auto spread = [](int layers, int plays, double interval)
    {
        LayeredSound sound;
        for (int i = 0; i < layers; ++i)
        {
            Layer layer = layerOf(i % 2 ? "blip" : "hit", static_cast<unsigned>(i), i % 4 == 0);
            layer.start = interval / kMostLayers * i;
            layer.notes.kind = LayerNotes::kList;
            layer.notes.list = {{60 + i, 127, 0.0, 0.01}};
            layer.repeat = {plays, interval, -1.0, 1};
            sound.layers.push_back(layer);
        }
        return sound;
    };
    const auto peakOf = [&](const LayeredSound& sound, double seconds)
    {
        RenderRequest request;
        request.rate = 8000.0;
        request.lengthSeconds = seconds;
        const size_t before = allocated();
        size_t peak = before;
        LayeredRender render(sound, request, InstrumentBackends());
        EXPECT_EQ(RenderLayered(render, [&](const double*, const double*, long)
                                { peak = std::max(peak, allocated()); }),
                  static_cast<long>(seconds * request.rate));
        return peak - before;
    };
    const size_t once = peakOf(spread(kMostLayers, 1, 2.5), 40.0);
    const size_t shorter = peakOf(spread(kMostLayers, kMostPlays, 2.5), 40.0);
    const size_t longer = peakOf(spread(kMostLayers, kMostPlays, 25.0), 400.0);
    EXPECT_LE(longer, shorter + (256u << 10))
        << shorter << " bytes at most over 40 s, " << longer << " over 400 s";
    EXPECT_LE(shorter, 4 * once) << "16 plays took " << once << " bytes at most, 256 plays " << shorter;
}

TEST(LayeredSound, RepeatsPatternsAndLevelsAreTakenUpToTheirBoundsAndRefusedPast)
{
    const auto codes = [](const Layer& layer)
    {
        std::vector<LayerProblemCode> found;
        for (const LayerProblem& problem : CheckLayer(layer, 0))
            found.push_back(problem.code);
        return found;
    };
    using Codes = std::vector<LayerProblemCode>;
    Layer layer = layerOf("blip", 1);
    layer.notes.kind = LayerNotes::kPattern;
    layer.notes.steps = std::vector<int>(kMostLayerNotes, 60);
    layer.notes.step = kMostLayerSeconds;
    layer.start = kMostLayerSeconds;
    layer.gain = kMostLayerGain;
    layer.pan = -1.0;
    layer.repeat = {kMostPlays, kMostLayerSeconds, 0.0, 4}; // the last play at 60 + 15 * 4 = 120
    EXPECT_EQ(codes(layer), Codes());

    Layer past = layer;
    past.repeat.transpose = 5; // 60 + 15 * 5 = 135
    EXPECT_EQ(codes(past), Codes{LayerProblemCode::kTranspose});
    past = layer;
    past.gain = 0.0;
    past.repeat.gain = 1.7; // 15 * 1.7 = 25.5 dB
    EXPECT_EQ(codes(past), Codes{LayerProblemCode::kRepeatGain});
    past = layer;
    past.notes.steps.push_back(kRestStep);
    past.repeat.count = kMostPlays + 1;
    EXPECT_EQ(codes(past),
              (Codes{LayerProblemCode::kTooManyNotes, LayerProblemCode::kRepeatCount}));
    past = layer;
    past.notes.steps = {kRestStep, kRestStep};
    past.notes.step = 0.0;
    EXPECT_EQ(codes(past), (Codes{LayerProblemCode::kStep, LayerProblemCode::kNoNotes}));
    past = layer;
    past.start = std::nextafter(kMostLayerSeconds, 1e9);
    past.pan = std::nan("");
    past.repeat.interval = -0.001;
    EXPECT_EQ(codes(past), (Codes{LayerProblemCode::kStart, LayerProblemCode::kPan,
                                  LayerProblemCode::kRepeatInterval}));

    EXPECT_EQ(ParseNoteName("C4"), 60);
    EXPECT_EQ(ParseNoteName("C-1"), 0);
    EXPECT_EQ(ParseNoteName("G9"), 127);
    EXPECT_EQ(ParseNoteName("Db4"), 61);
    EXPECT_EQ(ParseNoteName("B#3"), 60);
    for (const char* wrong : {"G#9", "Cb-1", "H4", "C", "C44", "C#", "c4x"})
        EXPECT_THROW(ParseNoteName(wrong), UsageError) << wrong;
    EXPECT_EQ(PatternText(ParsePattern("  C5 eb5\t- G9 ")), "C5 D#5 - G9");
}

TEST(LayeredSound, TextAndCodeGiveTheSameSoundBack)
{
    LayeredSound sound = mixOfFour();
    sound.layers[1].notes.list.push_back({0, 1, 3600.0, 1e-5});
    sound.layers[1].gain = -0.1;
    sound.layers[2].mute = true;
    sound.layers[3].solo = true;
    sound.layers[3].seed = 4294967295u;
    // A repeat of one play keeps what it was given (the fuzzer's find).
    sound.layers[0].repeat = {1, 0.4, -6.0, 2};
    const std::string code = EncodeLayered(sound);
    EXPECT_EQ(EncodeLayered(DecodeLayered(code)), code);
    const LayeredDraft draft = ParseLayeredText(LayeredText(sound), "sound.toml");
    EXPECT_EQ(EncodeLayered(MakeLayered(draft)), code);
    EXPECT_EQ(code.find_first_not_of(
                  "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_", 5),
              std::string::npos)
        << "a code goes into a link as it is";
}

namespace
{

std::string refusalOf(const std::function<void()>& read)
{
    try
    {
        read();
    }
    catch (const std::exception& e)
    {
        return e.what();
    }
    return "";
}

const char kHit[] = "version = 1\n[[layer]]\nkind = \"hit\"\nseed = 1\n";

} // namespace

class LayeredFiles : public ScratchTest
{
protected:
    std::string write(const std::string& name, const std::string& text)
    {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    std::string refusalOfText(const std::string& text)
    {
        return refusalOf([&] { ReadLayered(write("sound.toml", text)); });
    }
};

TEST_F(LayeredFiles, HostileTextsAreRefusedNamingTheLine)
{
    const std::string at = path("sound.toml") + ":";
    EXPECT_EQ(refusalOfText("version = 2\n[[layer]]\nkind = \"hit\"\nseed = 1\n"),
              at + "1: version 2 is newer than this bleepforge reads (1); update bleepforge");
    EXPECT_EQ(refusalOfText("[[layer]]\nkind = \"hit\"\nseed = 1\n"),
              at + "1: no version: a layered sound begins with version = 1");
    std::string seventeen = "version = 1\n";
    for (int i = 0; i < 17; ++i)
        seventeen += "[[layer]]\nkind = \"hit\"\nseed = 1\n";
    EXPECT_EQ(refusalOfText(seventeen), at + "50: a layered sound has at most 16 layers");
    EXPECT_EQ(refusalOfText(std::string(kHit) + "gain = nan\n"),
              at + "5: gain expects a finite number, not nan");
    EXPECT_EQ(refusalOfText(std::string(kHit) + "start = -inf\n"),
              at + "5: start expects a finite number, not -inf");
    EXPECT_EQ(refusalOfText(std::string(kHit) + "repeat = { count = 1000000000 }\n"),
              at + "5: repeat's count expects a whole number 1 ... 16");
    EXPECT_EQ(refusalOfText(std::string(kHit) + "pan = 1.5\n"),
              at + "5: layer 1: pan 1.5 is outside -1 ... 1");
    EXPECT_EQ(refusalOfText(std::string(kHit) + "pattern = \"C4 X4\"\nstep = 0.1\n"),
              at + "5: pattern: 'X4' is not a note name such as C4 (60), F#3 or Eb5, from C-1 to "
                   "G9; a rest is -");
    EXPECT_EQ(refusalOfText(std::string(kHit) + "notes = [\"60:0\"]\n"),
              at + "5: notes: '60:0': the velocity must be a whole 1 ... 127; a note is "
                   "NOTE[:VELOCITY[:START[:DURATION]]]");
    EXPECT_EQ(refusalOfText("version = 1\n[[layer]]\nkind = \"hit\"\n"),
              at + "2: a kind makes the layer's sound from its seed: give seed = N");
    EXPECT_EQ(refusalOfText(std::string(kHit) + "volume = 3\n"),
              at + "5: unknown key \"volume\"; a layer has sound, kind, recipe, seed, start, gain, "
                   "pan, notes, "
                   "pattern, step, repeat, mute and solo");
    EXPECT_EQ(refusalOf([&] { ReadLayered(path("missing.toml")); })
                  .find("cannot read the layered sound: "),
              0u);
    write("huge.toml", std::string(kHit) + "# " + std::string(kMostLayeredTextBytes, 'x') + "\n");
    EXPECT_NE(
        refusalOf([&] { ReadLayered(path("huge.toml")); }).find("cannot read the layered sound"),
        std::string::npos);
    ASSERT_EQ(mkfifo(path("fifo.toml").c_str(), 0600), 0);
    EXPECT_NE(refusalOf([&] { ReadLayered(path("fifo.toml")); }), ""); // refused, never waited on
}

TEST_F(LayeredFiles, ALayerIsOneSoundAndNeverALayeredOne)
{
    const std::string layered = write("inner.toml", kHit);
    const std::string code = EncodeLayered(ReadLayered(layered));
    const std::string at = path("sound.toml") + ":3: ";
    EXPECT_EQ(refusalOfText("version = 1\n[[layer]]\nsound = \"" + code + "\"\n"),
              at + "sound: a layer is one sound: layered sounds do not nest");
    EXPECT_NE(refusalOfText("version = 1\n[[layer]]\nsound = \"inner.toml\"\n")
                  .find("layered sounds do not nest"),
              std::string::npos);
    EXPECT_EQ(refusalOfText("version = 1\n[[layer]]\nrecipe = \"inner.toml\"\nseed = 1\n"),
              at + "'" + path("inner.toml") +
                  "' makes layered sounds; a layer is one sound: layered sounds do not nest");
    EXPECT_EQ(refusalOfText("version = 1\n[[layer]]\nrecipe = \"sound.toml\"\nseed = 1\n"),
              at + "'" + path("sound.toml") +
                  "' makes layered sounds; a layer is one sound: layered sounds do not nest");

    RenderRequest request;
    SoundFile file;
    file.path = path("inner.wav");
    file.format = OutputFormat(file.path, SampleFormat::kPcm16, 1, request);
    file.quiet = true;
    WriteLayered(ReadLayered(layered), request, file, InstrumentBackends(), 1);
    EXPECT_NE(refusalOfText("version = 1\n[[layer]]\nsound = \"inner.wav\"\n")
                  .find("holds a layered sound"),
              std::string::npos);
    EXPECT_EQ(EncodeLayered(ReadLayered(path("inner.wav"))), code)
        << "the file carries its layered sound";
    EXPECT_NE(refusalOf([&] { ReadSound(path("inner.wav")); })
                  .find("holds a layered sound, not one sound"),
              std::string::npos);
}

TEST(LayeredCode, DamagedNewerAndHostileCodesAreRefused)
{
    LayeredSound sound;
    sound.layers = {layerOf("jump", 4)};
    const std::string code = EncodeLayered(sound);
    const auto refusal = [](const std::string& text)
    { return refusalOf([&] { DecodeLayered(text); }); };
    for (size_t at = 5; at < code.size(); at += 7)
    {
        std::string damaged = code;
        damaged[at] = damaged[at] == 'A' ? 'B' : 'A';
        EXPECT_NE(refusal(damaged), "") << "a character changed at " << at;
    }
    EXPECT_NE(refusal(code.substr(0, code.size() - 3)), "");
    EXPECT_EQ(refusal("bfl2:" + code.substr(5)),
              "layered sound code version 2 is newer than this bleepforge reads (1); "
              "update bleepforge");
    EXPECT_EQ(refusal("bfs1:" + code.substr(5)),
              "not a layered sound code: it must start with \"bfl1:\"");

    // Well packed, wrong inside: what the checksum cannot catch, the checks do.
    std::vector<unsigned char> payload(1 + kStateSize, 1);
    std::copy(sound.layers[0].state.GetBytes(), sound.layers[0].state.GetBytes() + kStateSize,
              payload.begin() + 1);
    const auto withTail = [&](std::vector<unsigned char> tail)
    {
        std::vector<unsigned char> bytes = payload;
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return "bfl1:" + PackForText(bytes);
    };
    std::vector<unsigned char> nanGain = {0, 0, 0, 0, 0, 0, 0, 0, 0,    0,
                                          0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
    nanGain.resize(4 + 24 + 2 + 1 + 16 + 1, 0);
    nanGain[4 + 24 + 2] = 1; // plays once
    EXPECT_EQ(refusal(withTail(nanGain)),
              "the layered sound code holds a layer that cannot play: layer 1: "
              "gain nan dB is outside -120 ... 24 dB");
    std::vector<unsigned char> plain(4 + 24 + 2 + 1 + 16 + 1, 0);
    plain[4 + 24 + 2] = 1;
    EXPECT_EQ(refusal(withTail(plain)), "");
    std::vector<unsigned char> longer = plain;
    longer.push_back(0);
    EXPECT_EQ(refusal(withTail(longer)),
              "the layered sound code is damaged: it goes on past its layers");
    std::vector<unsigned char> bomb(1 << 22, 0);
    EXPECT_EQ(refusal("bfl1:" + PackForText(bomb)),
              "the layered sound code is damaged: it unpacks to more than it may hold");
}
