// The C library: each handle holds a sound (or a player's source) and makes
// a fresh instrument for every call, as the command line does, so a render
// is `bleepforge render`'s and nothing grows with the calls. Nothing thrown
// crosses into C: each call turns what went wrong into a status and keeps
// its text on the handle.
#include "bleepforge.h"

#include "Bleepforge.h"
#include "GeneratorKinds.h"
#include "InstrumentTarget.h"
#include "KIT_Text.h"
#include "KIT_UsageError.h"
#include "Locks.h"
#include "Recipe.h"
#include "RunKind.h"
#include "ShareCode.h"
#include "SoundState.h"
#include "Variations.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

static_assert(BF_STATE_SIZE == kStateSize, "the header's state size is the instrument's");

struct bf_instrument
{
    ByteChunk state;
    std::string message;
};

struct bf_player
{
    unsigned seed = 0;
    VariationSource source;
    std::optional<Variations> plays;  // made when first played after a change
    std::optional<Variation> pending; // made but not yet delivered
    std::optional<Variation> last;
    std::string message;
};

namespace
{

const int kRenderBlock = 512;
const size_t kMostNotes = 4096;
const double kMostNoteSeconds = 3600.0;
// A seek walks every play before it.
const uint64_t kMostSeekAhead = uint64_t(1) << 16;

// A failure with the status it is reported as.
struct Refusal : std::runtime_error
{
    Refusal(bf_status status, const std::string& why) : std::runtime_error(why), status(status) {}
    bf_status status;
};

// The render layer words its refusals for the command line ("--set: why",
// "--lock 'x': why"); the flag means nothing here.
std::string withoutFlag(const std::string& text)
{
    if (text.compare(0, 2, "--") != 0)
        return text;
    const size_t end = text.find_first_of(" :");
    if (end == std::string::npos)
        return text;
    return text.substr(text.compare(end, 2, ": ") == 0 ? end + 2 : end + 1);
}

// Runs a call, turning anything thrown into a status; unclassified failures
// are reported as fallback.
template <typename Call> bf_status guarded(std::string& message, bf_status fallback, Call call)
{
    try
    {
        call();
        message.clear();
        return BF_OK;
    }
    catch (const Refusal& refused)
    {
        message = refused.what();
        return refused.status;
    }
    catch (const std::bad_alloc&)
    {
        message = "out of memory";
        return BF_NO_MEMORY;
    }
    catch (const std::exception& e)
    {
        message = withoutFlag(e.what());
        return fallback;
    }
    catch (...)
    {
        message = "an unknown failure";
        return BF_FAILED;
    }
}

// A call on a handle, which must be there to keep the call's message.
template <typename Handle, typename Call>
bf_status onHandle(Handle* handle, bf_status fallback, Call call)
{
    if (!handle)
        return BF_NULL_ARGUMENT;
    return guarded(handle->message, fallback, call);
}

void need(const void* pointer, const char* what)
{
    if (!pointer)
        throw Refusal(BF_NULL_ARGUMENT, std::string(what) + " is NULL");
}

std::unique_ptr<Bleepforge> instrumentWith(const ByteChunk& state, unsigned seed = 1)
{
    IPluginInstanceInfo info;
    auto plug = std::make_unique<Bleepforge>(info);
    plug->SeedRandom(seed);
    ByteChunk copy = state;
    if (plug->UnserializeState(&copy, 0) != kStateSize)
        throw Refusal(BF_BAD_SOUND, "the instrument cannot apply the state");
    return plug;
}

ByteChunk stateOf(Bleepforge& plug)
{
    ByteChunk state;
    plug.SerializeState(&state);
    return state;
}

ByteChunk defaultState()
{
    IPluginInstanceInfo info;
    Bleepforge plug(info);
    return stateOf(plug);
}

// A state whose every value is a finite number, or BF_BAD_SOUND.
ByteChunk checkedState(ByteChunk state)
{
    try
    {
        StateValues(state);
    }
    catch (const std::exception& e)
    {
        throw Refusal(BF_BAD_SOUND, e.what());
    }
    return state;
}

std::string canonicalKind(const char* kind)
{
    const std::string canonical = CanonicalKind(kind);
    if (!GeneratorOf(canonical))
        throw Refusal(BF_UNKNOWN_NAME,
                      "unknown kind '" + std::string(kind) + "': expected " + GeneratorKindsText());
    return canonical;
}

Recipe recipeOf(const char* text)
{
    try
    {
        return ParseRecipe(text, "recipe", TableParams(), RecipeSoundPaths::kInsideFolder);
    }
    catch (const std::bad_alloc&)
    {
        throw;
    }
    catch (const std::exception& e)
    {
        throw Refusal(BF_BAD_RECIPE, e.what());
    }
}

const std::vector<ParamInfo>& tableParams()
{
    static const std::vector<ParamInfo> params = TableParams();
    return params;
}

int paramNamed(const char* name)
{
    try
    {
        if (std::strchr(name, '='))
            throw UsageError(std::string("unknown parameter \"") + name + "\"");
        return ParamByName(tableParams(), name);
    }
    catch (const UsageError& e)
    {
        throw Refusal(BF_UNKNOWN_NAME, withoutFlag(e.what()));
    }
}

// A kind or recipe drawn over the sound the instrument holds.
void drawOver(bf_instrument& instrument, const std::string& kind, const Recipe* recipe,
              unsigned seed)
{
    auto plug = instrumentWith(instrument.state);
    RunKind(*plug, kind, recipe, seed);
    instrument.state = stateOf(*plug);
}

void setValue(bf_instrument& instrument, int param, double value)
{
    auto plug = instrumentWith(instrument.state);
    plug->SetParameterFromHost(param, value);
    instrument.state = stateOf(*plug);
}

NoteSpec noteOf(const bf_note& note)
{
    if (note.key < 0 || note.key > 127 || note.velocity < 1 || note.velocity > 127)
        throw Refusal(BF_OUT_OF_RANGE, "a note's key must be 0 ... 127 and its velocity 1 ... 127");
    const auto seconds = [](double value) { return value >= 0.0 && value <= kMostNoteSeconds; };
    if (!seconds(note.start) || !seconds(note.duration))
        throw Refusal(BF_OUT_OF_RANGE, "a note's start and duration must be 0 ... 3600 s");
    return NoteSpec{note.key, note.velocity, note.start, note.duration};
}

bf_note cNote(const NoteSpec& note)
{
    return bf_note{note.note, note.velocity, note.start, note.duration};
}

void checkOutput(int rate, int channels, const float* out, size_t capacity, const size_t* frames)
{
    need(frames, "frames");
    if (capacity > 0)
        need(out, "out");
    if (rate < kMinRate || rate > kMaxRate)
        throw Refusal(BF_OUT_OF_RANGE, "the rate must be " + std::to_string(kMinRate) + " ... " +
                                           std::to_string(kMaxRate) + " Hz");
    if (channels != 1 && channels != 2)
        throw Refusal(BF_OUT_OF_RANGE, "channels must be 1 or 2");
}

// Renders as `bleepforge render --state CODE --seed SEED` does, each sample
// rounded to single precision as every file but a double one holds it.
// Returns the sound's length; fills out as far as capacity allows.
size_t renderInto(const ByteChunk& state, const std::vector<NoteSpec>& notes, int rate,
                  int channels, unsigned seed, float* out, size_t capacity)
{
    RenderRequest request;
    request.rate = rate;
    request.block = kRenderBlock;
    request.notes = notes;
    if (request.notes.empty())
        request.notes.push_back(DefaultNote(state));
    // A render session's order: seeded as built, then the state, then the notes.
    const auto plug = instrumentWith(state, seed);
    size_t length = 0;
    RunRenderLoop(request, InstrumentTarget(*plug, rate, kRenderBlock),
                  [&](const double* left, const double*, long frames)
                  {
                      for (long i = 0; i < frames; ++i, ++length)
                          if (length < capacity)
                              std::fill_n(out + length * static_cast<size_t>(channels), channels,
                                          static_cast<float>(left[i]));
                  });
    return length;
}

// Tells the length, and refuses a buffer that did not hold it all.
void rendered(size_t length, size_t capacity, size_t* frames)
{
    *frames = length;
    if (length > capacity)
        throw Refusal(BF_BUFFER_TOO_SMALL, "the sound has " + std::to_string(length) +
                                               " frames; the buffer holds " +
                                               std::to_string(capacity));
}

// A change of the source: the plays start again from the first.
void restart(bf_player& player)
{
    player.plays.reset();
    player.pending.reset();
    player.last.reset();
}

Variations& playsOf(bf_player& player)
{
    if (!player.plays)
    {
        try
        {
            player.plays.emplace(player.source, player.seed);
        }
        catch (const UsageError& e)
        {
            throw Refusal(BF_NO_VARIATION, e.what());
        }
    }
    return *player.plays;
}

// A new handle, or NULL when it cannot be made.
template <typename Handle, typename Fill> Handle* made(Fill fill)
{
    try
    {
        auto handle = std::make_unique<Handle>();
        fill(*handle);
        return handle.release();
    }
    catch (...)
    {
        return nullptr;
    }
}

template <typename Handle> const char* messageOf(const Handle* handle)
{
    return handle ? handle->message.c_str() : "";
}

} // namespace

const char* bf_status_text(bf_status status)
{
    // A C caller may pass any int: read it as one, since an enumeration
    // value outside the enumerators is undefined in C++.
    static_assert(sizeof(bf_status) == sizeof(int), "C passes the status as an int");
    int code = 0;
    std::memcpy(&code, &status, sizeof code);
    switch (code)
    {
    case BF_OK:
        return "ok";
    case BF_NULL_ARGUMENT:
        return "a NULL argument";
    case BF_BAD_SOUND:
        return "a damaged sound";
    case BF_BAD_RECIPE:
        return "a damaged recipe";
    case BF_UNKNOWN_NAME:
        return "unknown name";
    case BF_OUT_OF_RANGE:
        return "out of range";
    case BF_BUFFER_TOO_SMALL:
        return "buffer too small";
    case BF_NO_VARIATION:
        return "no variation";
    case BF_NO_MEMORY:
        return "out of memory";
    case BF_FAILED:
        return "failed";
    }
    return "an unknown status";
}

const char* bf_version(void)
{
    return BLEEPFORGE_VERSION;
}

uint32_t bf_version_number(void)
{
    return BLEEPFORGE_VERSION_NUMBER;
}

size_t bf_frames_most(int rate)
{
    if (rate < kMinRate || rate > kMaxRate)
        return 0;
    RenderRequest request;
    request.rate = rate;
    return static_cast<size_t>(MostFrames(request));
}

bf_instrument* bf_instrument_new(void)
{
    return made<bf_instrument>([](bf_instrument& instrument)
                               { instrument.state = defaultState(); });
}

void bf_instrument_free(bf_instrument* instrument)
{
    delete instrument;
}

const char* bf_instrument_message(const bf_instrument* instrument)
{
    return messageOf(instrument);
}

bf_status bf_instrument_load_code(bf_instrument* instrument, const char* code)
{
    return onHandle(instrument, BF_BAD_SOUND,
                    [&]
                    {
                        need(code, "code");
                        instrument->state = checkedState(DecodeShareCode(TrimSpace(code)));
                    });
}

bf_status bf_instrument_load_state(bf_instrument* instrument, const void* state, size_t size)
{
    return onHandle(instrument, BF_BAD_SOUND,
                    [&]
                    {
                        need(state, "state");
                        if (size != BF_STATE_SIZE)
                            throw Refusal(BF_BAD_SOUND, "a state has " +
                                                            std::to_string(BF_STATE_SIZE) +
                                                            " bytes, not " + std::to_string(size));
                        ByteChunk chunk;
                        chunk.PutBytes(state, BF_STATE_SIZE);
                        instrument->state = checkedState(chunk);
                    });
}

bf_status bf_instrument_generate(bf_instrument* instrument, const char* kind, uint32_t seed)
{
    return onHandle(instrument, BF_FAILED,
                    [&]
                    {
                        need(kind, "kind");
                        drawOver(*instrument, canonicalKind(kind), nullptr, seed);
                    });
}

bf_status bf_instrument_load_recipe(bf_instrument* instrument, const char* recipe, uint32_t seed)
{
    return onHandle(instrument, BF_FAILED,
                    [&]
                    {
                        need(recipe, "recipe");
                        const Recipe parsed = recipeOf(recipe);
                        drawOver(*instrument, "", &parsed, seed);
                    });
}

bf_status bf_instrument_set(bf_instrument* instrument, const char* name, double value)
{
    return onHandle(
        instrument, BF_OUT_OF_RANGE,
        [&]
        {
            need(name, "name");
            const int param = paramNamed(name);
            if (!std::isfinite(value))
                throw Refusal(BF_OUT_OF_RANGE, std::string("\"") + name + "\": not a number");
            const ResolvedSetting setting =
                ResolveSetting(tableParams(), std::string(name) + "=" + ShortestNumberText(value));
            setValue(*instrument, param, setting.value);
        });
}

bf_status bf_instrument_set_text(bf_instrument* instrument, const char* name, const char* text)
{
    return onHandle(instrument, BF_FAILED,
                    [&]
                    {
                        need(name, "name");
                        need(text, "text");
                        const int param = paramNamed(name);
                        const ParamInfo& info = tableParams()[static_cast<size_t>(param)];
                        for (const auto& [value, label] : info.texts)
                            if (Lower(label) == Lower(TrimSpace(text)))
                                return setValue(*instrument, param, value);
                        throw Refusal(BF_UNKNOWN_NAME,
                                      std::string("\"") + name + "\" has no entry '" + text + "'");
                    });
}

bf_status bf_instrument_get(bf_instrument* instrument, const char* name, double* value)
{
    return onHandle(instrument, BF_FAILED,
                    [&]
                    {
                        need(name, "name");
                        need(value, "value");
                        *value =
                            StateValues(instrument->state)[static_cast<size_t>(paramNamed(name))];
                    });
}

bf_status bf_instrument_code(bf_instrument* instrument, char* code, size_t size)
{
    return onHandle(instrument, BF_FAILED,
                    [&]
                    {
                        need(code, "code");
                        const std::string text = EncodeShareCode(instrument->state);
                        if (text.size() >= size)
                            throw Refusal(BF_BUFFER_TOO_SMALL, "a code needs " +
                                                                   std::to_string(text.size() + 1) +
                                                                   " bytes");
                        std::memcpy(code, text.c_str(), text.size() + 1);
                    });
}

bf_status bf_instrument_state(bf_instrument* instrument, void* state, size_t size)
{
    return onHandle(instrument, BF_FAILED,
                    [&]
                    {
                        need(state, "state");
                        if (size < BF_STATE_SIZE)
                            throw Refusal(BF_BUFFER_TOO_SMALL, "a state needs " +
                                                                   std::to_string(BF_STATE_SIZE) +
                                                                   " bytes");
                        std::memcpy(state, instrument->state.GetBytes(), BF_STATE_SIZE);
                    });
}

bf_status bf_instrument_render(bf_instrument* instrument, const bf_note* notes, size_t count,
                               int rate, int channels, uint32_t seed, float* out, size_t capacity,
                               size_t* frames)
{
    return onHandle(
        instrument, BF_FAILED,
        [&]
        {
            checkOutput(rate, channels, out, capacity, frames);
            if (count > 0)
                need(notes, "notes");
            if (count > kMostNotes)
                throw Refusal(BF_OUT_OF_RANGE, "at most " + std::to_string(kMostNotes) + " notes");
            std::vector<NoteSpec> played;
            for (size_t i = 0; i < count; ++i)
                played.push_back(noteOf(notes[i]));
            rendered(renderInto(instrument->state, played, rate, channels, seed, out, capacity),
                     capacity, frames);
        });
}

bf_player* bf_player_new(uint32_t seed)
{
    return made<bf_player>([seed](bf_player& player) { player.seed = seed; });
}

void bf_player_free(bf_player* player)
{
    delete player;
}

const char* bf_player_message(const bf_player* player)
{
    return messageOf(player);
}

bf_status bf_player_set_sound(bf_player* player, bf_instrument* sound)
{
    return onHandle(player, BF_FAILED,
                    [&]
                    {
                        need(sound, "sound");
                        player->source.base = sound->state;
                        restart(*player);
                    });
}

bf_status bf_player_set_kind(bf_player* player, const char* kind)
{
    return onHandle(player, BF_FAILED,
                    [&]
                    {
                        player->source.kind = kind ? canonicalKind(kind) : "";
                        if (kind)
                            player->source.recipe.reset();
                        restart(*player);
                    });
}

bf_status bf_player_set_recipe(bf_player* player, const char* recipe)
{
    return onHandle(player, BF_FAILED,
                    [&]
                    {
                        if (recipe)
                        {
                            player->source.recipe = recipeOf(recipe);
                            player->source.kind.clear();
                        }
                        else
                            player->source.recipe.reset();
                        restart(*player);
                    });
}

bf_status bf_player_lock(bf_player* player, const char* name)
{
    return onHandle(player, BF_UNKNOWN_NAME,
                    [&]
                    {
                        need(name, "name");
                        std::vector<int>& locked = player->source.locked;
                        for (int param : LockedParams({name}))
                            if (std::find(locked.begin(), locked.end(), param) == locked.end())
                                locked.push_back(param);
                        restart(*player);
                    });
}

bf_status bf_player_set_pitch(bf_player* player, int semitones)
{
    return onHandle(player, BF_FAILED,
                    [&]
                    {
                        if (semitones < 0 || semitones > kMostVariationSemitones)
                            throw Refusal(BF_OUT_OF_RANGE,
                                          "pitch: expected 0 ... " +
                                              std::to_string(kMostVariationSemitones) +
                                              " semitones");
                        player->source.pitchSemitones = semitones;
                        restart(*player);
                    });
}

bf_status bf_player_set_mutation(bf_player* player, double percent)
{
    return onHandle(player, BF_FAILED,
                    [&]
                    {
                        VariationSource source = player->source;
                        source.mutation = percent;
                        try
                        {
                            CheckVariationSource(source);
                        }
                        catch (const UsageError& e)
                        {
                            throw Refusal(BF_OUT_OF_RANGE, e.what());
                        }
                        player->source.mutation = percent;
                        restart(*player);
                    });
}

bf_status bf_player_next(bf_player* player, int rate, int channels, float* out, size_t capacity,
                         size_t* frames)
{
    return onHandle(
        player, BF_FAILED,
        [&]
        {
            checkOutput(rate, channels, out, capacity, frames);
            if (!player->pending)
                player->pending = playsOf(*player).Next();
            const Variation& play = *player->pending;
            rendered(renderInto(play.state, {play.note}, rate, channels, play.seed, out, capacity),
                     capacity, frames);
            player->last = std::move(player->pending);
            player->pending.reset();
        });
}

bf_status bf_player_seek(bf_player* player, uint64_t index)
{
    return onHandle(player, BF_FAILED,
                    [&]
                    {
                        Variations& plays = playsOf(*player);
                        if (index > plays.NextIndex() + kMostSeekAhead)
                            throw Refusal(BF_OUT_OF_RANGE, "a seek goes at most " +
                                                               std::to_string(kMostSeekAhead) +
                                                               " plays ahead at a time");
                        player->pending.reset();
                        plays.Seek(index);
                    });
}

bf_status bf_player_last(bf_player* player, bf_play* play, bf_instrument* sound)
{
    return onHandle(
        player, BF_FAILED,
        [&]
        {
            need(play, "play");
            if (!player->last)
                throw Refusal(BF_FAILED, "nothing has been played yet");
            *play = bf_play{player->last->index, cNote(player->last->note), player->last->seed};
            if (sound)
                sound->state = player->last->state;
        });
}
