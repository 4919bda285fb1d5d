// The C library as a program sees it: statuses instead of crashes for
// anything hostile, renders that repeat for a seed whatever the buffer, and
// players and instruments on threads of their own.
#include "bleepforge.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Instrument = std::unique_ptr<bf_instrument, void (*)(bf_instrument*)>;
using Player = std::unique_ptr<bf_player, void (*)(bf_player*)>;

Instrument instrument()
{
    return Instrument(bf_instrument_new(), bf_instrument_free);
}

Player player(uint32_t seed)
{
    return Player(bf_player_new(seed), bf_player_free);
}

std::string codeOf(bf_instrument* sound)
{
    char code[BF_CODE_SIZE];
    EXPECT_EQ(bf_instrument_code(sound, code, sizeof code), BF_OK);
    return code;
}

std::vector<float> render(bf_instrument* sound, int channels, uint32_t seed,
                          const bf_note* notes = nullptr, size_t count = 0)
{
    std::vector<float> samples(bf_frames_most(44100) * static_cast<size_t>(channels));
    size_t frames = 0;
    EXPECT_EQ(bf_instrument_render(sound, notes, count, 44100, channels, seed, samples.data(),
                                   bf_frames_most(44100), &frames),
              BF_OK)
        << bf_instrument_message(sound);
    samples.resize(frames * static_cast<size_t>(channels));
    return samples;
}

std::vector<float> nextPlay(bf_player* plays)
{
    std::vector<float> samples(bf_frames_most(22050));
    size_t frames = 0;
    EXPECT_EQ(bf_player_next(plays, 22050, 1, samples.data(), samples.size(), &frames), BF_OK)
        << bf_player_message(plays);
    samples.resize(frames);
    return samples;
}

// A status other than BF_OK, with a message that says something and never
// names a command line's flag.
void expectRefusedSaying(bf_status status, bf_status expected, const std::string& message)
{
    EXPECT_EQ(status, expected) << message;
    EXPECT_NE(message, "");
    EXPECT_EQ(message.find("--"), std::string::npos) << message;
}

// The message is read once the call has returned.
void expectRefused(bf_status status, bf_status expected, const bf_instrument* sound)
{
    expectRefusedSaying(status, expected, bf_instrument_message(sound));
}

void expectRefused(bf_status status, bf_status expected, const bf_player* plays)
{
    expectRefusedSaying(status, expected, bf_player_message(plays));
}

} // namespace

TEST(CApi, NullHandlesAndArgumentsAreRefused)
{
    float out[4];
    size_t frames = 0;
    double value = 0.0;
    char code[BF_CODE_SIZE];
    bf_play play;
    EXPECT_EQ(bf_instrument_load_code(nullptr, "x"), BF_NULL_ARGUMENT);
    EXPECT_EQ(bf_instrument_generate(nullptr, "coin", 1), BF_NULL_ARGUMENT);
    EXPECT_EQ(bf_instrument_set(nullptr, "Output Gain", 0), BF_NULL_ARGUMENT);
    EXPECT_EQ(bf_instrument_render(nullptr, nullptr, 0, 44100, 1, 1, out, 4, &frames),
              BF_NULL_ARGUMENT);
    EXPECT_EQ(bf_player_next(nullptr, 44100, 1, out, 4, &frames), BF_NULL_ARGUMENT);
    EXPECT_EQ(bf_player_last(nullptr, &play, nullptr), BF_NULL_ARGUMENT);
    EXPECT_STREQ(bf_instrument_message(nullptr), "");
    bf_instrument_free(nullptr);
    bf_player_free(nullptr);

    Instrument sound = instrument();
    bf_instrument* s = sound.get();
    expectRefused(bf_instrument_load_code(s, nullptr), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_load_state(s, nullptr, BF_STATE_SIZE), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_generate(s, nullptr, 1), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_load_recipe(s, nullptr, 1), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_set(s, nullptr, 0), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_set_text(s, "Osc1 Type", nullptr), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_get(s, "Output Gain", nullptr), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_code(s, nullptr, 10), BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_render(s, nullptr, 1, 44100, 1, 1, out, 4, &frames),
                  BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_render(s, nullptr, 0, 44100, 1, 1, out, 4, nullptr),
                  BF_NULL_ARGUMENT, s);
    expectRefused(bf_instrument_render(s, nullptr, 0, 44100, 1, 1, nullptr, 4, &frames),
                  BF_NULL_ARGUMENT, s);
    // A refusal's text stays until the next call, which clears it.
    EXPECT_EQ(bf_instrument_get(s, "Output Gain", &value), BF_OK);
    EXPECT_STREQ(bf_instrument_message(s), "");

    Player plays = player(1);
    expectRefused(bf_player_set_sound(plays.get(), nullptr), BF_NULL_ARGUMENT, plays.get());
    expectRefused(bf_player_lock(plays.get(), nullptr), BF_NULL_ARGUMENT, plays.get());
    EXPECT_EQ(bf_player_set_kind(plays.get(), "coin"), BF_OK);
    expectRefused(bf_player_last(plays.get(), nullptr, nullptr), BF_NULL_ARGUMENT, plays.get());
    expectRefused(bf_player_next(plays.get(), 44100, 1, out, 4, nullptr), BF_NULL_ARGUMENT,
                  plays.get());
    (void)code;
}

TEST(CApi, DamagedSoundsAndWrongNamesAreRefusedLeavingTheSoundAsItWas)
{
    Instrument sound = instrument();
    bf_instrument* s = sound.get();
    ASSERT_EQ(bf_instrument_generate(s, "laser", 4), BF_OK);
    const std::string before = codeOf(s);

    std::string damaged = before;
    damaged[damaged.size() / 2] = damaged[damaged.size() / 2] == 'A' ? 'B' : 'A';
    for (const char* code :
         {damaged.c_str(), "", "bfs1:", "bfs9:AAAA", "\xff\xfe", "not a code at all"})
        expectRefused(bf_instrument_load_code(s, code), BF_BAD_SOUND, s);

    unsigned char state[BF_STATE_SIZE];
    ASSERT_EQ(bf_instrument_state(s, state, sizeof state), BF_OK);
    expectRefused(bf_instrument_load_state(s, state, sizeof state - 1), BF_BAD_SOUND, s);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    unsigned char poisoned[BF_STATE_SIZE];
    std::memcpy(poisoned, state, sizeof state);
    std::memcpy(poisoned + 4 + 8 * 10, &nan, sizeof nan);
    expectRefused(bf_instrument_load_state(s, poisoned, sizeof poisoned), BF_BAD_SOUND, s);

    expectRefused(bf_instrument_generate(s, "lazer", 1), BF_UNKNOWN_NAME, s);
    expectRefused(bf_instrument_set(s, "Output Gian", 0), BF_UNKNOWN_NAME, s);
    expectRefused(bf_instrument_set(s, "Output Gain=3", 0), BF_UNKNOWN_NAME, s);
    expectRefused(bf_instrument_set_text(s, "Osc1 Type", "Sqaure"), BF_UNKNOWN_NAME, s);
    for (double bad : {nan, std::numeric_limits<double>::infinity(), 1e300, -97.0})
        expectRefused(bf_instrument_set(s, "Output Gain", bad), BF_OUT_OF_RANGE, s);
    expectRefused(bf_instrument_set(s, "Osc1 Octave", 0.5), BF_OUT_OF_RANGE, s);

    expectRefused(bf_instrument_load_recipe(s, "start = \"blip\"\n[params]\n\"Nope\" = 3\n", 1),
                  BF_BAD_RECIPE, s);
    EXPECT_NE(std::string(bf_instrument_message(s)).find(":3"), std::string::npos)
        << bf_instrument_message(s);
    expectRefused(bf_instrument_load_recipe(s, "[[[", 1), BF_BAD_RECIPE, s);
    // A recipe handed to a program reads no file outside the working folder,
    // nor tells whether one is there.
    const std::string links = "capi-links-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(links.c_str(), 0700), 0);
    ASSERT_EQ(symlink("/etc/passwd", (links + "/file.state").c_str()), 0);
    ASSERT_EQ(symlink("/etc", (links + "/folder").c_str()), 0);
    const std::string throughLinks[] = {links + "/file.state", links + "/folder/passwd"};
    for (const std::string& path : {std::string("/etc/passwd"), std::string("../state.bfs"),
                                    std::string("sounds/../../state.bfs"), std::string(".."), std::string("/"),
                                    throughLinks[0], throughLinks[1]})
    {
        const std::string recipe = std::string("sound = \"") + path + "\"\n";
        expectRefused(bf_instrument_load_recipe(s, recipe.c_str(), 1), BF_BAD_RECIPE, s);
        EXPECT_NE(std::string(bf_instrument_message(s)).find("inside the working folder"), std::string::npos)
            << path << ": " << bf_instrument_message(s);
    }
    unlink(throughLinks[0].c_str());
    unlink((links + "/folder").c_str());
    rmdir(links.c_str());
    EXPECT_EQ(codeOf(s), before);

    char small[16];
    expectRefused(bf_instrument_code(s, small, sizeof small), BF_BUFFER_TOO_SMALL, s);
    expectRefused(bf_instrument_state(s, state, 10), BF_BUFFER_TOO_SMALL, s);
}

TEST(CApi, RenderRequestsOutOfRangeAreRefused)
{
    Instrument sound = instrument();
    bf_instrument* s = sound.get();
    float out[8];
    size_t frames = 0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int rate : {0, -44100, 999, 384001, INT_MAX})
        expectRefused(bf_instrument_render(s, nullptr, 0, rate, 1, 1, out, 8, &frames),
                      BF_OUT_OF_RANGE, s);
    for (int channels : {0, 3, -1})
        expectRefused(bf_instrument_render(s, nullptr, 0, 44100, channels, 1, out, 8, &frames),
                      BF_OUT_OF_RANGE, s);
    const bf_note notes[] = {{128, 127, 0, 0.1}, {-1, 127, 0, 0.1},   {60, 0, 0, 0.1},
                             {60, 128, 0, 0.1},  {60, 127, nan, 0.1}, {60, 127, 0, nan},
                             {60, 127, -1, 0.1}, {60, 127, 0, 3601}};
    for (const bf_note& note : notes)
        expectRefused(bf_instrument_render(s, &note, 1, 44100, 1, 1, out, 8, &frames),
                      BF_OUT_OF_RANGE, s);
    const bf_note many[2] = {{60, 127, 0, 0.1}, {62, 127, 0, 0.1}};
    expectRefused(bf_instrument_render(s, many, SIZE_MAX, 44100, 1, 1, out, 8, &frames),
                  BF_OUT_OF_RANGE, s);
    EXPECT_EQ(bf_frames_most(0), 0u);
    EXPECT_EQ(bf_frames_most(44100), 30u * 44100u);

    Player plays = player(1);
    bf_player* p = plays.get();
    expectRefused(bf_player_next(p, 44100, 1, out, 8, &frames), BF_NO_VARIATION, p);
    expectRefused(bf_player_set_pitch(p, 49), BF_OUT_OF_RANGE, p);
    expectRefused(bf_player_set_pitch(p, -1), BF_OUT_OF_RANGE, p);
    for (double bad : {nan, -0.5, 10.5})
        expectRefused(bf_player_set_mutation(p, bad), BF_OUT_OF_RANGE, p);
    expectRefused(bf_player_set_kind(p, "boom"), BF_UNKNOWN_NAME, p);
    expectRefused(bf_player_lock(p, "osc4"), BF_UNKNOWN_NAME, p);
    expectRefused(bf_player_set_recipe(p, "mutate = \"lots\""), BF_BAD_RECIPE, p);
    bf_play play;
    expectRefused(bf_player_last(p, &play, nullptr), BF_FAILED, p);
    ASSERT_EQ(bf_player_set_kind(p, "hit"), BF_OK);
    expectRefused(bf_player_seek(p, UINT64_MAX), BF_OUT_OF_RANGE, p);
}

TEST(CApi, ARenderIsTheSameInEveryBufferAndChannelCount)
{
    Instrument sound = instrument();
    ASSERT_EQ(bf_instrument_generate(sound.get(), "slash", 21), BF_OK); // white noise
    const std::vector<float> mono = render(sound.get(), 1, 5);
    ASSERT_GT(mono.size(), 1000u);
    EXPECT_EQ(render(sound.get(), 1, 5), mono);
    EXPECT_NE(render(sound.get(), 1, 6), mono); // the noise follows the seed

    const std::vector<float> stereo = render(sound.get(), 2, 5);
    ASSERT_EQ(stereo.size(), 2 * mono.size());
    for (size_t i = 0; i < mono.size(); ++i)
        ASSERT_TRUE(stereo[2 * i] == mono[i] && stereo[2 * i + 1] == mono[i]) << "frame " << i;

    // Too small a buffer holds the start and is told the length.
    std::vector<float> start(100, -7.0f);
    size_t frames = 0;
    expectRefused(
        bf_instrument_render(sound.get(), nullptr, 0, 44100, 1, 5, start.data(), 99, &frames),
        BF_BUFFER_TOO_SMALL, sound.get());
    EXPECT_EQ(frames, mono.size());
    EXPECT_TRUE(std::equal(start.begin(), start.begin() + 99, mono.begin()));
    EXPECT_EQ(start[99], -7.0f);
    EXPECT_EQ(bf_instrument_render(sound.get(), nullptr, 0, 44100, 1, 5, nullptr, 0, &frames),
              BF_BUFFER_TOO_SMALL);
    EXPECT_EQ(frames, mono.size());

    // Notes given play instead of the sound's own.
    const bf_note chord[] = {{60, 127, 0.0, 0.05}, {67, 100, 0.02, 0.05}};
    const std::vector<float> played = render(sound.get(), 1, 5, chord, 2);
    EXPECT_NE(played, mono);
    EXPECT_EQ(render(sound.get(), 1, 5, chord, 2), played);
}

TEST(CApi, ValuesAndSoundsGoInAndComeOutExactly)
{
    Instrument sound = instrument();
    bf_instrument* s = sound.get();
    ASSERT_EQ(bf_instrument_set(s, "Amp Env Decay", 0.123456789), BF_OK);
    ASSERT_EQ(bf_instrument_set_text(s, "Osc1 Type", "square"), BF_OK);
    ASSERT_EQ(bf_instrument_set(s, "Whiite EnvDepth", 0.25), BF_OK);
    double value = 0.0;
    ASSERT_EQ(bf_instrument_get(s, "Amp Env Decay", &value), BF_OK);
    EXPECT_EQ(value, 0.123456789);
    ASSERT_EQ(bf_instrument_get(s, "White EnvDepth", &value), BF_OK); // the plain spelling too
    EXPECT_EQ(value, 0.25);

    unsigned char state[BF_STATE_SIZE];
    ASSERT_EQ(bf_instrument_state(s, state, sizeof state), BF_OK);
    Instrument copy = instrument();
    ASSERT_EQ(bf_instrument_load_state(copy.get(), state, sizeof state), BF_OK);
    EXPECT_EQ(codeOf(copy.get()), codeOf(s));
    Instrument fromCode = instrument();
    ASSERT_EQ(bf_instrument_load_code(fromCode.get(), (" " + codeOf(s) + "\n").c_str()), BF_OK);
    EXPECT_EQ(render(fromCode.get(), 1, 3), render(s, 1, 3));

    // A recipe and a kind repeat for their seed, each from the sound held.
    const char* recipe =
        "start = \"blip\"\n[params]\n\"Amp Env Decay\" = { range = [0.05, 0.3] }\n";
    Instrument a = instrument(), b = instrument();
    ASSERT_EQ(bf_instrument_load_recipe(a.get(), recipe, 8), BF_OK)
        << bf_instrument_message(a.get());
    ASSERT_EQ(bf_instrument_load_recipe(b.get(), recipe, 8), BF_OK);
    EXPECT_EQ(codeOf(a.get()), codeOf(b.get()));
    ASSERT_EQ(bf_instrument_get(a.get(), "Amp Env Decay", &value), BF_OK);
    EXPECT_TRUE(value >= 0.05 && value <= 0.3) << value;
}

std::string base64(const unsigned char* bytes, size_t size)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < size; i += 3)
    {
        const uint32_t group = (uint32_t{bytes[i]} << 16) | (i + 1 < size ? uint32_t{bytes[i + 1]} << 8 : 0) |
                               (i + 2 < size ? uint32_t{bytes[i + 2]} : 0);
        for (size_t d = 0; d < 4; ++d)
            text += i + d <= size ? digits[(group >> (18 - 6 * d)) & 63] : '=';
    }
    return text;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

// A recipe's sound by path is read as every surface reads one: a state
// file, an audio file Bleepforge wrote, or a preset.
TEST(CApi, ARecipesSoundIsReadFromAStateAnAudioFileOrAPreset)
{
    Instrument sound = instrument();
    ASSERT_EQ(bf_instrument_generate(sound.get(), "powerup", 77), BF_OK);
    const std::string code = codeOf(sound.get());
    unsigned char state[BF_STATE_SIZE];
    ASSERT_EQ(bf_instrument_state(sound.get(), state, sizeof state), BF_OK);

    const std::string stem = "capi-sound-" + std::to_string(getpid());
    writeFile(stem + ".state", std::string(reinterpret_cast<const char*>(state), sizeof state));
    writeFile(stem + ".aupreset", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                                  "<dict><key>data</key><data>" + base64(state, sizeof state) +
                                  "</data></dict></plist>\n");
    const std::string wrote = std::string(BLEEPFORGE_CLI) + " render --state '" + code + "' -o " + stem +
                              ".flac 2>/dev/null";
    ASSERT_EQ(std::system(wrote.c_str()), 0);
    for (const char* extension : {".state", ".aupreset", ".flac"})
    {
        Instrument read = instrument();
        const std::string recipe = "sound = \"" + stem + extension + "\"\n";
        EXPECT_EQ(bf_instrument_load_recipe(read.get(), recipe.c_str(), 1), BF_OK)
            << extension << ": " << bf_instrument_message(read.get());
        EXPECT_EQ(codeOf(read.get()), code) << extension;
        unlink((stem + extension).c_str());
    }
}

TEST(CApi, PlayersRepeatForASeedNeverTwiceInARowAndKeepAPlayThatDidNotFit)
{
    Player first = player(42), again = player(42);
    for (bf_player* p : {first.get(), again.get()})
    {
        ASSERT_EQ(bf_player_set_kind(p, "coin"), BF_OK);
        ASSERT_EQ(bf_player_set_pitch(p, 2), BF_OK);
    }
    std::vector<std::vector<float>> plays;
    for (int i = 0; i < 6; ++i)
    {
        plays.push_back(nextPlay(first.get()));
        EXPECT_EQ(nextPlay(again.get()), plays.back()) << "play " << i;
        if (i > 0)
        {
            EXPECT_NE(plays[i], plays[i - 1]);
        }
    }
    bf_play play;
    ASSERT_EQ(bf_player_last(first.get(), &play, nullptr), BF_OK);
    EXPECT_EQ(play.index, 5u);
    EXPECT_TRUE(play.note.key >= 58 && play.note.key <= 62) << play.note.key;

    ASSERT_EQ(bf_player_seek(again.get(), 2), BF_OK);
    EXPECT_EQ(nextPlay(again.get()), plays[2]);

    // A buffer too small keeps the play for the next call.
    float little[10];
    size_t frames = 0;
    expectRefused(bf_player_next(again.get(), 22050, 1, little, 10, &frames), BF_BUFFER_TOO_SMALL,
                  again.get());
    EXPECT_EQ(frames, plays[3].size());
    EXPECT_EQ(nextPlay(again.get()), plays[3]);

    // A change of the source starts again from the first play.
    ASSERT_EQ(bf_player_set_pitch(again.get(), 2), BF_OK);
    EXPECT_EQ(nextPlay(again.get()), plays[0]);
}

TEST(CApi, APlayersLockedValuesAreItsSoundsAndItsLastPlayRendersAgain)
{
    Instrument base = instrument();
    ASSERT_EQ(bf_instrument_generate(base.get(), "jump", 3), BF_OK);
    ASSERT_EQ(bf_instrument_set(base.get(), "Output Gain", -7.0), BF_OK);
    Player plays = player(9);
    ASSERT_EQ(bf_player_set_sound(plays.get(), base.get()), BF_OK);
    ASSERT_EQ(bf_player_set_kind(plays.get(), "random"), BF_OK);
    ASSERT_EQ(bf_player_lock(plays.get(), "output"), BF_OK);
    ASSERT_EQ(bf_player_set_mutation(plays.get(), 2.0), BF_OK);
    Instrument last = instrument();
    for (int i = 0; i < 4; ++i)
    {
        const std::vector<float> samples = nextPlay(plays.get());
        bf_play play;
        ASSERT_EQ(bf_player_last(plays.get(), &play, last.get()), BF_OK);
        double gain = 0.0;
        ASSERT_EQ(bf_instrument_get(last.get(), "Output Gain", &gain), BF_OK);
        EXPECT_EQ(gain, -7.0);
        std::vector<float> again(samples.size() + 1);
        size_t frames = 0;
        ASSERT_EQ(bf_instrument_render(last.get(), &play.note, 1, 22050, 1, play.seed, again.data(),
                                       again.size(), &frames),
                  BF_OK);
        again.resize(frames);
        EXPECT_EQ(again, samples) << "play " << i;
    }
}

TEST(CApi, InstrumentsAndPlayersOnThreadsOfTheirOwnRenderWhatTheyRenderAlone)
{
    const int kThreads = 4;
    const auto work = [](int k)
    {
        Instrument sound = instrument();
        bf_instrument_generate(sound.get(), "slash", static_cast<uint32_t>(k));
        std::vector<float> all = render(sound.get(), 1, static_cast<uint32_t>(k));
        Player plays = player(static_cast<uint32_t>(k));
        bf_player_set_kind(plays.get(), "shoot");
        for (int i = 0; i < 3; ++i)
        {
            const std::vector<float> play = nextPlay(plays.get());
            all.insert(all.end(), play.begin(), play.end());
        }
        return all;
    };
    std::vector<std::vector<float>> together(kThreads);
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] { together[static_cast<size_t>(k)] = work(k); });
    for (std::thread& t : threads)
        t.join();
    for (int k = 0; k < kThreads; ++k)
        EXPECT_EQ(together[static_cast<size_t>(k)], work(k)) << "thread " << k;
}

TEST(CApi, StatusesAndVersionAreNamed)
{
    for (int s = BF_OK; s <= BF_FAILED; ++s)
        EXPECT_STRNE(bf_status_text(static_cast<bf_status>(s)),
                     bf_status_text(static_cast<bf_status>(99)));
    EXPECT_EQ(std::string(bf_version()), std::to_string(bf_version_number() >> 16) + "." +
                                             std::to_string((bf_version_number() >> 8) & 0xff) +
                                             "." + std::to_string(bf_version_number() & 0xff));
}
